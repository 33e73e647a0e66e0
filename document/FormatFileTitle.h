#pragma once
// The title of a file as the editor shows it: the file name with its
// extension, the name part cut so the whole fits a field of n characters.

#include <cstddef>
#include <filesystem>
#include <string>

// The file name (at most 255 characters) and its extension (from the last
// dot, with the dot, at most 15 characters). A name shorter than n - 17
// characters is kept whole; a longer one is cut to n - 19 characters and
// "..". The result has at most n - 1 characters (n of at least 20).
std::u16string FormatFileTitle(const std::filesystem::path& path, std::size_t n);
