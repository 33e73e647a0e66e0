#pragma once
// CRenameDlg (template 186): renames one photo, or converts one or more
// photos into JPEG, BMP or PNG files. With one photo the name is edited and
// the format button shows the file's extension: keeping the format renames
// the file, another format writes a converted copy under the new name (and,
// with the check box ticked, deletes the source). With several photos only
// those of another type than the chosen format are converted, each under
// its own name.
//
// Nothing is ever written over an existing file: a rename or a converted
// copy whose name is taken fails and counts in "errorrename".

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/DialogSprite.h"
#include "ui/widgets/SMenu.h"

struct RenameEntry {
  std::filesystem::path path;  // at most 1023 characters
  std::u16string displayName;  // at most 255 characters
};

class CRenameDlg final : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 186;
  static constexpr std::int32_t kNameId = 1003;
  static constexpr std::int32_t kFormatButtonId = 1199;
  static constexpr std::int32_t kDeleteSourceId = 1202;
  static constexpr std::int32_t kNameLength = 200;
  static constexpr std::int32_t kFormatMenuId = 100;
  static constexpr std::int32_t kJpegQuality = 195;  // 95 without chroma subsampling

  CRenameDlg() = default;
  ~CRenameDlg() override;

  bool OnSpriteMessage(const SpriteMessage& message) override;
  [[nodiscard]] bool OnInitDialog() override;
  [[nodiscard]] bool OnOK() override;
  void SetInitialFocus() override;
  void Destroy(int final) override;

  void UpdateFormatDisplay();
  void ShowFormatMenu();
  // One entry renamed or converted; false when it failed.
  [[nodiscard]] bool RenameOrConvertFile(const RenameEntry& entry);

  std::vector<RenameEntry> entries;
  std::u16string newName;
  std::int32_t targetFormat = 1;  // an ImageFileType: 1 JPEG, 2 BMP, 4 PNG
  std::int32_t deleteSource = 0;
  CSMenu formatMenu;
};
