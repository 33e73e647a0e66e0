#include "ui/dialogs/SMessageDlg.h"

#include <mutex>

#include "platform/UiQueue.h"
#include "platform/Utf16.h"
#include "platform/WindowMessages.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"
#include "ui/widgets/SStaticText.h"

namespace {

constexpr std::uint32_t kKeyY = 'Y';
constexpr std::uint32_t kKeyN = 'N';
constexpr std::int32_t kButtonRow[] = {kIdOk, kIdYes, kIdNo, CSMessageDlg::kCheckBoxId, kIdCancel};

bool ModifierHeld() {
  const CUiQueue& queue = UiQueue();
  return queue.GetKeyState(VK_SHIFT) < 0 || queue.GetKeyState(VK_CONTROL) < 0 ||
         queue.GetKeyState(VK_MENU) < 0;
}

}  // namespace

std::int32_t ShowMessageBox(std::u16string_view text, MessageBoxIcon icon, MessageBoxButtons buttons) {
  CSMessageDlg box;
  if (!box.Create(text, icon, buttons)) return kMessageBoxFailed;
  return box.RunModal();
}

bool CSMessageDlg::Create(std::u16string_view message, MessageBoxIcon iconIndex,
                          MessageBoxButtons buttonSet) {
  if (!CDialogSprite::Create(kTemplateId)) return false;
  if (!icons.LoadStrip(UIResources().skins.SkinFilePath(u"messagebox.png"), kIconCellWidth)) return false;
  text = TruncatedText(message, kTextField);
  buttons = buttonSet;
  boxIcon = iconIndex;
  showCheckBox = 0;
  return true;
}

bool CSMessageDlg::OnInitDialog() {
  auto* label = dynamic_cast<CSStaticText*>(FindControl(kTextId));
  if (!label || !label->SetText(text)) return false;

  const bool yesNo = buttons == MessageBoxButtons::YesNo || buttons == MessageBoxButtons::YesNoCancel;
  ShowControl(FindControl(kIdCancel), buttons == MessageBoxButtons::YesNoCancel);
  ShowControl(FindControl(kIdOk), buttons == MessageBoxButtons::Ok);
  ShowControl(FindControl(kIdYes), yesNo);
  ShowControl(FindControl(kIdNo), yesNo);
  ShowControl(FindControl(kCheckBoxId), showCheckBox != 0);
  // The check box has no effect; a template without it binds nothing.
  (void)BindControl(kCheckBoxId, checkBoxValue);

  if (buttons == MessageBoxButtons::YesNo) {
    if (CRenderWindow* window = RenderWindowOf(*this)) {
      window->AddKeyShortcut(this, kKeyY, false, false);
      window->AddKeyShortcut(this, kKeyN, false, false);
    }
  }

  // A text taller than the label (less its slack) makes the box and the
  // label taller and moves the button row down; the top-left corner stays.
  const std::int32_t labelHeight = label->rect.Height();
  const std::int32_t textHeight = label->TextSize().height;
  if (textHeight > labelHeight - kTextSlack) {
    const std::int32_t grow = textHeight - (labelHeight - kTextSlack);
    SetSpriteRect(rect.left, rect.top, rect.Width(), rect.Height() + grow);
    label->SetSpriteRect(label->rect.left, label->rect.top, label->rect.Width(), labelHeight + grow);
    for (const std::int32_t controlId : kButtonRow) {
      if (CDialogControl* control = FindControl(controlId)) {
        control->SetSpriteRect(control->rect.left, control->rect.top + grow, control->rect.Width(),
                               control->rect.Height());
      }
    }
  }
  return true;
}

bool CSMessageDlg::Draw(std::uint32_t now) {
  const bool drew = CDialogSprite::Draw(now);
  if (!drew) return false;
  if (const CBgraImage* cell = icons.At(static_cast<std::size_t>(boxIcon)))
    BlendImage(surface, *cell, kIconAt.x, kIconAt.y, true, {}, 256);
  if (const CDialogControl* ok = FindControl(kIdOk)) {
    const std::int32_t y = ok->rect.top - 10;
    CSkinSet& skins = UIResources().skins;
    skins.penPoint = {1, y};
    skins.DrawLineTo(surface, {static_cast<std::int32_t>(surface.width) - 1, y}, kSeparatorColor, 10, 0, 255);
  }
  return true;
}

void CSMessageDlg::Answer(std::int32_t code) {
  if (UpdateData(true)) EndModal(code);
}

bool CSMessageDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked) {
    const auto pressed = static_cast<std::int32_t>(message.wparam);
    if (pressed == kIdYes || pressed == kIdNo) Answer(pressed);
    OnCommand(pressed);
  }
  return CPopupSprite::OnSpriteMessage(message);
}

void CSMessageDlg::OnKeyDown(std::uint32_t key, std::uint32_t, std::uint32_t) {
  if (buttons != MessageBoxButtons::YesNo || ModifierHeld()) return;
  if (key == kKeyN) {
    Answer(kIdNo);
  } else if (key == kKeyY) {
    Answer(kIdYes);
  }
}

void CSMessageDlg::OnCancel() { EndModal(buttons == MessageBoxButtons::YesNo ? kIdNo : kIdCancel); }
