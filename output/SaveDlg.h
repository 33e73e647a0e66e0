#pragma once
// CSaveDlg: the save chooser of an edit page (template 153, caption
// "dlgSave"). Five tiles on a panel: the project file, overwriting the
// original, JPEG with options, PNG (the current layer with its alpha) and
// other formats (the composite); beside them the JPEG presets, a click on
// one saving a JPEG with it at once. Every choice that writes a file starts
// in the folder used last for that kind of file (LastFolder.h) and asks
// through the file chooser, which asks before replacing a file. A command
// that saved ends the dialog with OK; a failure tells why and leaves it
// open.
//
// Nothing is ever written in place: the project file goes through
// CAtomicFile, a JPEG and the original through a temporary file that gets
// both the pixels and the photo's information before it replaces the
// target, PNG and the other formats through the codecs' own temporary
// files. A full disk therefore keeps the earlier file whole.
//
// The layer export runs on a chooser that is never shown (ExportLayer).
// UI thread.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageArray.h"
#include "image/ImageCodec.h"
#include "output/JpegPresetList.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/MetroPanel.h"

class CBFDoc;
class CFlatSimpleList;
struct CBgraImage16;
struct ImageInfo;

class CSaveDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 153;
  static constexpr std::int32_t kPresetListId = 1004;
  static constexpr std::int32_t kBottomMarkId = 1057;
  static constexpr std::int32_t kPanelId = 1100;
  static constexpr std::int32_t kIconWidth = 48;
  // Tile ids.
  static constexpr std::uint32_t kTileProject = 101;
  static constexpr std::uint32_t kTileOriginal = 102;
  static constexpr std::uint32_t kTileJpeg = 103;
  static constexpr std::uint32_t kTilePng = 104;
  static constexpr std::uint32_t kTileOther = 105;

  // document and info belong to the edit page (info may be null).
  CSaveDlg(CBFDoc* document, ImageInfo* info);
  ~CSaveDlg() override;

  // The tiles and the preset list; false when the panel, a skin picture or
  // a tile cannot be made, or there is no document.
  [[nodiscard]] bool OnInitDialog() override;
  // Code 3 from the preset list: the quick save with that preset; code 96
  // from the panel: the tile's command.
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // The base drawing, then "include.png" at half strength beside the panel.
  bool Draw(std::uint32_t now) override;
  void Destroy(int final) override;

  // The commands; each true when it saved (and then ends the dialog with
  // OK), false when cancelled or failed.
  [[nodiscard]] bool SaveProjectFile();
  [[nodiscard]] bool SaveOverOriginal();
  [[nodiscard]] bool ShowJpegOptions();
  [[nodiscard]] bool SaveAsPng();
  [[nodiscard]] bool SaveAsOther();
  [[nodiscard]] bool SaveWithPreset(std::size_t row);
  // Saves the layer image as PNG (with alpha) or, for any other name, as a
  // single-layer PSD, asked with the layer's name as start name.
  [[nodiscard]] bool ExportLayer(const CBgraImage16& layer, std::u16string_view layerName);

  // The document composited over opaque white, converted to 8 bits with
  // error diffusion; false (image empty) when that fails.
  [[nodiscard]] bool CompositeForSaving(CBgraImage& image) const;

  CBFDoc* document = nullptr;
  ImageInfo* info = nullptr;
  std::filesystem::path documentPath;  // the document's path; the layer's name for the export
  ImageFileType documentType = ImageFileType::Unknown;
  JpegPresetList presets;
  CMetroPanel panel;
  CImageArray icons;                       // "save.png" in 48-pixel pieces
  CBgraImage includePicture;               // "include.png"
  std::array<CBgraImage, 3> tilePictures;  // project, JPEG, PNG

private:
  [[nodiscard]] bool BuildTiles();
  [[nodiscard]] bool TextTile(std::int32_t width, std::int32_t height, std::size_t iconIndex,
                              std::u16string_view titleKey, std::u16string_view tipKey,
                              CBgraImage& tile) const;
  [[nodiscard]] bool AskSavePath(std::u16string_view lastFolderValue, std::u16string_view extension,
                                 std::filesystem::path& chosen) const;
  [[nodiscard]] bool WriteComposite(const std::filesystem::path& path, ImageFileType type) const;
  void ShowBusy(bool busy) const;
  void Tell(std::u16string_view key) const;
  void ClearPresetSelection();
  CFlatSimpleList* PresetList() const;
  void Succeeded();
};

// The document composited over opaque white, converted to 8 bits with
// error diffusion; false (image empty) without a document or when that
// fails.
[[nodiscard]] bool CompositeForSaving(const CBFDoc* document, CBgraImage& image);
// Writes the photo's information of a metadata mode (JpegMetadataMode) into
// a saved JPEG; true without an info or for mode none.
[[nodiscard]] bool WriteJpegMetadata(const std::filesystem::path& path, const ImageInfo* info,
                                     std::uint8_t mode);
