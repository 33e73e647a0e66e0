#pragma once
// A one-off label drawn straight into a picture, without a control: panels
// and dialogs use it for captions they paint themselves.

#include <cstdint>
#include <string_view>

#include "image/BgraImage.h"
#include "platform/Rect.h"

// Where the text sits along one side of the rectangle.
enum class TextAlign : std::int32_t { Near = 0, Centre = 1, Far = 2 };

// Renders the text in the interface face at the size style (0: the default),
// shortened to the rectangle's width as CSkinSet::RenderText shortens, and
// paints it in colour through its coverage, clipped to the rectangle: at the
// left, centre or right (horizontal) and top, middle or bottom (vertical).
// An empty rectangle shows nothing. False when the text cannot be rendered.
[[nodiscard]] bool DrawTextInRect(CBgraImage& target, std::u16string_view text, std::int32_t style,
                                  const Rect& rect, std::uint32_t colour, TextAlign horizontal,
                                  TextAlign vertical);
