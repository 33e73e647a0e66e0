#include "ui/widgets/SkinIcon.h"

#include "platform/Utf16.h"
#include "ui/UIResources.h"

bool LoadSkinIcon(std::u16string_view fileName, CBgraImage& picture) {
  const CUIResources& resources = UIResources();
  return picture.LoadFile(resources.skins.SkinFilePath(fileName)) ||
         picture.LoadFile(resources.theme.basicFolder / PathFromUtf16(fileName));
}

bool LoadSkinIconStrip(std::u16string_view fileName, std::int32_t pieceWidth, CImageArray& strip) {
  const CUIResources& resources = UIResources();
  return strip.LoadStrip(resources.skins.SkinFilePath(fileName), pieceWidth) == 1 ||
         strip.LoadStrip(resources.theme.basicFolder / PathFromUtf16(fileName), pieceWidth) == 1;
}
