#pragma once
// Conversions between the two encodings: 8-bit sRGB (CBgraImage) and 16-bit
// linear-light Adobe RGB (1998) (CBgraImage16), plus the in-place HSL
// transform of 16-bit pixels. The arithmetic is exact as written here; many
// callers convert inline with the same tables and formulas and must agree.
//
// 8 -> 16:  G' = SrgbToLinear[G]
//           B' = trunc(SrgbToLinear[B] x 0.958839 + G' x 0.041166)
//           R' = trunc(SrgbToLinear[R] x 0.715146 + G' x 0.284856)
//           A' = 65535 for 255, else A x 256
// 16 -> 8:  R8 = LinearToSrgb[clamp16(trunc((R' - G') x 0.39832 + R'))]
//           G8 = LinearToSrgb[G']
//           B8 = LinearToSrgb[clamp16(trunc((B' - G') x 0.0429289 + B'))]
//           A8 = A' >> 8
// (the 16 -> 8 matrix inverts the 8 -> 16 one.)
//
// The YCbCr transforms and the other whole-image operations are members of
// the image records.

#include <cstddef>
#include <cstdint>

struct CBgraImage;
struct CBgraImage16;

// Whole images of equal size; 0 (and nothing converted) when the sizes differ
// or either image is empty.
[[nodiscard]] int ConvertImage8To16(const CBgraImage& source, CBgraImage16& target);
[[nodiscard]] int ConvertImage16To8(const CBgraImage16& source, CBgraImage& target);

// Runs of count consecutive pixels (4 samples each), for rows and partial
// buffers.
void ConvertPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count);
void ConvertPixels16To8(const std::uint16_t* source, std::uint8_t* target, std::size_t count);
// The run of CBgraImage16::FromBgraImage for colourSpace: 2 (Adobe RGB) only
// linearises each channel with SrgbToLinearTable (A as above); every other
// value is read as sRGB (ConvertPixels8To16).
void ConvertPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count,
                        int colourSpace);

// The YCbCr transforms of CBgraImage::RgbToYcc and YccToRgb on a run of count
// 8-bit pixels in place; alpha is untouched.
void RgbToYccPixels8(std::uint8_t* pixels, std::size_t count);
void YccToRgbPixels8(std::uint8_t* pixels, std::size_t count);

// YccToRgbPixels8 then ConvertPixels8To16(colourSpace) in one pass, from a
// run of YCbCr pixels that is left as it was.
void ConvertYccPixels8To16(std::uint16_t* target, const std::uint8_t* source, std::size_t count,
                           int colourSpace);

// In place on count 16-bit pixels. After RgbToHsl16 the R slot holds H, the
// G slot S and the B slot L, each 0..65535; alpha is untouched.
void RgbToHsl16(std::uint16_t* pixels, std::size_t count);
void HslToRgb16(std::uint16_t* pixels, std::size_t count);
