#pragma once
// Typed settings values (32-bit numbers and texts) by section, kept in an
// ini-style text file: the stand-in for the registry.
//
//   [Program]
//   Animation=dword:00000001
//   Skin=sz:bright
//
// Values before the first section header belong to the root (the empty
// section). Section and value names match without regard to ASCII case, as
// registry names do. In names, and in texts, control characters, the
// backslash and the characters that would break a line's structure are
// written as \xHH; a space at either end of a name likewise.
//
// The per-user file is written; the machine-wide file is only read. Every
// change re-reads the user's file and replaces it through a temporary file
// and a rename, under an exclusive lock on its folder, so a crash never leaves
// half a file and two running copies do not drop each other's changes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class CSettingsStore {
public:
  enum class Scope { CurrentUser, LocalMachine };

  // Files found from the environment: DefaultUserFile, DefaultMachineFile.
  CSettingsStore();
  CSettingsStore(std::filesystem::path userFile, std::filesystem::path machineFile);

  // False when the value is missing, of the other type, or unreadable; the
  // output is then untouched.
  [[nodiscard]] bool GetDword(Scope scope, std::u16string_view section, std::u16string_view name,
                              std::uint32_t& value) const;
  [[nodiscard]] bool GetString(Scope scope, std::u16string_view section, std::u16string_view name,
                               std::u16string& text) const;

  // Write to the per-user file, creating it and its folder when missing. A
  // text is stored up to its first NUL. False when the file cannot be read
  // or replaced; the old file then stays as it was.
  [[nodiscard]] bool SetDword(std::u16string_view section, std::u16string_view name, std::uint32_t value);
  [[nodiscard]] bool SetString(std::u16string_view section, std::u16string_view name,
                               std::u16string_view text);

  const std::filesystem::path& UserFile() const { return m_userFile; }
  const std::filesystem::path& MachineFile() const { return m_machineFile; }

  // config-home/Tessera/settings.ini (empty without a home).
  static std::filesystem::path DefaultUserFile();
  // Tessera/settings.ini in the first configuration folder that has one,
  // else in the first configuration folder.
  static std::filesystem::path DefaultMachineFile();

private:
  std::filesystem::path m_userFile;
  std::filesystem::path m_machineFile;
};
