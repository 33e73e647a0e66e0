#pragma once
// Camera RAW files through LibRaw: development into the 16-bit working image
// and the camera's embedded preview.
//
// LibRaw is not used by two threads at once anywhere in the process: every
// caller holds RawDecodeLock around these calls and the use of their results.
// The functions do not take it themselves.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>

#include "image/PixelBlock.h"

struct CBgraImage16;

extern std::mutex RawDecodeLock;

// The buffer limit handed to LibRaw's open_file.
inline constexpr std::int64_t kRawBufferLimit = 262144000;

enum class RawPreviewKind : std::int32_t {
  Other = 0,   // any other form LibRaw reports, bytes as LibRaw gives them
  Jpeg = 1,    // a complete JPEG file
  Bitmap = 2,  // u16 width, u16 height (little-endian), then width x height
               // R, G, B byte triplets, rows top-down: 4 + 3 x w x h bytes
};

// 1 for a name whose extension (from the last ".") is one of the 15 that
// LibRaw is asked to open, compared without regard to case.
int IsRawFileName(const std::filesystem::path& name);

// Develops the file with the camera's white balance, AHD demosaicing, clipped
// highlights and Adobe RGB (1998) primaries into image: linear values as
// LibRaw leaves them (no output gamma, no brightening, not turned by the
// orientation flag), A = 65535, at the size processing leaves (turned for
// diagonal sensors, stretched for non-square pixels). A picture above the
// size limits is refused from the header, before LibRaw unpacks it. 1 on
// success; 0 leaves image as it was, with the reason in ImageLoadError.
[[nodiscard]] int LoadRawImage(const std::filesystem::path& path, CBgraImage16& image);

// The embedded preview as a new block of length bytes, or null. A bitmap
// preview gets the width and height prefix that its users expect.
[[nodiscard]] PixelBlock ExtractRawThumbnail(const std::filesystem::path& path, std::uint32_t& length,
                                             RawPreviewKind& kind);

// Takes RawDecodeLock, extracts the file's embedded preview and hands it to
// use(block, kind) while the lock is held; the result is use's, or 0 without
// a preview.
template <typename Use>
[[nodiscard]] int UseRawPreview(const std::filesystem::path& path, Use&& use) {
  const std::lock_guard<std::mutex> lock(RawDecodeLock);
  std::uint32_t length = 0;
  RawPreviewKind kind = RawPreviewKind::Other;
  const PixelBlock preview = ExtractRawThumbnail(path, length, kind);
  if (!preview) return 0;
  return use(std::span<const std::uint8_t>(preview.get(), length), kind);
}
