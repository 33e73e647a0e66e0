#include "app/SAlbumPlaceholderPage.h"

#include "ui/NotBuilt.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

bool CSAlbumPlaceholderPage::Draw(std::uint32_t) {
  if (!dirty || surface.IsEmpty()) return false;
  if (!StretchSkinFrame(surface, UIResources().skins.roundFrameImage, 0, 0)) return false;
  InvalidateArea({}, 1);
  return true;
}

bool CSAlbumPlaceholderPage::InitFolderTree() {
  WriteNotBuilt("Album folder tree");
  return true;
}

void CSAlbumPlaceholderPage::ClosePreview() { WriteNotBuilt("Album preview"); }

void CSAlbumPlaceholderPage::ShowNoticeButton(std::u16string_view, std::u16string_view, std::u16string_view) {
  WriteNotBuilt("Album notice");
}
