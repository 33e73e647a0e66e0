#pragma once
// The clipboard helpers of the program: a size probe and raw bytes by
// format, file lists with a copy or cut intention, and pictures as 32-bit
// bitmaps. The program sees its own formats (ui/ClipboardBlocks.h); here
// they are translated to and from what other Linux programs use:
//
//   Hdrop and PreferredDropEffect   x-special/gnome-copied-files ("copy" or
//                                   "cut"), text/uri-list, UTF8_STRING (one
//                                   path a line)
//   Dib                             image/png, image/bmp
//   Text, UnicodeText               the clipboard's text
//
// Blocks this program wrote read back exactly as written; a file list or a
// picture of another program is read from the first of its targets above
// that it offers (a file list from text/uri-list counts as copied). Text is
// UTF-8 here, the system's 8-bit code page. DibV5 is never translated.
// Everything fails quietly: 0, empty, or nothing stored. UI thread.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "platform/FileTransfer.h"

struct CBgraImage;

enum class ClipboardFormat : std::uint32_t {
  Text = 1,  // zero-terminated 8-bit text
  Dib = 8,
  UnicodeText = 13,  // zero-terminated UTF-16 text
  Hdrop = 15,
  DibV5 = 17,
  PreferredDropEffect = 0xC000,  // u32: kDropEffectCopy or kDropEffectMove
};

inline constexpr std::uint32_t kDropEffectCopy = 1;
inline constexpr std::uint32_t kDropEffectMove = 2;

// The byte count of the format's block; 0 when the clipboard does not hold
// it or it cannot be read.
[[nodiscard]] std::uint64_t GetClipboardDataSize(ClipboardFormat format);
// Empties the clipboard and puts the bytes there as the one format. 0 when
// nothing could be stored (also for a file list or picture block that does
// not read back).
[[nodiscard]] int WriteClipboardBytes(ClipboardFormat format, std::span<const std::uint8_t> data);
// A copy of the format's block; 0 (bytes untouched) when the clipboard does
// not hold it or it cannot be read.
[[nodiscard]] int ReadClipboardBytes(ClipboardFormat format, std::vector<std::uint8_t>& bytes);

// fileList: zero-terminated paths and one more zero, fileList.size()
// characters in all. copy false means cut: a paste then moves the files.
[[nodiscard]] int CopyFilesToClipboard(std::u16string_view fileList, bool copy);

struct FilePasteResult {
  int pasted = 0;        // 1: the clipboard held a file list
  bool emptied = false;  // the clipboard was emptied afterwards
  FileTransferMode mode = FileTransferMode::Copy;
  FileTransferReport report;
};
// Copies, or moves when the list was cut, the clipboard's files into a
// folder (FileTransfer.h: names already taken there are replaced only when
// ask says so), then empties the clipboard whatever came of it, so a list is
// pasted once. Nothing happens, and the clipboard stays, when it holds no
// file list that can be read.
[[nodiscard]] FilePasteResult PasteFilesFromClipboard(const std::filesystem::path& destinationFolder,
                                                      const FileConflictQuestion& ask = {});

// The files, as a text/uri-list, for other programs while the drag of the
// mouse button held now goes on outside the window (IClipboard::StartDrag).
// 0 when no drag could be offered.
[[nodiscard]] int OfferFileDrag(std::span<const std::filesystem::path> paths);

// Puts the picture on the clipboard as a Dib block.
[[nodiscard]] int CopyImageToClipboard(const CBgraImage& picture);
