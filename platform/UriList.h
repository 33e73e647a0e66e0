#pragma once
// File lists as other Linux programs put them on the clipboard: text/uri-list
// (one file:// URI per line, lines ending in CR LF, "#" lines are comments)
// and x-special/gnome-copied-files (a first line "copy" or "cut", then one
// URI per line). They come from other programs, so they are read strictly and
// a list with any bad line is refused whole: only file:// URIs of this
// machine (no host, or "localhost") with an absolute path are taken, their
// percent-escapes decoded; an escape that is not two hex digits, a control
// character (raw or escaped, NUL among them), a query or fragment mark, a
// "." or ".." component, a path that is not UTF-8, or one longer than
// kMaxUriPathBytes refuses the list, and so does a list without a file or
// with more than kMaxUriListFiles. NULs that end the data are ignored.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kMaxUriPathBytes = 4096;
inline constexpr std::size_t kMaxUriListFiles = 100000;

// 1 with the paths in order; 0 (paths empty) for a refused list.
[[nodiscard]] int ParseUriList(std::span<const std::uint8_t> bytes,
                               std::vector<std::filesystem::path>& paths);
// cut is true for "cut", false for "copy".
[[nodiscard]] int ParseGnomeCopiedFiles(std::span<const std::uint8_t> bytes, bool& cut,
                                        std::vector<std::filesystem::path>& paths);
// One URI without line end; 0 when refused.
[[nodiscard]] int ParseFileUri(std::string_view uri, std::filesystem::path& path);

// "file://" and the path with every byte but letters, digits, "-._~" and "/"
// percent-escaped.
std::string MakeFileUri(const std::filesystem::path& path);
// Each URI followed by CR LF.
std::string MakeUriList(std::span<const std::filesystem::path> paths);
// "copy" or "cut", then "\n" and a URI for each path.
std::string MakeGnomeCopiedFiles(bool cut, std::span<const std::filesystem::path> paths);
