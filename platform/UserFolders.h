#pragma once
// The user's folders as the XDG base-directory and user-dirs conventions name
// them. Each is read from the environment at every call, so tests move them
// with HOME, XDG_CONFIG_HOME and XDG_CONFIG_DIRS.

#include <filesystem>
#include <string_view>
#include <vector>

// $HOME, else the home folder of the user's passwd entry; empty when neither.
std::filesystem::path GetHomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else home/.config; empty
// when there is no home. Stands in for the roaming application-data folder.
std::filesystem::path GetConfigHome();

// The maker folder: config home / "Varnel Softwares", where the small preset
// files live (the program's own settings are in config home / "Tessera").
// Empty when there is no config home. Not created here.
std::filesystem::path GetMakerFolder();

// The absolute entries of $XDG_CONFIG_DIRS, else /etc/xdg. Machine-wide
// configuration, read only.
std::vector<std::filesystem::path> GetConfigDirs();

// XDG_PICTURES_DIR of config-home/user-dirs.dirs when that names a folder,
// else home/Pictures when it is a folder, else home itself (as xdg-user-dir
// does), so the answer is a folder that exists whenever there is a home.
std::filesystem::path GetPicturesFolder();

// XDG_<name>_DIR (DESKTOP, DOCUMENTS, ...) of config-home/user-dirs.dirs
// when that names a folder, else home/fallback when it is a folder; empty
// when the named folder is missing.
std::filesystem::path GetUserDirFolder(std::string_view name, std::string_view fallback);
// Creates every missing level of folder with mode 0700. True when folder is a
// folder afterwards.
[[nodiscard]] bool CreateFolders(const std::filesystem::path& folder);
