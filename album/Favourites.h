#pragma once
// The favourites rule: a folder is kept once (paths compared exactly), the
// list holds at most what config.dat accepts, and a path that does not fit
// the record is refused rather than cut (a cut path names another folder).

#include <filesystem>
#include <string_view>
#include <vector>

#include "album/FavouriteFolder.h"

enum class AddFavouriteResult { Added, Duplicate, Full, PathTooLong };

[[nodiscard]] AddFavouriteResult AddFavouriteRecord(std::vector<FavouriteFolder>& list,
                                                    std::u16string_view name,
                                                    const std::filesystem::path& folder);
