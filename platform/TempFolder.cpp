#include "platform/TempFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

std::filesystem::path GetUserTempFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  const std::filesystem::path base = (tmpdir && tmpdir[0] == '/') ? tmpdir : "/tmp";
  const uid_t uid = ::getuid();
  const std::filesystem::path folder = base / ("tessera-" + std::to_string(uid));

  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  // Check the folder itself, never what a link points to: a folder planted by
  // someone else in a shared /tmp must not receive our files.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat info {};
  bool ours = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid;
  if (ours && (info.st_mode & 077) != 0) ours = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  return ours ? folder : std::filesystem::path();
}

std::string CreateUniqueFile(const std::filesystem::path& folder, std::string_view stem,
                             std::string_view suffix) {
  static std::atomic<std::uint64_t> counter{0};
  for (std::string_view part : {stem, suffix}) {
    if (part.find('/') != std::string_view::npos || part.find('\0') != std::string_view::npos) return {};
  }
  if (folder.empty()) return {};
  const std::string pid = std::to_string(::getpid());
  // A name can only be taken already by a file left from an earlier process
  // with the same id; a few more counter values get past it.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(stem);
    name += '_';
    name += pid;
    name += '_';
    name += std::to_string(counter.fetch_add(1));
    name += suffix;
    const std::filesystem::path path = folder / name;
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

namespace {

// A non-empty run of decimal digits.
bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::int64_t UniqueFileOwner(std::string_view name, std::string_view prefix, std::string_view suffix) {
  if (!name.starts_with(prefix) || !name.ends_with(suffix)) return 0;
  std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const std::size_t counterStart = middle.rfind('_');
  if (counterStart == std::string_view::npos || !AllDigits(middle.substr(counterStart + 1))) return 0;
  middle = middle.substr(0, counterStart);
  const std::size_t idStart = middle.rfind('_');
  if (idStart == std::string_view::npos || !AllDigits(middle.substr(0, idStart))) return 0;
  const std::string_view id = middle.substr(idStart + 1);
  // Process ids stay far below ten digits.
  if (!AllDigits(id) || id.size() > 9) return 0;
  std::int64_t value = 0;
  for (const char digit : id) value = value * 10 + (digit - '0');
  return value;
}
