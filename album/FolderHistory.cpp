#include "album/FolderHistory.h"

void CFolderHistory::Visit(const std::filesystem::path& path) {
  const std::int32_t n = Count();
  const auto at = [&](std::int32_t i) -> const std::filesystem::path& {
    return entries[static_cast<std::size_t>(i)];
  };
  if (index > 0 && at(index - 1) == path) {
    --index;
  } else if (index >= 0 && index < n - 1 && at(index + 1) == path) {
    ++index;
  } else if (n > 0 && at(n - 1) == path) {
    index = n - 1;
  } else if (n > 0 && index >= 0 && at(index) == path) {
    // Already current.
  } else {
    if (index != -1) entries.resize(static_cast<std::size_t>(index + 1));
    entries.push_back(path);
    index = Count() - 1;
  }
}

void CFolderHistory::Clear() {
  entries.clear();
  index = -1;
}

std::filesystem::path CFolderHistory::BackTarget() const {
  return CanGoBack() && index <= Count() ? entries[static_cast<std::size_t>(index - 1)]
                                         : std::filesystem::path();
}

std::filesystem::path CFolderHistory::ForwardTarget() const {
  return CanGoForward() ? entries[static_cast<std::size_t>(index + 1)] : std::filesystem::path();
}
