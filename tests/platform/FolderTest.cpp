#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>

#include "platform/Folder.h"
#include "tests/common/TestData.h"

namespace {

TEST(Folder, MakeFolderTellsWhyANameIsNotMade) {
  const auto root = ScratchDir();
  std::filesystem::create_directory(root / "there");
  { std::ofstream(root / "file") << "x"; }
  const struct {
    std::filesystem::path path;
    MakeFolderResult result;
  } cases[] = {
      {root / "new", MakeFolderResult::Made},
      {root / "there", MakeFolderResult::Exists},
      {root / "file", MakeFolderResult::Exists},
      {root / "missing" / "below", MakeFolderResult::NoParent},
      {root / "file" / "below", MakeFolderResult::NoParent},
      {root / std::string(300, 'n'), MakeFolderResult::Failed},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeFolder(c.path), c.result) << c.path;
  struct stat info {};
  ASSERT_EQ(::stat((root / "new").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Folder, ListFolderTellsFilesFromFoldersAndLinks) {
  const auto root = ScratchDir();
  { std::ofstream(root / "file.bftmp") << "x"; }
  std::filesystem::create_directory(root / "folder.bftmp");
  std::filesystem::create_symlink("file.bftmp", root / "link.bftmp");
  const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (root / "file.bftmp").c_str(), times, 0), 0);

  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(root, entries));
  std::map<std::string, FolderEntry> byName;
  for (const auto& entry : entries) byName[entry.name] = entry;
  ASSERT_EQ(byName.size(), 3u);
  EXPECT_TRUE(byName["file.bftmp"].isFile);
  EXPECT_EQ(byName["file.bftmp"].lastWrite, 1000000000);
  EXPECT_FALSE(byName["folder.bftmp"].isFile);
  EXPECT_FALSE(byName["link.bftmp"].isFile);

  EXPECT_FALSE(ListFolder(root / "missing", entries));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
