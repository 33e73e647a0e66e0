#pragma once
// Plain painting for the built-in sprites of the render window until their
// skins and text rendering exist: solid fills and outlines on a surface.

#include <cstdint>

#include "image/BgraImage.h"
#include "platform/Rect.h"

// colour: 0xAARRGGBB. The rectangle is clipped to the image.
void FillSurfaceRect(CBgraImage& image, const Rect& rect, std::uint32_t colour);
// A frame of the given thickness just inside the rectangle.
void OutlineSurfaceRect(CBgraImage& image, const Rect& rect, std::int32_t thickness, std::uint32_t colour);
