// config.dat, the album's favourites, root and search folders. A file whose
// root is an existing folder is saved again and must load back the same.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "album/ConfigFile.h"
#include "app/AppData.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

struct ConfigState {
  std::vector<std::u16string> favourites;  // name, path, name, path, ...
  std::u16string root;
  std::vector<std::u16string> scopes;

  bool operator==(const ConfigState&) const = default;
};

ConfigState Current() {
  ConfigState state{{}, g_AlbumRootFolder, g_SearchScopeFolders};
  for (const FavouriteFolder& favourite : g_FavouriteFolders) {
    state.favourites.emplace_back(favourite.Name());
    state.favourites.emplace_back(favourite.Path());
  }
  return state;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetSystemMessageHandler([](std::u16string_view) {});
  g_ConfigFilePath = FuzzScratchFile("config.dat");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WriteFuzzFile(g_ConfigFilePath, std::span<const std::uint8_t>(data, size));
  g_SearchScopeFolders.clear();
  if (!LoadConfigFile()) return 0;
  std::error_code error;
  if (!std::filesystem::is_directory(PathFromUtf16(g_AlbumRootFolder), error)) return 0;

  const ConfigState loaded = Current();
  FuzzCheck(g_FavouriteFolders.size() <= kMaxFavouriteFolders, "at most 256 favourites are loaded");
  FuzzCheck(SaveConfigFile(), "the loaded settings are saved");
  g_FavouriteFolders.clear();
  g_AlbumRootFolder.clear();
  g_SearchScopeFolders.clear();
  FuzzCheck(LoadConfigFile() && Current() == loaded, "saved settings load back the same");
  return 0;
}
