#include "app/Language.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "app/AppData.h"
#include "platform/Folder.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/Utf16.h"
#include "ui/StringTable.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

constexpr std::u16string_view kLanguageSuffix = u".txt";

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

bool LessIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return AsciiLower(x) < AsciiLower(y); });
}

}  // namespace

void ScanLanguageFiles() {
  g_LanguageFiles.clear();
  const std::filesystem::path folder = UIResources().programFolder / "basic" / "Localize";
  std::vector<FolderEntry> entries;
  // No folder, no languages; a listing that failed part-way keeps what it
  // read.
  static_cast<void>(ListFolder(folder, entries));
  for (const FolderEntry& entry : entries) {
    const std::u16string fileName = FromUtf8(entry.name);
    if (fileName.size() <= kLanguageSuffix.size()) continue;
    const std::u16string_view suffix =
        std::u16string_view(fileName).substr(fileName.size() - kLanguageSuffix.size());
    if (!EqualsIgnoringAsciiCase(suffix, kLanguageSuffix)) continue;
    const std::filesystem::path path = folder / entry.name;
    std::error_code error;
    if (!entry.isFile && std::filesystem::is_directory(path, error)) continue;
    g_LanguageFiles.push_back({fileName.substr(0, fileName.size() - kLanguageSuffix.size()), path});
  }
  // The names as they were stored tell equal-looking files apart.
  std::sort(g_LanguageFiles.begin(), g_LanguageFiles.end(), [](const LanguageFile& a, const LanguageFile& b) {
    if (LessIgnoringAsciiCase(a.name, b.name)) return true;
    if (LessIgnoringAsciiCase(b.name, a.name)) return false;
    return a.name < b.name;
  });
}

bool ApplyLanguageFile(const LanguageFile& file) {
  CStringTable language;
  if (!language.Load(file.path)) return false;
  language.Sort();
  UIResources().texts.Overlay(language);
  return true;
}

bool LoadLanguageChoice() {
  if (!GetRegString(RegistryProfile::kLanguage, g_CurrentLanguage, true)) {
    // Not stored for the machine either: the default, no language.
    static_cast<void>(GetRegString(RegistryProfile::kLanguage, g_CurrentLanguage, false));
  }
  ScanLanguageFiles();
  if (g_CurrentLanguage.empty()) return true;
  for (const LanguageFile& file : g_LanguageFiles) {
    if (EqualsIgnoringAsciiCase(file.name, g_CurrentLanguage)) return ApplyLanguageFile(file);
  }
  g_CurrentLanguage.clear();
  return true;
}

namespace {

// The read-back of a stored choice is compared in a field of this size.
constexpr std::size_t kReadBackField = 128;

void Tell(std::u16string_view key, MessageBoxIcon icon) {
  static_cast<void>(ShowMessageBox(UIResources().texts.TextOrEmpty(key), icon,
                                   MessageBoxButtons::Ok));  // only OK
}

}  // namespace

void ChangeLanguage(std::u16string_view name) {
  g_CurrentLanguage = std::u16string(name);
  bool stored = SetRegString(RegistryProfile::kLanguage.section, RegistryProfile::kLanguage.name, name);
  if (stored) {
    std::u16string readBack;
    stored = GetRegString(RegistryProfile::kLanguage.section, RegistryProfile::kLanguage.name, u"", readBack,
                          kReadBackField, true) &&
             EqualsIgnoringAsciiCase(readBack, name);
  }
  Tell(stored ? u"restartTosee" : u"unexpect", MessageBoxIcon::Information);
}

void ChangeSkin(std::u16string_view name) {
  if (SetRegString(RegistryProfile::kSkin.section, RegistryProfile::kSkin.name, name)) {
    Tell(u"restartTosee", MessageBoxIcon::Information);
  } else {
    Tell(u"unexpect", MessageBoxIcon::Error);
  }
}
