#pragma once
// The picture hint: ShowPictureHint shows a picture that demonstrates a
// tool, under a title and with an optional line of text, in a modal dialog
// (template 140) sized to the picture and closed with OK. A hint wider than
// the picture is cut at its edge, on one line.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/SStaticText.h"

// 1 after OK, 2 after the close button or Esc, 0 when the dialog or the
// picture cannot be had (nothing is shown). An empty hint shows none. UI
// thread.
std::int32_t ShowPictureHint(const std::filesystem::path& picturePath, std::u16string_view title,
                             std::u16string_view hint);

class CPicDemoDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 140;
  static constexpr std::int32_t kHintId = 9999;
  static constexpr Point kPictureAt{10, 40};
  // The dialog is the picture plus these margins.
  static constexpr std::int32_t kExtraWidth = 20;
  static constexpr std::int32_t kExtraHeight = 80;
  static constexpr std::int32_t kExtraHeightWithHint = 100;

  bool Draw(std::uint32_t now) override;
  // Loads the picture, renders the title, makes the hint and lays the
  // dialog out; false when one of these fails.
  [[nodiscard]] bool OnInitDialog() override;
  // The dialog takes the picture's size plus its margins around its centre;
  // OK, the hint and the close button move to match.
  void LayoutToPicture();

  std::filesystem::path picturePath;
  std::u16string titleText;
  std::u16string hintText;  // empty: no hint
  CBgraImage picture;       // under lock
  CSStaticText hintControl;
};
