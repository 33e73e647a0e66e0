#pragma once
// Thumbnails: a small CBgraImage of a file, fitted into a square of a given
// side, made as fast as the file's type allows. Large JPEG files are never
// decoded in full: the camera's EXIF thumbnail is used where there is one,
// otherwise a JPEG at least eight times larger than the thumbnail is decoded
// DC-only (one pixel per 8 x 8 block). Camera RAW files give their embedded
// preview, TGA files go through the codec image class, everything else
// through the image-file layer's decoders.
//
// Fitting rule: a picture w x h fitted into side s becomes s x (s x h / w)
// when h < w, else (s x w / h) x s (integer division, at least 1 pixel):
// the longer side becomes exactly s, and small pictures are enlarged.
//
// Every function keeps its state local and may run on any thread; the RAW
// route takes RawDecodeLock. Results are 1 on success and 0 on failure;
// LoadThumbnail and LoadThumbnailGdiplus give 2 for a large JPEG answered
// from its EXIF thumbnail: a quick picture, which a full decode may replace.

#include <cstdint>
#include <filesystem>
#include <span>

#include "image/ImageCodec.h"

class CCodecImage;
struct CBgraImage;

enum class ThumbnailSpeed {
  Normal,  // a large JPEG's EXIF thumbnail when it has one
  Fast,    // every JPEG from its pixels, DC-only when large enough
};

// What LoadEmbeddedThumbnail made.
enum class EmbeddedThumbnail : std::int32_t {
  Missing = -1,  // a large JPEG without an EXIF thumbnail: decode it DC-only
  Failed = 0,
  Fitted = 1,    // the picture (or its thumbnail), fitted into the side
  Embedded = 2,  // the large JPEG's EXIF thumbnail, trimmed and fitted
};

// A large JPEG: above this many pixels its EXIF thumbnail stands for it when
// the side asked for is above kEmbeddedThumbnailSide.
inline constexpr std::uint64_t kEmbeddedThumbnailArea = 2000000;
inline constexpr std::int32_t kEmbeddedThumbnailSide = 120;
// A JPEG whose width or height is at least this many times the side is
// decoded DC-only.
inline constexpr std::int32_t kDcOnlyFactor = 8;

// The thumbnail of any supported file; side must be at least 1.
[[nodiscard]] int LoadThumbnail(const std::filesystem::path& path, std::int32_t side, CBgraImage& image,
                                ThumbnailSpeed speed);

// The route of every type but TGA and RAW (and of JPEG at normal speed):
// LoadEmbeddedThumbnail, then the DC-only decode for a large JPEG without an
// EXIF thumbnail, or a full decode fitted with 2 x 2 samples per pixel when
// that failed.
[[nodiscard]] int LoadThumbnailGdiplus(const std::filesystem::path& path, std::int32_t side,
                                       CBgraImage& image);

// From the file's header: a large JPEG (type Jpeg, above
// kEmbeddedThumbnailArea) asked for a side above kEmbeddedThumbnailSide
// gives its EXIF thumbnail at its own size, trimmed of black bars
// (TrimBlackBorders), fitted into side (Embedded), or Missing without one.
// Any other file gives its EXIF thumbnail when it has one and the picture
// reaches the side on one axis, else the picture itself, fitted into side
// (Fitted).
[[nodiscard]] EmbeddedThumbnail LoadEmbeddedThumbnail(const std::filesystem::path& path, std::int32_t side,
                                                      CBgraImage& image, ImageFileType type);

// A JPEG whose width or height reaches kDcOnlyFactor x side is decoded
// DC-only and cut to (width / 8) x (height / 8) block pixels; a smaller one
// is decoded in full. Either is fitted into side with 2 x 2 samples per
// pixel. A failed DC-only decode is not retried in full.
[[nodiscard]] int LoadJpegThumbnailFast(const std::filesystem::path& path, std::int32_t side,
                                        CBgraImage& image);

// A JPEG held in memory (a RAW file's preview), always decoded DC-only as
// above and fitted into side.
[[nodiscard]] int DecodeJpegThumbnailFromMemory(std::span<const std::uint8_t> block, std::int32_t side,
                                                CBgraImage& image);

// A RAW bitmap preview (u16 width, u16 height, then exactly width x height
// R, G, B triplets, rows top-down) into a 24-bit codec image, its first row
// at the top of the picture. 0 for a block of any other length or when the
// image cannot be made.
[[nodiscard]] int RawBitmapPreviewToCodecImage(std::span<const std::uint8_t> block, CCodecImage& codecImage);

// Cuts black bars off the edges in place, at most a quarter of each side: a
// row counts as black while the green byte of its pixel at column w / 4 and
// the red byte at column 3w / 4 are 0, a column likewise at rows h / 4 and
// 3h / 4. Left as it is when there is nothing to cut or memory runs out.
void TrimBlackBorders(CBgraImage& image);

// target = source resized to width x height (area average when shrinking,
// bilinear otherwise; the alpha is dropped and comes back 255); the same
// size copies. 0 for an empty source or when memory runs out.
[[nodiscard]] int ResizeBgraImage(const CBgraImage& source, CBgraImage& target, std::uint32_t width,
                                  std::uint32_t height);
