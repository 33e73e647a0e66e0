#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "app/TempFiles.h"
#include "platform/Utf16.h"
#include "tests/app/AppFixture.h"

namespace {

using TempFilesTest = AppFixture;

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

TEST_F(TempFilesTest, NamesAreUniqueWithinOneSecondAndRemembered) {
  const std::filesystem::path folder = GetTempFolder();
  ASSERT_EQ(folder, tempBase / ("tessera-" + std::to_string(::getuid())));
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // prefix, seconds, process id, counter
  auto wellFormed = [](std::string name) {
    if (!name.starts_with("prt007") || !name.ends_with(".bftmp")) return false;
    name = name.substr(6, name.size() - 12);
    int underscores = 0;
    for (char c : name) underscores += c == '_';
    return underscores == 2 && name.find_first_not_of("0123456789_") == std::string::npos &&
           name.front() != '_' && name.back() != '_' && name.find("__") == std::string::npos;
  };
  std::set<std::filesystem::path> paths;
  for (int i = 0; i < 200; ++i) {
    std::filesystem::path path;
    ASSERT_TRUE(MakeTempFileName(path, u"prt007"));
    EXPECT_EQ(path.parent_path(), folder);
    EXPECT_TRUE(wellFormed(path.filename())) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    paths.insert(path);
  }
  EXPECT_EQ(paths.size(), 200u);
  ASSERT_EQ(g_TempFileNames.size(), 200u);
  for (const auto& name : g_TempFileNames) {
    EXPECT_LT(name.size(), kTempFileNameLength);
    EXPECT_TRUE(paths.count(folder / ToUtf8(name)));
  }
}

TEST_F(TempFilesTest, NamesAreUniqueAcrossTwoProcesses) {
  constexpr int kEach = 150;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  bool allMade = true;
  for (int i = 0; i < kEach; ++i) {
    std::filesystem::path path;
    allMade = MakeTempFileName(path, u"his") && allMade;
  }
  if (child == 0) ::_exit(allMade ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(allMade);
  EXPECT_EQ(FilesIn(GetTempFolder()).size(), 2u * kEach);
}

TEST_F(TempFilesTest, StartPurgesFilesOnceTwoDaysHaveBegun) {
  const std::filesystem::path folder = GetTempFolder();
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  ::localtime_r(&now, &today);
  today.tm_hour = today.tm_min = today.tm_sec = 0;
  const std::time_t midnight = std::mktime(&today);
  const std::time_t yesterdayNoon = midnight - 86400 + 12 * 3600;
  const std::time_t dayBeforeNoon = midnight - 2 * 86400 + 12 * 3600;

  const struct {
    const char* name;
    std::time_t written;
    bool folder;
    bool kept;
  } files[] = {
      {"his1_1_0.bftmp", now, false, true},
      {"his2_1_0.bftmp", yesterdayNoon, false, true},
      {"his3_1_0.bftmp", dayBeforeNoon, false, false},
      {"pagemem4_1_0.bftmp", midnight - 30 * 86400, false, false},
      {"before1900.bftmp", -2300000000, false, false},
      {"future.bftmp", now + 5 * 86400, false, true},
      {"notes.txt", dayBeforeNoon, false, true},
      {"folder.bftmp", dayBeforeNoon, true, true},
  };
  for (const auto& f : files) {
    const std::filesystem::path path = folder / f.name;
    if (f.folder) {
      std::filesystem::create_directory(path);
    } else {
      std::ofstream(path) << "x";
    }
    const timespec times[2] = {{f.written, 0}, {f.written, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }

  ASSERT_TRUE(InitAppData());
  for (const auto& f : files) {
    EXPECT_EQ(std::filesystem::exists(folder / f.name), f.kept) << f.name;
  }
}

// A crash leaves the edit pages' paged-out documents behind; the next start
// deletes those whose process has ended and nothing else of that age.
TEST_F(TempFilesTest, StartDeletesPageOutFilesOfEndedProcessesOnly) {
  const pid_t ended = ::fork();
  ASSERT_GE(ended, 0);
  if (ended == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  const std::string gone = std::to_string(ended);
  const std::string self = std::to_string(::getpid());
  const std::string seconds = std::to_string(std::time(nullptr));

  const struct {
    std::string name;
    bool kept;
  } files[] = {
      {"pagemem" + seconds + "_" + gone + "_0.bftmp", false},
      {"pagemem" + seconds + "_" + gone + "_17.bftmp", false},
      {"pagemem" + seconds + "_" + self + "_0.bftmp", true},  // this run's
      {"pagemem" + seconds + "_1_0.bftmp", true},             // a process that is there
      {"his" + seconds + "_" + gone + "_0.bftmp", true},      // another kind: the age rule only
      {"pagemem" + seconds + "_" + gone + "_0.tmp", true},    // not a temporary file of ours
      {"pagemem_" + gone + "_0.bftmp", true},                 // no seconds
      {"pagememx" + seconds + "_" + gone + "_0.bftmp", true},
      {"pagemem" + seconds + "_" + gone + ".bftmp", true},  // no counter
      {"pagemem" + seconds + "_0_0.bftmp", true},           // no process has id 0
      {"pagemem" + seconds + "_-5_0.bftmp", true},
      {"pagemem" + seconds + "_99999999999_0.bftmp", true},
  };
  const std::filesystem::path folder = GetTempFolder();
  for (const auto& f : files) std::ofstream(folder / f.name) << "x";

  ASSERT_TRUE(InitAppData());
  for (const auto& f : files) EXPECT_EQ(std::filesystem::exists(folder / f.name), f.kept) << f.name;
}

TEST_F(TempFilesTest, AgeCountsLocalCalendarDays) {
  ::setenv("TZ", "XST-10", 1);  // ten hours east of UTC, no daylight saving
  ::tzset();
  // Local time of a day in March 2024 in that zone.
  auto local = [](int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = 0;
    return std::mktime(&t);
  };
  const std::time_t now = local(15, 12, 0);
  const struct {
    const char* what;
    std::time_t written;
    bool old;
  } cases[] = {
      {"this morning", local(15, 0, 0), false},
      // Yesterday morning is still the day before in UTC: the local date counts.
      {"yesterday 08:00", local(14, 8, 0), false},
      {"yesterday 23:59", local(14, 23, 59), false},
      {"day before yesterday 23:59", local(13, 23, 59), true},
      {"tomorrow", local(16, 9, 0), false},
      {"long before 1900", -5000000000, true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsOldTempFile(c.written, now), c.old) << c.what;
}

}  // namespace
