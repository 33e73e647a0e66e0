#include "platform/ClipboardOffer.h"

#include <utility>

CClipboardOffer::CClipboardOffer(std::vector<ClipboardTarget> targets) {
  m_entries.reserve(targets.size());
  for (ClipboardTarget& target : targets) {
    if (target.name.empty() || (!target.bytes && !target.produce) || Has(target.name, false)) continue;
    const bool made = target.bytes != nullptr;
    if (made && target.bytes->empty()) target.bytes = nullptr;
    ClipboardBytes bytes = std::move(target.bytes);
    m_entries.push_back({std::move(target), made, std::move(bytes)});
  }
}

std::vector<std::string> CClipboardOffer::Names(bool sharedOnly) const {
  std::vector<std::string> names;
  for (const Entry& entry : m_entries) {
    if (!sharedOnly || entry.target.shared) names.push_back(entry.target.name);
  }
  return names;
}

bool CClipboardOffer::Has(std::string_view name, bool sharedOnly) const {
  for (const Entry& entry : m_entries) {
    if (entry.target.name == name) return !sharedOnly || entry.target.shared;
  }
  return false;
}

CClipboardOffer::Entry* CClipboardOffer::Find(std::string_view name, bool sharedOnly) {
  for (Entry& entry : m_entries) {
    if (entry.target.name == name) return !sharedOnly || entry.target.shared ? &entry : nullptr;
  }
  return nullptr;
}

ClipboardBytes CClipboardOffer::Get(std::string_view name, bool sharedOnly) {
  Entry* entry = Find(name, sharedOnly);
  if (!entry) return nullptr;
  if (!entry->made) {
    entry->made = true;
    std::vector<std::uint8_t> bytes = entry->target.produce();
    if (!bytes.empty()) entry->bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    entry->target.produce = nullptr;  // what it captured is no longer needed
  }
  return entry->bytes;
}
