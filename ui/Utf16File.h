#pragma once
// Reads a UTF-16 little-endian text file whole (the text table, the
// language files and a skin variant's config.txt). Nothing is interpreted:
// a byte-order mark stays in the text as U+FEFF; an odd last byte is dropped.

#include <cstdint>
#include <filesystem>
#include <string>

// At most maxBytes are read. A longer file is refused (false) unless
// truncate is set, when only its first maxBytes count. False when the file
// cannot be opened or read.
[[nodiscard]] bool ReadUtf16File(const std::filesystem::path& path, std::uint64_t maxBytes, bool truncate,
                                 std::u16string& text);
