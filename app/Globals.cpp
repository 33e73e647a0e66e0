#include "app/Globals.h"

CBrightforgeApp theApp;

// The application data: the lists start empty, nothing else is set.
std::vector<std::u16string> g_TempFileNames;
std::filesystem::path g_ProgramFolder;
std::u16string g_SkinName;
std::vector<LanguageFile> g_LanguageFiles;
std::u16string g_CurrentLanguage;
std::atomic<std::uint32_t> g_PublisherEdition{0};

CToolSet g_ToolSet;
CMergeJobQueue g_MergeJobQueue;

// Constant-initialised and with nothing to tear down, so its place here does
// not matter to its users.
std::mutex g_TempFileNamesLock;

CServerThread theServerThread;
