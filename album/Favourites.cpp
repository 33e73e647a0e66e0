#include "album/Favourites.h"

#include <algorithm>

#include "album/ConfigFile.h"
#include "platform/Utf16.h"

AddFavouriteResult AddFavouriteRecord(std::vector<FavouriteFolder>& list, std::u16string_view name,
                                      const std::filesystem::path& folder) {
  std::u16string path = PathToUtf16(folder);
  if (path.empty() || path.back() != u'/') path += u'/';
  if (path.size() >= kFolderPathLength) return AddFavouriteResult::PathTooLong;
  if (std::any_of(list.begin(), list.end(),
                  [&](const FavouriteFolder& entry) { return entry.Path() == path; }))
    return AddFavouriteResult::Duplicate;
  if (list.size() >= kMaxFavouriteFolders) return AddFavouriteResult::Full;
  FavouriteFolder entry;
  entry.SetName(name);
  entry.SetPath(path);
  list.push_back(entry);
  return AddFavouriteResult::Added;
}
