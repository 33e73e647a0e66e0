#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "platform/DiskSpace.h"
#include "platform/ProgramPath.h"
#include "platform/TempFolder.h"
#include "tests/common/TestData.h"

namespace {

class TempFolder : public ::testing::Test {
protected:
  void SetUp() override {
    base = ScratchDir();
    ::setenv("TMPDIR", base.c_str(), 1);
    expected = base / ("tessera-" + std::to_string(::getuid()));
  }
  static unsigned Mode(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
  }
  std::filesystem::path base, expected;
};

TEST_F(TempFolder, IsAPrivateFolderOfTheUser) {
  ASSERT_EQ(GetUserTempFolder(), expected);
  EXPECT_EQ(Mode(expected), 0700u);
  ::chmod(expected.c_str(), 0755);
  EXPECT_EQ(GetUserTempFolder(), expected);
  EXPECT_EQ(Mode(expected), 0700u);
}

TEST_F(TempFolder, RefusesAFolderThatIsNotOurs) {
  const auto target = ScratchDir();
  std::filesystem::create_directory_symlink(target, expected);
  EXPECT_EQ(GetUserTempFolder(), std::filesystem::path());
  std::filesystem::remove(expected);

  std::ofstream(expected) << "a file";
  EXPECT_EQ(GetUserTempFolder(), std::filesystem::path());
  std::filesystem::remove(expected);

  if (::getuid() != 0) GTEST_SKIP() << "only root can hand the folder to another user";
  std::filesystem::create_directory(expected);
  ASSERT_EQ(::chown(expected.c_str(), 12345, 12345), 0);
  EXPECT_EQ(GetUserTempFolder(), std::filesystem::path());
}

TEST_F(TempFolder, UniqueFilesAreCreatedExclusively) {
  const auto folder = GetUserTempFolder();
  std::set<std::string> names;
  for (int i = 0; i < 100; ++i) {
    const std::string name = CreateUniqueFile(folder, "his1700000000", ".bftmp");
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(name.starts_with("his1700000000_" + std::to_string(::getpid()) + "_"));
    EXPECT_TRUE(name.ends_with(".bftmp"));
    EXPECT_EQ(Mode(folder / name), 0600u);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 100u);
  EXPECT_EQ(CreateUniqueFile(folder, "../escape", ".bftmp"), "");
  EXPECT_EQ(CreateUniqueFile(folder / "missing", "his", ".bftmp"), "");
  EXPECT_EQ(CreateUniqueFile({}, "his", ".bftmp"), "");
}

TEST(SystemFacts, FreeSpaceAndProgramPath) {
  std::uint64_t free = 1;
  EXPECT_TRUE(GetFreeDiskSpace(ScratchDir(), free));
  EXPECT_GT(free, 0u);
  EXPECT_FALSE(GetFreeDiskSpace(ScratchDir() / "missing", free));
  EXPECT_EQ(free, 0u);

  const auto program = GetProgramPath();
  EXPECT_TRUE(program.is_absolute());
  EXPECT_EQ(program.filename(), "platform_tests");
  EXPECT_TRUE(std::filesystem::is_regular_file(program));
}

}  // namespace
