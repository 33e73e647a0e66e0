#pragma once
// What this program holds on the clipboard: its targets, each made on first
// use and then kept, so a picture is encoded once however often it is
// pasted. Not locked: its owner serialises the calls.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clipboard.h"

class CClipboardOffer {
public:
  CClipboardOffer() = default;
  explicit CClipboardOffer(std::vector<ClipboardTarget> targets);

  bool IsEmpty() const { return m_entries.empty(); }
  // With sharedOnly, the targets other programs may see.
  std::vector<std::string> Names(bool sharedOnly) const;
  bool Has(std::string_view name, bool sharedOnly) const;
  // The target's bytes, made now when they were not yet; null when there is
  // no such target or it refused (an empty result).
  ClipboardBytes Get(std::string_view name, bool sharedOnly);

private:
  struct Entry {
    ClipboardTarget target;
    bool made = false;
    ClipboardBytes bytes;
  };
  Entry* Find(std::string_view name, bool sharedOnly);

  std::vector<Entry> m_entries;
};
