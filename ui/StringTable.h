#pragma once
// CStringTable: the localised text table. Every user-visible text is looked
// up by its key; the base file "resource.txt" fills the table and a language
// file may replace texts later, in the same file format:
//
//   UTF-16 little-endian text, lines separated by any run of CR and LF.
//   Everything up to the first "[StringTab]" is ignored; the marker and the
//   two characters after it (its line break) are skipped. A line of at most
//   1023 characters (longer ones are split there) that has at least 8
//   characters and starts with a double quote is an entry:
//       "key"="value"
//   The key ends at the first double quote or equals sign and must be
//   followed by the three characters "=" (quote, equals, quote); the value
//   runs to the last double quote of the line, so it may hold double quotes
//   itself. An empty value is an error. Nothing is unescaped here.
//   Every other line is ignored. Parsing ends at a NUL character.
//
// Keys compare by UTF-16 code unit (ordinal, case-sensitive). The table is
// filled on the UI thread at start-up and read from any thread afterwards.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TextEntry {
  std::u16string key;
  std::u16string value;
};

// Ordinal order of two entries' keys: true when a comes before b.
bool CompareTextEntries(const TextEntry& a, const TextEntry& b);

class CStringTable {
public:
  // Lines longer than this are split.
  static constexpr std::size_t kMaxLineLength = 1023;
  // Text-table files larger than this are refused.
  static constexpr std::uint64_t kMaxFileBytes = 64ull << 20;

  // Parses a text-table file and appends its entries (unsorted). False when
  // the file cannot be read, has no marker, or an entry line does not parse;
  // that line is then shown to the user (ShowSystemMessage) and the entries
  // before it stay.
  [[nodiscard]] bool Load(const std::filesystem::path& path);
  // The same over text already in memory (the kept base file).
  [[nodiscard]] bool Load(std::u16string_view text);
  // Appends the entry of one line; false when the line is not an entry.
  [[nodiscard]] bool ParseLine(std::u16string_view line);
  void AddText(std::u16string_view key, std::u16string_view value);
  // Orders the entries by key; lookups need it after AddText and Load.
  void Sort();

  // The text of a key, or null when the table lacks it; "errinit" always has
  // a text. The pointer stays valid until the table changes. Which of
  // several entries with one key is found is not defined.
  const char16_t* LookupText(std::u16string_view key) const;
  bool HasText(std::u16string_view key) const;
  // The text of a key, or the key itself when the table lacks it (texts of
  // dialog templates and menus may be keys or plain texts).
  std::u16string TextOrKey(std::u16string_view key) const;

  std::size_t Count() const { return m_entries.size(); }
  void Clear() { m_entries.clear(); }

private:
  const TextEntry* Find(std::u16string_view key) const;

  std::vector<std::unique_ptr<TextEntry>> m_entries;
};
