#include "app/RecoveryIndex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <limits>
#include <string>
#include <system_error>

#include "document/DocHistory.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

constexpr std::size_t kPathBytes = kRecoveryPathUnits * 2;
constexpr std::string_view kIndexPrefix = "BFStatus-";
constexpr std::string_view kIndexSuffix = ".flg";
constexpr std::string_view kLockSuffix = ".lock";

bool InsideFolder(const std::filesystem::path& file, const std::filesystem::path& folder) {
  const std::filesystem::path normal = file.lexically_normal();
  std::filesystem::path base = folder.lexically_normal();
  if (!base.has_filename()) base = base.parent_path();
  return normal.is_absolute() && normal.has_filename() && normal.parent_path() == base;
}

}  // namespace

std::vector<std::uint8_t> EncodeRecoveryIndex(std::span<const RecoveryIndexPage> pages) {
  std::vector<std::uint8_t> bytes(2, 0);
  std::uint16_t count = 0;
  for (const RecoveryIndexPage& page : pages) {
    const std::u16string path = PathToUtf16(page.historyFile);
    if (path.empty() || path.size() >= kRecoveryPathUnits || path.find(u'\0') != std::u16string::npos ||
        page.steps.size() > std::numeric_limits<std::uint16_t>::max() ||
        count == std::numeric_limits<std::uint16_t>::max()) {
      continue;
    }
    const std::size_t start = bytes.size();
    bytes.resize(start + kPathBytes + 2 + page.steps.size() * HistoryStep::kRecordSize, 0);
    std::uint8_t* p = bytes.data() + start;
    for (std::size_t i = 0; i < path.size(); ++i) StoreLE16(p + 2 * i, path[i]);
    p += kPathBytes;
    StoreLE16(p, static_cast<std::uint16_t>(page.steps.size()));
    p += 2;
    for (const HistoryStep& step : page.steps) {
      step.Encode(std::span<std::uint8_t, HistoryStep::kRecordSize>(p, HistoryStep::kRecordSize));
      p += HistoryStep::kRecordSize;
    }
    ++count;
  }
  StoreLE16(bytes.data(), count);
  return bytes;
}

bool WriteRecoveryIndexFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::filesystem::path temporary = path;
  temporary += ".part";
  CFile file;
  if (!file.Open(temporary, CFile::OpenMode::Create)) return false;
  const bool written = file.Write(bytes);
  file.Close();
  std::error_code error;
  if (written) std::filesystem::rename(temporary, path, error);
  if (!written || error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

std::vector<RecoveredPage> DecodeRecoveryIndex(std::span<const std::uint8_t> bytes,
                                               const std::filesystem::path& tempFolder) {
  std::vector<RecoveredPage> pages;
  if (bytes.size() < 2 || tempFolder.empty()) return pages;
  const std::uint16_t count = LoadLE16(bytes.data());
  std::size_t at = 2;
  for (std::uint16_t page = 0; page < count; ++page) {
    if (bytes.size() - at < kPathBytes + 2) break;
    std::array<char16_t, kRecoveryPathUnits> field{};
    for (std::size_t i = 0; i < kRecoveryPathUnits; ++i) field[i] = LoadLE16(&bytes[at + 2 * i]);
    const std::uint16_t steps = LoadLE16(&bytes[at + kPathBytes]);
    at += kPathBytes + 2;
    const std::uint64_t stepBytes = std::uint64_t{steps} * HistoryStep::kRecordSize;
    if (bytes.size() - at < stepBytes) break;
    const std::span<const std::uint8_t> records = bytes.subspan(at, static_cast<std::size_t>(stepBytes));
    at += static_cast<std::size_t>(stepBytes);

    const std::size_t length = BoundedLength(field);
    if (length == 0 || length >= kRecoveryPathUnits) continue;
    RecoveredPage recovered;
    recovered.historyFile = PathFromUtf16(std::u16string_view(field.data(), length));
    if (!InsideFolder(recovered.historyFile, tempFolder)) continue;
    bool usable = true;
    recovered.steps.resize(steps);
    for (std::size_t i = 0; i < steps && usable; ++i) {
      usable =
          HistoryStep::Decode(std::span<const std::uint8_t, HistoryStep::kRecordSize>(
                                  records.data() + i * HistoryStep::kRecordSize, HistoryStep::kRecordSize),
                              recovered.steps[i]);
    }
    if (!usable || !CDocHistory::CheckAdoptable(recovered.historyFile, recovered.steps)) continue;
    pages.push_back(std::move(recovered));
  }
  return pages;
}

// Lock -------------------------------------------------------------------------------

CRecoveryLock::CRecoveryLock(CRecoveryLock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

CRecoveryLock& CRecoveryLock::operator=(CRecoveryLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = other.m_fd;
    other.m_fd = -1;
  }
  return *this;
}

CRecoveryLock::~CRecoveryLock() { Release(); }

bool CRecoveryLock::Acquire(const std::filesystem::path& path) {
  Release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  int result = 0;
  while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    ::close(fd);
    return false;
  }
  m_fd = fd;
  return true;
}

void CRecoveryLock::Release() {
  if (m_fd < 0) return;
  // Closing the only descriptor of the open file lets go of the lock.
  ::close(m_fd);
  m_fd = -1;
}

// Names ------------------------------------------------------------------------------

std::filesystem::path NewRecoveryIndexPath(const std::filesystem::path& tempFolder) {
  const std::string name = std::string(kIndexPrefix) + std::to_string(::getpid()) + "-" +
                           std::to_string(static_cast<std::int64_t>(std::time(nullptr))) +
                           std::string(kIndexSuffix);
  return tempFolder / name;
}

std::filesystem::path RecoveryLockPath(const std::filesystem::path& indexPath) {
  std::filesystem::path lock = indexPath;
  lock.replace_extension(kLockSuffix);
  return lock;
}

std::vector<StaleRecoveryIndex> FindStaleRecoveryIndexes(const std::filesystem::path& tempFolder,
                                                         const std::filesystem::path& own) {
  std::vector<StaleRecoveryIndex> stale;
  std::error_code error;
  std::filesystem::directory_iterator it(tempFolder, error);
  if (error) return stale;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::filesystem::path path = it->path();
    const std::string name = path.filename().string();
    if (!name.starts_with(kIndexPrefix) || !name.ends_with(kIndexSuffix) || path == own) continue;
    std::error_code statusError;
    if (!it->is_regular_file(statusError)) continue;
    StaleRecoveryIndex found;
    found.index = path;
    // A live copy holds its lock: its index is never offered.
    if (!found.lock.Acquire(RecoveryLockPath(path))) continue;
    stale.push_back(std::move(found));
  }
  return stale;
}

void DiscardRecoveryIndex(StaleRecoveryIndex& stale) {
  std::error_code ignored;
  std::filesystem::remove(stale.index, ignored);
  std::filesystem::remove(RecoveryLockPath(stale.index), ignored);
  stale.lock.Release();
}
