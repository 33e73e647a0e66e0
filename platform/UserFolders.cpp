#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Folder.h"

namespace {

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return {};
  return std::filesystem::path(value).lexically_normal();
}

bool IsFolder(const std::filesystem::path& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

// The value of XDG_PICTURES_DIR in a user-dirs.dirs file: a double-quoted
// text that is either "$HOME/..." or an absolute path, with backslash escapes.
std::filesystem::path FolderFromUserDirs(const std::filesystem::path& file, const std::filesystem::path& home,
                                         std::string_view kKey) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::string_view text(line);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (!text.starts_with(kKey)) continue;
    text.remove_prefix(kKey.size());
    if (text.size() < 2 || text.front() != '"') return {};
    text.remove_prefix(1);
    std::string value;
    bool closed = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        value += text[++i];
      } else if (text[i] == '"') {
        closed = true;
        break;
      } else {
        value += text[i];
      }
    }
    if (!closed) return {};
    constexpr std::string_view kHome = "$HOME";
    if (std::string_view(value).starts_with(kHome)) {
      const std::string rest = value.substr(kHome.size());
      if (!rest.empty() && rest.front() != '/') return {};
      if (home.empty()) return {};
      return (home.string() + rest);
    }
    if (!value.empty() && value.front() == '/') return value;
    return {};
  }
  return {};
}

}  // namespace

std::filesystem::path GetHomeFolder() {
  if (auto home = AbsoluteFromEnvironment("HOME"); !home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_dir || found->pw_dir[0] != '/') {
    return {};
  }
  return found->pw_dir;
}

std::filesystem::path GetConfigHome() {
  if (auto config = AbsoluteFromEnvironment("XDG_CONFIG_HOME"); !config.empty()) return config;
  const std::filesystem::path home = GetHomeFolder();
  return home.empty() ? home : home / ".config";
}

std::filesystem::path GetMakerFolder() {
  const std::filesystem::path config = GetConfigHome();
  return config.empty() ? config : config / "Varnel Softwares";
}

std::vector<std::filesystem::path> GetConfigDirs() {
  std::vector<std::filesystem::path> dirs;
  if (const char* value = std::getenv("XDG_CONFIG_DIRS")) {
    std::string_view list(value);
    while (!list.empty()) {
      const std::size_t colon = list.find(':');
      const std::string_view entry = list.substr(0, colon);
      if (!entry.empty() && entry.front() == '/') dirs.emplace_back(std::string(entry));
      if (colon == std::string_view::npos) break;
      list.remove_prefix(colon + 1);
    }
  }
  if (dirs.empty()) dirs.emplace_back("/etc/xdg");
  return dirs;
}

std::filesystem::path GetPicturesFolder() {
  const std::filesystem::path home = GetHomeFolder();
  const std::filesystem::path config = GetConfigHome();
  if (!config.empty()) {
    const std::filesystem::path pictures =
        FolderFromUserDirs(config / "user-dirs.dirs", home, "XDG_PICTURES_DIR=");
    if (IsFolder(pictures)) return pictures.lexically_normal();
  }
  if (home.empty()) return {};
  if (IsFolder(home / "Pictures")) return home / "Pictures";
  return home;
}

std::filesystem::path GetUserDirFolder(std::string_view name, std::string_view fallback) {
  const std::filesystem::path home = GetHomeFolder();
  const std::filesystem::path config = GetConfigHome();
  if (!config.empty()) {
    const std::string key = "XDG_" + std::string(name) + "_DIR=";
    const std::filesystem::path folder = FolderFromUserDirs(config / "user-dirs.dirs", home, key);
    if (!folder.empty()) return IsFolder(folder) ? folder.lexically_normal() : std::filesystem::path();
  }
  if (home.empty() || !IsFolder(home / fallback)) return {};
  return home / fallback;
}

bool CreateFolders(const std::filesystem::path& folder) {
  if (folder.empty()) return false;
  if (IsFolder(folder)) return true;
  std::filesystem::path partial;
  for (const auto& part : folder.lexically_normal()) {
    partial /= part;
    if (part == partial.root_path() || part.empty()) continue;
    const MakeFolderResult made = MakeFolder(partial);
    if (made != MakeFolderResult::Made && made != MakeFolderResult::Exists) return false;
  }
  return IsFolder(folder);
}
