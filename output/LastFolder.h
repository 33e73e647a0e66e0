#pragma once
// The folders the save commands start in, kept per kind of file under the
// settings section "Last Path" ("SaveProject", "SaveJPG", "SavePNG",
// "SaveOthers", "SaveLayer"), each a folder with its trailing slash.

#include <filesystem>
#include <string_view>

inline constexpr std::u16string_view kLastPathSection = u"Last Path";

// The start name of a save question: with a folder stored for valueName and
// a document path, that folder and the path's file title (no extension);
// with no folder stored, the path's own folder and title; without a path,
// empty. The save question adds the extension.
std::filesystem::path LastFolderStartName(const std::filesystem::path& documentPath,
                                          std::u16string_view valueName);

// Stores the folder of path (with its trailing slash) under valueName.
[[nodiscard]] bool RememberLastFolder(const std::filesystem::path& path, std::u16string_view valueName);
