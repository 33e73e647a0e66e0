#pragma once
// The exchange file of external-editor mode, in which a host program hands
// over one image and receives it back:
//
//   offset 0  i32 width, 4  i32 height, 8  u8 channels (3: R G B, 4: R G B A)
//   offset 9  the rows top to bottom, each pixel its channels as u16,
//             little-endian; R, G and B sRGB-encoded, A linear (65535 opaque)
//
// Inside the program an image is linear Adobe RGB (1998); the colour
// conversion on the way in and out is part of the format.

#include <array>
#include <cstdint>
#include <filesystem>

struct CBgraImage16;

inline constexpr std::uint32_t kExchangeHeaderBytes = 9;

// Reads the file into image and deletes it. False, with the file kept and
// image untouched, when it cannot be opened or read, its channel count is
// not 3 or 4, a side is not 1 to kMaxImageSide, the picture is above
// kMaxImagePixels or its rows are short.
[[nodiscard]] bool ReadExchangeFile(const std::filesystem::path& path, CBgraImage16& image);

// Replaces the file with image in 4 channels through a temporary file in its
// folder: a failed write leaves the host's file as it was. False on failure
// or for an empty image.
[[nodiscard]] bool WriteExchangeFile(const std::filesystem::path& path, const CBgraImage16& image);

// The sample conversions: 16-bit sRGB decoding and encoding (truncated and
// clamped), and the mixing between the sRGB and Adobe RGB primaries applied
// to linear values. Import: decode, then mix; export: mix, then encode.
const std::array<std::uint16_t, 65536>& ExchangeDecodeTable();
const std::array<std::uint16_t, 65536>& ExchangeEncodeTable();
void ExchangeImportMix(std::uint16_t& r, std::uint16_t g, std::uint16_t& b);
void ExchangeExportMix(std::uint16_t& r, std::uint16_t g, std::uint16_t& b);
