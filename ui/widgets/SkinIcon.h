#pragma once
// Icon files of widgets (button icons, tab titles) are looked for in the
// skin folder first and then in the basic folder.

#include <string_view>

#include "image/BgraImage.h"

// False, picture untouched or emptied, when the file is in neither folder.
[[nodiscard]] bool LoadSkinIcon(std::u16string_view fileName, CBgraImage& picture);
