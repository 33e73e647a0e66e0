#pragma once
// Loads a picture file (PNG, BMP or TIFF, by extension) into a CBgraImage,
// top-down with its alpha: the pixels of a 24-bit file with its alpha plane
// (255 without one), a palette file's colours with alpha 0 exactly at its
// transparent index. Pictures wider or taller than 20000 pixels are refused.
//
// This is the one place the interface's skin pictures and icon strips are
// read through the codec layer; once CBgraImage::LoadFile exists, callers
// switch to it and this file goes.

#include <filesystem>

#include "image/BgraImage.h"

// 1 on success; 0 when the file is missing, of another type or cannot be
// decoded (the image is then left as it was).
int LoadPictureFile(const std::filesystem::path& path, CBgraImage& image);
