#pragma once
// The blocks the program keeps on the clipboard, built and read field by
// field, little-endian:
// - the file list, a DROPFILES block: u32 offset of the list (20), i32 x and
//   y of a point (0, 0), u32 non-client flag (0), u32 wide-character flag
//   (2), then the paths as UTF-16 characters, each ended by a zero, and one
//   more zero;
// - the picture, a device-independent bitmap: a 40-byte BITMAPINFOHEADER
//   (32 bits per pixel, positive height) and the rows bottom-up, 4 bytes per
//   pixel B, G, R, A.
// The readers take blocks from outside and check every field.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CBgraImage;

inline constexpr std::uint32_t kDropFilesHeaderSize = 20;
inline constexpr std::uint32_t kDropFilesWideFlag = 2;
inline constexpr std::size_t kMaxDropFiles = 100000;

// The block of a list of zero-terminated paths with one more zero at the
// end (list holds every terminator): the header, the list and 8 zero bytes,
// which end the list even when list lacks its terminators.
std::vector<std::uint8_t> MakeDropFilesBlock(std::u16string_view list);
// The zero-separated, doubly zero-terminated list of paths.
std::u16string MakeFileList(std::span<const std::filesystem::path> paths);
// 1 with the paths; 0 (paths empty) for a block shorter than its header, an
// offset outside the block or inside the header, a list of 8-bit characters
// (wide flag 0), no path, more than kMaxDropFiles, or a path that is not
// absolute. The list ends at its double zero or, failing that, at the end
// of the block.
[[nodiscard]] int ReadDropFilesBlock(std::span<const std::uint8_t> block,
                                     std::vector<std::filesystem::path>& paths);

// The bitmap of a picture (40 + 4 x pixels bytes); empty for an empty
// picture.
std::vector<std::uint8_t> MakeDibBlock(const CBgraImage& picture);
// Reads a bitmap with an information header of 40 bytes or more, 24 or 32
// bits per pixel, uncompressed, rows bottom-up or (negative height)
// top-down; 24-bit pixels get alpha 255, 32-bit ones keep their fourth
// byte. 0 (picture untouched) for anything else, sides beyond
// kMaxImageSide, or a block too short for its rows.
[[nodiscard]] int ReadDibBlock(std::span<const std::uint8_t> block, CBgraImage& picture);
// 1 when ReadDibBlock would read the block (its header and length checked).
[[nodiscard]] int CheckDibBlock(std::span<const std::uint8_t> block);
