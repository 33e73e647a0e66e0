#pragma once
// Where the running executable lives (the program folder and the data folder
// beside it are found from here).

#include <filesystem>

// Full path of the executable from /proc/self/exe; empty when unknown.
std::filesystem::path GetProgramPath();

// The folder "data" beside the executable: the skin pictures, the base text
// table and the language files that ship with the program. The build links
// the source tree's data folder there for the program and the test binaries.
// Empty when the executable's path is unknown.
std::filesystem::path GetProgramDataFolder();
