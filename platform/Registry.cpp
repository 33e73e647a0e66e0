#include "platform/Registry.h"

#include "platform/SettingsStore.h"
#include "platform/Utf16.h"

namespace {

CSettingsStore::Scope ScopeOf(bool currentUser) {
  return currentUser ? CSettingsStore::Scope::CurrentUser : CSettingsStore::Scope::LocalMachine;
}

}  // namespace

// Each call finds the files from the environment anew and reads them whole:
// the files are small, and another running copy may have changed them.

bool SetRegDword(std::u16string_view section, std::u16string_view valueName, std::uint32_t value) {
  return CSettingsStore().SetDword(section, valueName, value);
}

bool SetRegString(std::u16string_view section, std::u16string_view valueName, std::u16string_view text) {
  return CSettingsStore().SetString(section, valueName, text);
}

bool GetRegString(std::u16string_view section, std::u16string_view valueName, std::u16string_view defaultText,
                  std::u16string& out, std::size_t outLength, bool currentUser) {
  out = TruncatedText(defaultText, outLength);
  std::u16string stored;
  if (!CSettingsStore().GetString(ScopeOf(currentUser), section, valueName, stored)) return false;
  if (stored.size() > kMaxRegTextLength) return false;
  out = TruncatedText(stored, outLength);
  return true;
}

bool GetRegString(const RegTextValue& value, std::u16string& out, bool currentUser) {
  return GetRegString(value.section, value.name, value.defaultText, out, value.length, currentUser);
}

std::uint32_t GetRegDword(std::u16string_view section, std::u16string_view valueName,
                          std::uint32_t defaultValue, bool currentUser) {
  std::uint32_t value = defaultValue;
  // A missing or unreadable value leaves the default in place.
  static_cast<void>(CSettingsStore().GetDword(ScopeOf(currentUser), section, valueName, value));
  return value;
}

std::uint32_t GetRegDword(const RegDwordValue& value, bool currentUser) {
  return GetRegDword(value.section, value.name, value.defaultValue, currentUser);
}

bool QueryRegDword(std::u16string_view section, std::u16string_view valueName, std::uint32_t& value,
                   bool currentUser) {
  std::uint32_t stored = 0;
  if (!CSettingsStore().GetDword(ScopeOf(currentUser), section, valueName, stored)) return false;
  value = stored;
  return true;
}
