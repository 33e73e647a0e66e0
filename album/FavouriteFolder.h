#pragma once
// One favourite folder of the album, as config.dat stores it: a display name
// of 32 and a folder path of 1024 UTF-16 characters, then 512 reserved bytes.

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/Utf16.h"

inline constexpr std::size_t kFavouriteNameLength = 32;
inline constexpr std::size_t kFolderPathLength = 1024;
inline constexpr std::size_t kFavouriteReservedBytes = 512;
inline constexpr std::size_t kFavouriteFolderBytes = 2624;
static_assert(kFavouriteNameLength * 2 + kFolderPathLength * 2 + kFavouriteReservedBytes ==
              kFavouriteFolderBytes);

struct FavouriteFolder {
  std::array<char16_t, kFavouriteNameLength> name{};
  std::array<char16_t, kFolderPathLength> path{};

  // A longer text is cut to n - 3 characters and "..".
  void SetName(std::u16string_view text) { CopyTextTruncated(name, text); }
  void SetPath(std::u16string_view text) { CopyTextTruncated(path, text); }
  std::u16string_view Name() const { return {name.data(), BoundedLength(name)}; }
  std::u16string_view Path() const { return {path.data(), BoundedLength(path)}; }
};
