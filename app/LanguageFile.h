#pragma once
// One language file of the data folder's "basic/Localize": its name (the
// file name without ".txt") and its path.

#include <filesystem>
#include <string>

struct LanguageFile {
  std::u16string name;
  std::filesystem::path path;
};
