#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>

#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(AtomicFile, CommitReplacesTheTarget) {
  const auto target = ScratchDir() / "photo.dat";
  { std::ofstream(target) << "old"; }
  CAtomicFile file;
  ASSERT_TRUE(file.Open(target));
  ASSERT_TRUE(file.Write("new contents", 12));
  EXPECT_EQ(ReadAll(target), "old");
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadAll(target), "new contents");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.parent_path()), {}), 1);
}

TEST(AtomicFile, AReplacedFileKeepsItsPermissions) {
  const auto target = ScratchDir() / "private.dat";
  { std::ofstream(target) << "old"; }
  std::filesystem::permissions(target,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  CAtomicFile file;
  ASSERT_TRUE(file.Open(target));
  ASSERT_TRUE(file.Write("new", 3));
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(std::filesystem::status(target).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(AtomicFile, FailedWriteOrAbandonLeavesTheOldFile) {
  const auto target = ScratchDir() / "photo.dat";
  { std::ofstream(target) << "old"; }
  {
    CAtomicFile file;
    ASSERT_TRUE(file.Open(target));
    std::vector<char> big(1 << 16, 'x');
    FileSizeLimit limit(1024);
    EXPECT_FALSE(file.Write(big.data(), big.size()));
    EXPECT_FALSE(file.Commit());
  }
  {
    CAtomicFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("partial", 7));
  }  // destroyed without Commit
  EXPECT_EQ(ReadAll(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.parent_path()), {}), 1);
}

TEST(AtomicFile, ReplacesATargetWhoseNameIsAtTheLengthLimit) {
  for (const std::size_t length : {250u, 255u}) {
    const auto folder = ScratchDir();
    const auto target = folder / std::string(length, 'n');
    { std::ofstream(target) << "old"; }
    ASSERT_TRUE(std::filesystem::exists(target)) << length;
    CAtomicFile file;
    ASSERT_TRUE(file.Open(target)) << length;
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Commit()) << length;
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
  }
}

// A settings file kept in a dotfiles folder: the link stays a link and the
// file at the end of its chain gets the new bytes.
TEST(AtomicFile, WritesThroughLinksAndKeepsThem) {
  const struct {
    const char* what;
    const char* finalName;  // inside dotfiles
    bool finalExists;
    bool chain;  // home/settings.ini -> home/hop -> dotfiles, else straight to dotfiles
  } cases[] = {
      {"relative link to another folder", "settings.ini", true, false},
      {"chain of two links, the last absolute", "settings.ini", true, true},
      {"dangling link: its target is created", "missing.ini", false, false},
  };
  for (const auto& c : cases) {
    const auto root = ScratchDir();
    const auto home = root / "home";
    const auto dotfiles = root / "dotfiles";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(dotfiles);
    const auto finalFile = dotfiles / c.finalName;
    if (c.finalExists) {
      { std::ofstream(finalFile) << "old"; }
      std::filesystem::permissions(finalFile,
                                   std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    const auto link = home / "settings.ini";
    if (c.chain) {
      std::filesystem::create_symlink("hop", link);
      std::filesystem::create_symlink(finalFile, home / "hop");
    } else {
      std::filesystem::create_symlink(std::filesystem::path("../dotfiles") / c.finalName, link);
    }

    CAtomicFile file;
    ASSERT_TRUE(file.Open(link)) << c.what;
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Commit()) << c.what;
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << c.what;
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(finalFile))) << c.what;
    EXPECT_EQ(ReadAll(link), "new") << c.what;
    EXPECT_EQ(std::filesystem::status(finalFile).permissions(),
              c.finalExists ? std::filesystem::perms::owner_read | std::filesystem::perms::owner_write
                            : static_cast<std::filesystem::perms>(0644))
        << c.what;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dotfiles), {}), 1) << c.what;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home), {}), c.chain ? 2 : 1) << c.what;
  }
}

TEST(AtomicFile, LinksThatLoopOrLeadNowhereAreRefused) {
  const auto folder = ScratchDir();
  std::filesystem::create_symlink("b", folder / "a");
  std::filesystem::create_symlink("a", folder / "b");
  std::filesystem::create_symlink("no-such-folder/file", folder / "nowhere");
  for (const char* name : {"a", "nowhere"}) {
    CAtomicFile file;
    EXPECT_FALSE(file.Open(folder / name)) << name;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 3);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "a"));
}

TEST(File, ShortReadsAndSeeks) {
  const auto path = ScratchDir() / "a.bin";
  CFile file;
  EXPECT_FALSE(file.Open(path, CFile::OpenMode::Read));
  ASSERT_TRUE(file.Open(path, CFile::OpenMode::Create));
  ASSERT_TRUE(file.Write("abcdef", 6));
  EXPECT_EQ(file.GetLength(), 6);
  ASSERT_TRUE(file.Seek(4, CFile::SeekOrigin::Begin));
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, 8), 2u);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_FALSE(file.Open(path.parent_path(), CFile::OpenMode::Read));  // a folder is not a file
}

TEST(MemFile, GrowsOnWriteAndReadsWhatIsThere) {
  CMemFile file;
  ASSERT_TRUE(file.Write("abc", 3));
  ASSERT_TRUE(file.Seek(5, CFile::SeekOrigin::Begin));
  ASSERT_TRUE(file.Write("z", 1));
  EXPECT_EQ(file.GetLength(), 6);
  ASSERT_TRUE(file.Seek(-3, CFile::SeekOrigin::End));
  char buffer[4] = {};
  EXPECT_EQ(file.Read(buffer, 4), 3u);
  EXPECT_EQ(buffer[2], 'z');
  EXPECT_FALSE(file.Seek(-1, CFile::SeekOrigin::Begin));
}

TEST(ByteReader, ReadsFieldsAndFailsPastTheEnd) {
  ByteWriter w;
  w.U16(0x1234);
  w.U32(0xDEADBEEF);
  w.Text16(u"ab", 3);
  const auto bytes = w.Take();
  ASSERT_EQ(bytes.size(), 12u);
  EXPECT_EQ(bytes[0], 0x34);
  ByteReader r(bytes);
  EXPECT_EQ(r.U16(), 0x1234);
  EXPECT_EQ(r.U32(), 0xDEADBEEFu);
  EXPECT_EQ(r.Text16(3), u"ab");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.U8(), 0);
  EXPECT_FALSE(r.ok());
}

}  // namespace
