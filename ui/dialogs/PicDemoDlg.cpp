#include "ui/dialogs/PicDemoDlg.h"

#include <mutex>
#include <utility>

#include "ui/SkinDrawing.h"

std::int32_t ShowPictureHint(const std::filesystem::path& picturePath, std::u16string_view title,
                             std::u16string_view hint) {
  CPicDemoDlg dialog;
  dialog.picturePath = picturePath;
  dialog.titleText = std::u16string(title);
  dialog.hintText = std::u16string(hint);
  if (!dialog.Create(CPicDemoDlg::kTemplateId)) return 0;
  return dialog.RunModal();
}

bool CPicDemoDlg::OnInitDialog() {
  CBgraImage loaded;
  if (!loaded.LoadFile(picturePath)) return false;
  {
    std::lock_guard guard(lock);
    picture = std::move(loaded);
  }
  if (!SetTitle(titleText)) return false;
  if (!hintText.empty()) {
    // Rendered 1000 pixels wide, so that the hint stays on one line.
    if (!hintControl.Create(this, kHintId, {0, 0, 1000, 100}, hintText, 0)) return false;
    AppendChild(&hintControl);
  }
  LayoutToPicture();
  return true;
}

void CPicDemoDlg::LayoutToPicture() {
  const auto w = static_cast<std::int32_t>(picture.width);
  const auto h = static_cast<std::int32_t>(picture.height);
  const std::int32_t dialogWidth = w + kExtraWidth;
  const std::int32_t dialogHeight = h + (hintText.empty() ? kExtraHeight : kExtraHeightWithHint);
  const std::int32_t centreX = rect.left + rect.Width() / 2;
  const std::int32_t centreY = rect.top + rect.Height() / 2;
  SetSpriteRect(centreX - dialogWidth / 2, centreY - dialogHeight / 2, dialogWidth, dialogHeight);
  if (CDialogControl* ok = FindControl(kIdOk))
    ok->SetSpriteRect(dialogWidth / 2 - 50, dialogHeight - 30, 100, 20);
  if (!hintText.empty()) hintControl.SetSpriteRect(10, dialogHeight - 50, w, 20);
  closeButton.SetSpriteRect(w - 12, 1, 31, 31);
}

bool CPicDemoDlg::Draw(std::uint32_t now) {
  if (!CDialogSprite::Draw(now)) return false;
  BlendImage(surface, picture, kPictureAt.x, kPictureAt.y, true, {}, 256);
  return true;
}
