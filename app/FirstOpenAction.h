#pragma once
// What runs on a photo right after it opened in a new edit page: the cut-out
// the album asked for (open modes 1 and 2), else for a camera RAW file the
// film dialog (Editor "FilmForRAW"), else the auto wizard (Editor
// "AutoWizard").

#include <cstdint>

#include "image/ImageCodec.h"

enum class FirstOpenAction : std::int32_t { None, BlueScreen, InsideOutside, Film, Wizard };

FirstOpenAction ChooseFirstOpenAction(std::int32_t mode, ImageFileType type, bool filmForRaw,
                                      bool autoWizard);
