#pragma once
// Helpers for the text-table, skin and text-rendering tests: UTF-16 files,
// PNG pictures, the pinned test font and pixel access.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "platform/Font.h"

// The face every text test renders with, loaded by path.
inline const std::filesystem::path kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Writes text as UTF-16 little-endian (no byte-order mark), exactly as given.
void WriteUtf16File(const std::filesystem::path& path, std::u16string_view text);
// Writes raw bytes.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
// Writes an 8-bit picture with its alpha as PNG; false on failure.
[[nodiscard]] bool WritePng(const std::filesystem::path& path, const CBgraImage& image);

// B, G, R, A of a pixel as one u32 (blue in the low byte).
std::uint32_t PixelAt(const CBgraImage& image, std::uint32_t x, std::uint32_t y);
void SetPixel(CBgraImage& image, std::uint32_t x, std::uint32_t y, std::uint32_t value);
// A picture of that size filled with one value.
CBgraImage FilledImage(std::uint32_t width, std::uint32_t height, std::uint32_t value);

// Serves every font request from DejaVu Sans while it lives.
class PinnedTestFont {
public:
  PinnedTestFont() {
    EXPECT_TRUE(std::filesystem::exists(kDejaVuSans)) << "fonts-dejavu-core is not installed";
    SetFontFileOverride(kDejaVuSans);
  }
  ~PinnedTestFont() { SetFontFileOverride({}); }
  PinnedTestFont(const PinnedTestFont&) = delete;
  PinnedTestFont& operator=(const PinnedTestFont&) = delete;
};
