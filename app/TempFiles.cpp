#include "app/TempFiles.h"

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "app/AppData.h"
#include "editor/SEditPage.h"
#include "platform/Folder.h"
#include "platform/LocalTime.h"
#include "platform/ProcessRunning.h"
#include "platform/TempFolder.h"
#include "platform/Utf16.h"

namespace {

constexpr std::string_view kTempSuffix = ".bftmp";

// An edit page's paged-out document is only of use to the run that wrote it;
// one whose run has ended (a crash) is deleted at once, as it may be large.
bool IsOrphanedPageOutFile(std::string_view name) {
  const std::int64_t owner = UniqueFileOwner(name, ToUtf8(CSEditPage::kPageOutPrefix), kTempSuffix);
  return owner > 0 && !IsProcessRunning(owner);
}

}  // namespace

std::filesystem::path GetTempFolder() { return GetUserTempFolder(); }

bool MakeTempFileName(std::filesystem::path& path, std::u16string_view prefix) {
  path.clear();
  const std::filesystem::path folder = GetUserTempFolder();
  if (folder.empty()) return false;
  const std::string stem = ToUtf8(prefix) + std::to_string(static_cast<std::int64_t>(std::time(nullptr)));
  const std::string name = CreateUniqueFile(folder, stem, kTempSuffix);
  if (name.empty()) return false;
  // Names are kept in fields of kTempFileNameLength characters.
  if (name.size() >= kTempFileNameLength) {
    std::error_code ignored;
    std::filesystem::remove(folder / name, ignored);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(g_TempFileNamesLock);
    g_TempFileNames.push_back(FromUtf8(name));
  }
  path = folder / name;
  return true;
}

void DeleteSessionTempFiles() {
  const std::filesystem::path folder = GetUserTempFolder();
  std::lock_guard<std::mutex> lock(g_TempFileNamesLock);
  if (!folder.empty()) {
    std::error_code ignored;
    for (const std::u16string& name : g_TempFileNames) {
      std::filesystem::remove(folder / ToUtf8(name), ignored);
    }
  }
  g_TempFileNames.clear();
}

bool IsOldTempFile(std::time_t lastWrite, std::time_t now) {
  std::tm date{};
  // A time the calendar cannot place (long before 1900 or far ahead) is
  // nothing a run of ours wrote: old.
  if (!ToLocalTime(lastWrite, date)) return true;
  date.tm_hour = 0;
  date.tm_min = 0;
  date.tm_sec = 0;
  date.tm_isdst = -1;
  const std::time_t midnight = std::mktime(&date);
  if (midnight == static_cast<std::time_t>(-1)) return true;
  const std::int64_t days = (static_cast<std::int64_t>(now) - static_cast<std::int64_t>(midnight)) / 86400;
  return days > 1;
}

void PurgeOldTempFiles() {
  const std::filesystem::path folder = GetUserTempFolder();
  if (folder.empty()) return;
  std::vector<FolderEntry> entries;
  // The purge is tidying only: a listing that fails part way purges what it
  // read.
  static_cast<void>(ListFolder(folder, entries));
  const std::time_t now = std::time(nullptr);
  std::error_code ignored;
  for (const FolderEntry& entry : entries) {
    if (!entry.isFile || !std::string_view(entry.name).ends_with(kTempSuffix)) continue;
    if (IsOldTempFile(entry.lastWrite, now) || IsOrphanedPageOutFile(entry.name))
      std::filesystem::remove(folder / entry.name, ignored);
  }
}
