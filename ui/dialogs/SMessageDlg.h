#pragma once
// The message box: ShowMessageBox tells the user something or asks a yes/no
// question in a modal dialog (template 132) with an icon of the skin's
// "messagebox.png", the text and one of three button sets, and returns the
// answer. The caller passes a text it has already looked up; the box looks
// up only the texts of its template. The dialog grows downward when the
// text is taller than its label.
//
// Answers: OK 1; Yes 6, No 7; Cancel 2. The title band's close button gives
// 7 in a Yes/No box and 2 otherwise. In a Yes/No box the keys Y and N,
// without Shift, Ctrl or Alt, answer as the buttons do. Esc never closes a
// box; Enter presses the button that has the focus (OK, at first). -1 when
// the box cannot be built (nothing is shown).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/ImageArray.h"
#include "ui/DialogSprite.h"

enum class MessageBoxIcon : std::int32_t { Information = 0, Question = 1, Warning = 2, Error = 3 };
enum class MessageBoxButtons : std::int32_t { Ok = 4, YesNo = 5, YesNoCancel = 6 };
inline constexpr std::int32_t kMessageBoxFailed = -1;

// UI thread; returns once the user answered. The box lies above every
// dialog that runs already.
std::int32_t ShowMessageBox(std::u16string_view text, MessageBoxIcon icon, MessageBoxButtons buttons);

class CSMessageDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 132;
  static constexpr std::int32_t kTextId = 1010;
  static constexpr std::int32_t kCheckBoxId = 1011;
  static constexpr std::int32_t kIconCellWidth = 64;
  static constexpr std::size_t kTextField = 1024;
  static constexpr Point kIconAt{10, 40};
  static constexpr std::uint32_t kSeparatorColor = 0xFF505050u;
  // The label keeps this much room below its text before the box grows.
  static constexpr std::int32_t kTextSlack = 10;

  bool Draw(std::uint32_t now) override;
  // Y and N in a Yes/No box; every other key is ignored.
  void OnKeyDown(std::uint32_t key, std::uint32_t repeat, std::uint32_t flags) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  // Sets the text, shows the button set, registers Y and N, grows to fit.
  [[nodiscard]] bool OnInitDialog() override;
  // 7 in a Yes/No box, else 2.
  void OnCancel() override;

  // Builds the box from template 132 and loads its icons; the text is kept
  // (1023 characters or more are cut to 1021 and ".."). False when the
  // template or the icon strip cannot be had.
  [[nodiscard]] bool Create(std::u16string_view message, MessageBoxIcon boxIcon,
                            MessageBoxButtons boxButtons);

  CImageArray icons;  // cells of "messagebox.png"
  std::u16string text;
  MessageBoxButtons buttons = MessageBoxButtons::Ok;
  MessageBoxIcon boxIcon = MessageBoxIcon::Information;
  std::int32_t showCheckBox = 0;   // the template's check box is never shown
  std::int32_t checkBoxValue = 0;  // bound to it; nothing reads it

private:
  // After a successful UpdateData, the end code.
  void Answer(std::int32_t code);
};
