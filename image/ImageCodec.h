#pragma once
// The image-file layer: the gate through which ordinary image files are read
// and written as 8-bit CBgraImage pictures. It tells a file's type from its
// extension, loads JPEG files through the JPEG codec's BGRA decoder, camera
// RAW files as their embedded preview and everything else through the codec
// image class; saves in the format of a path's extension; saves JPEG files
// with a quality and an optional luminance table; decodes JPEG data held in
// memory; and turns JPEG files without re-encoding them.
//
// The CBgraImage members that convert to and from codec images and load and
// save files are defined here too (ImageCodec.cpp).
//
// Nothing here keeps state but the thread's load error (ImageLoadError.h),
// which the loads set: every function may run on any thread. Only the RAW
// route takes RawDecodeLock. Results are 1 on success and 0 on failure.

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

class CBgraRowSink;
struct CBgraImage;

// The type of a file by its extension, compared without regard to case.
enum class ImageFileType : std::int32_t {
  Unknown = -1,  // any other extension, none, or an empty path
  Jpeg = 1,      // jpg, jpeg
  Bmp = 2,
  Gif = 3,
  Png = 4,
  Tiff = 5,  // tif, tiff
  Tga = 6,
  Pcx = 7,
  Raw = 8,  // the 20 camera RAW extensions; LibRaw opens only 15 of them
};

// The extension is the text after the last "." that follows the last "/".
ImageFileType GetImageType(const std::filesystem::path& path);

// The CodecFormat code for the extension (jpg and jpeg 2, bmp 0, gif 1,
// png 3, tif and tiff 5, tga 6, pcx 7), or -1.
[[nodiscard]] std::int32_t GetCodecFormat(const std::filesystem::path& path);

// Loads any supported file as a full 8-bit picture: JPEG with alpha 255,
// camera RAW as its embedded preview, other formats by CBgraImage::LoadFile.
// A picture wider or taller than kMaxImageSide is refused from its header.
[[nodiscard]] int LoadImageAsBgra(const std::filesystem::path& path, CBgraImage& image);

// Decodes a JPEG file as LoadImageAsBgra does (B, G, R, A with A = 255, the
// same side limit) into the sink's memory, handing it the rows in batches
// as they are complete.
[[nodiscard]] int LoadJpegRows(const std::filesystem::path& path, CBgraRowSink& sink);

// The JPEG options record of the save code: its first word is the save
// code's own; a luminance table whose first entry is 0 means none.
struct JpegSaveOptions {
  std::uint32_t reserved = 0;
  std::array<std::uint32_t, 64> lumaTable{};  // natural order, scaled by the quality
};

// Writes image as a 24-bit JPEG at 72 dpi, only to a path of type JPEG.
// Quality above 100 means quality % 100 with chroma at full resolution
// (195 is 95 without subsampling); then 0 means 100 and anything below 2
// becomes 2. A failed write leaves any old file as it was.
[[nodiscard]] int SaveJpegFile(const JpegSaveOptions& options, const std::filesystem::path& path,
                               const CBgraImage& image, int quality);

// Decodes a JPEG held in memory (the block is only read); sides above
// kMaxImageSide are refused before pixel memory is taken. On failure image
// is left as it was.
[[nodiscard]] int DecodeJpegFromMemory(std::span<const std::uint8_t> block, CBgraImage& image);

// Copies source to destination (created or replaced). A read error fails the
// copy, and a failed copy leaves any old destination as it was.
[[nodiscard]] int CopyFileContents(const std::filesystem::path& source,
                                   const std::filesystem::path& destination);

// Turns a JPEG file in place: turn 1 is 90 degrees clockwise, 2 is 180, 3 is
// 90 counter-clockwise. The DCT blocks are moved without re-encoding when the
// picture's sides allow it; otherwise the pixels are decoded, turned and
// encoded again at quality 95 with full-resolution chroma, keeping the
// file's metadata segments. The new file replaces the old one only once it
// is complete.
[[nodiscard]] int RotateJpegLossless(const std::filesystem::path& path, int turn);
