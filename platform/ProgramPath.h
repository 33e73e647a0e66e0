#pragma once
// Where the running executable lives (the program folder and the data folder
// beside it are found from here).

#include <filesystem>

// Full path of the executable from /proc/self/exe; empty when unknown.
std::filesystem::path GetProgramPath();
