#include "app/Globals.h"

// 1
CBrightforgeApp theApp;

// 2: the lists start empty, nothing else is set.
std::mutex g_TempFileNamesLock;
std::vector<std::u16string> g_TempFileNames;
std::vector<FavouriteFolder> g_FavouriteFolders;
std::u16string g_AlbumRootFolder;
std::vector<std::u16string> g_SearchScopeFolders;
std::filesystem::path g_ConfigFilePath;
std::filesystem::path g_DataFolder;
std::filesystem::path g_ProgramFolder;
std::u16string g_SkinName;
std::atomic<std::uint32_t> g_PublisherEdition{0};

// 3 to 13 are defined here, in the order of Globals.h, as their parts join.

// 14
CMergeJobQueue g_MergeJobQueue;
