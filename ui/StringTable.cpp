#include "ui/StringTable.h"

#include <algorithm>

#include "platform/SystemMessage.h"
#include "ui/TextFormat.h"
#include "ui/Utf16File.h"

namespace {

constexpr std::u16string_view kMarker = u"[StringTab]";
// Characters after the marker that are skipped: its CR LF.
constexpr std::size_t kMarkerBreak = 2;
// A shorter line is never an entry.
constexpr std::size_t kMinEntryLength = 8;

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

}  // namespace

bool CompareTextEntries(const TextEntry& a, const TextEntry& b) { return a.key < b.key; }

bool CStringTable::Load(const std::filesystem::path& path) {
  std::u16string text;
  if (!ReadUtf16File(path, kMaxFileBytes, false, text)) return false;
  return Load(std::u16string_view(text));
}

bool CStringTable::Load(std::u16string_view text) {
  if (const std::size_t nul = text.find(u'\0'); nul != std::u16string_view::npos) text = text.substr(0, nul);
  const std::size_t marker = text.find(kMarker);
  if (marker == std::u16string_view::npos) return false;
  std::size_t pos = std::min(text.size(), marker + kMarker.size() + kMarkerBreak);
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && end - pos < kMaxLineLength && !IsLineBreak(text[end])) ++end;
    const std::u16string_view line = text.substr(pos, end - pos);
    pos = end;
    while (pos < text.size() && IsLineBreak(text[pos])) ++pos;
    if (line.size() < kMinEntryLength || line[0] != u'"') continue;
    if (!ParseLine(line)) {
      ShowSystemMessage(FormatText(u"Error in parse string resource:'%s'", {line}));
      return false;
    }
  }
  return true;
}

bool CStringTable::ParseLine(std::u16string_view line) {
  if (line.empty() || line[0] != u'"') return false;
  std::size_t keyEnd = 1;
  while (keyEnd < line.size() && line[keyEnd] != u'"' && line[keyEnd] != u'=') ++keyEnd;
  if (line.substr(keyEnd, 3) != u"\"=\"") return false;
  const std::size_t valueStart = keyEnd + 3;
  const std::size_t valueEnd = line.rfind(u'"');
  if (valueEnd == std::u16string_view::npos || valueEnd <= valueStart) return false;
  AddText(line.substr(1, keyEnd - 1), line.substr(valueStart, valueEnd - valueStart));
  return true;
}

void CStringTable::AddText(std::u16string_view key, std::u16string_view value) {
  m_entries.push_back(std::make_unique<TextEntry>(TextEntry{std::u16string(key), std::u16string(value)}));
}

void CStringTable::Sort() {
  std::stable_sort(m_entries.begin(), m_entries.end(),
                   [](const auto& a, const auto& b) { return CompareTextEntries(*a, *b); });
}

const TextEntry* CStringTable::Find(std::u16string_view key) const {
  const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), key,
                                   [](const auto& entry, std::u16string_view k) { return entry->key < k; });
  if (it == m_entries.end() || (*it)->key != key) return nullptr;
  return it->get();
}

const char16_t* CStringTable::LookupText(std::u16string_view key) const {
  if (const TextEntry* entry = Find(key)) return entry->value.c_str();
  if (key == u"errinit") return u"Error init string";
  return nullptr;
}

bool CStringTable::HasText(std::u16string_view key) const { return Find(key) != nullptr; }

std::u16string CStringTable::TextOrKey(std::u16string_view key) const {
  const TextEntry* entry = Find(key);
  return entry ? entry->value : std::u16string(key);
}
