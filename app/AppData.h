#pragma once
// The application data: the per-user folders, what config.dat holds, the
// temporary files of this run and the values read at start. One instance of
// each, defined with the other global objects (Globals.cpp); everything but
// the temporary-file list and the edition flag is used on the UI thread only.
//
// Folders are paths without a trailing separator; join names with operator/.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "album/ConfigFile.h"
#include "app/LanguageFile.h"

// Width of the text fields the values below stand for (with terminator).
inline constexpr std::size_t kSkinNameLength = 64;
inline constexpr std::size_t kTempFileNameLength = 64;

// Bare names (no folder) of the temporary files made in this run; guarded by
// g_TempFileNamesLock since worker threads may make temporary files too.
extern std::mutex g_TempFileNamesLock;
extern std::vector<std::u16string> g_TempFileNames;

// The album's folders from config.dat, g_ConfigFilePath and g_DataFolder are
// declared in album/ConfigFile.h.

extern std::filesystem::path g_ProgramFolder;  // folder of the executable
extern std::u16string g_SkinName;              // empty: the default skin; "bright": the bright skin

// The language files found at start, in name order, and the chosen language
// (empty: the base texts).
extern std::vector<LanguageFile> g_LanguageFiles;
extern std::u16string g_CurrentLanguage;
inline constexpr std::size_t kLanguageNameLength = 256;

// Edition flag from the machine-wide settings, read by the service client at
// its start and set to 1 by the main window.
extern std::atomic<std::uint32_t> g_PublisherEdition;

// Makes the data folder, reads config.dat (writing a fresh one when there is
// none), purges old temporary files, finds the program folder and reads the
// registry start values. False when the data folder cannot be made or
// config.dat announces more than 256 favourites.
[[nodiscard]] bool InitAppData();
