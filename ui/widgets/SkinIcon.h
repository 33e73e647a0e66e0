#pragma once
// Icon files of widgets (button icons, tab titles) are looked for in the
// skin folder first and then in the basic folder.

#include <cstdint>
#include <string_view>

#include "image/BgraImage.h"
#include "image/ImageArray.h"

// False, picture untouched or emptied, when the file is in neither folder.
[[nodiscard]] bool LoadSkinIcon(std::u16string_view fileName, CBgraImage& picture);
// The same for an icon strip cut into pieces pieceWidth wide.
[[nodiscard]] bool LoadSkinIconStrip(std::u16string_view fileName, std::int32_t pieceWidth,
                                     CImageArray& strip);
