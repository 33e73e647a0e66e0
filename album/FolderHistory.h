#pragma once
// The folder browser's back and forward history: whole paths compared
// exactly. Visiting the neighbour of the current entry steps to it;
// visiting anything else drops the entries after the current one and
// appends. No length limit.

#include <cstdint>
#include <filesystem>
#include <vector>

class CFolderHistory {
public:
  void Visit(const std::filesystem::path& path);
  void Clear();
  bool CanGoBack() const { return index > 0; }
  bool CanGoForward() const { return index != -1 && index + 1 < Count(); }
  // The entry back or forward goes to; empty when there is none.
  std::filesystem::path BackTarget() const;
  std::filesystem::path ForwardTarget() const;
  std::int32_t Count() const { return static_cast<std::int32_t>(entries.size()); }

  std::vector<std::filesystem::path> entries;
  std::int32_t index = -1;
};
