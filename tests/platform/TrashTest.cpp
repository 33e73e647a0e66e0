// The trash: entries and their information files as other desktop programs
// expect them, names taken in the trash, and what is refused.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Trash.h"
#include "tests/common/TestData.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Trash, InformationFileEscapesThePathAndKeepsLocalTime) {
  ::setenv("TZ", "Pacific/Auckland", 1);
  ::tzset();
  // 2026-01-02 00:00:00 UTC is 13:00 in Auckland (summer time).
  const std::time_t when = 1767312000;
  EXPECT_EQ(MakeTrashInfo("/home/u/My Photos/é 100%.jpg", {}, when),
            "[Trash Info]\nPath=/home/u/My%20Photos/%C3%A9%20100%25.jpg\nDeletionDate=2026-01-02T13:00:00\n");
  // Under a mount point's own trash the path is relative to the mount point.
  EXPECT_EQ(MakeTrashInfo("/media/stick/DCIM/a.jpg", "/media/stick", when),
            "[Trash Info]\nPath=DCIM/a.jpg\nDeletionDate=2026-01-02T13:00:00\n");
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
}

TEST(Trash, FilesAndFoldersGoToTheHomeTrashUnderFreeNames) {
  const fs::path root = ScratchDir();
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  const fs::path trash = root / "data" / "Trash";
  Write(root / "photos" / "a.jpg", "first");
  Write(root / "other" / "a.jpg", "second");
  Write(root / "photos" / "Trip" / "x.jpg", "x");

  ASSERT_EQ(FindTrashFor(root / "photos" / "a.jpg").trash, trash);
  ASSERT_EQ(MoveToTrash(root / "photos" / "a.jpg"), 1);
  ASSERT_EQ(MoveToTrash(root / "other" / "a.jpg"), 1);
  ASSERT_EQ(MoveToTrash(root / "photos" / "Trip"), 1);

  EXPECT_FALSE(fs::exists(root / "photos" / "a.jpg"));
  EXPECT_EQ(Read(trash / "files" / "a.jpg"), "first");
  EXPECT_EQ(Read(trash / "files" / "a.jpg.1"), "second");
  EXPECT_EQ(Read(trash / "files" / "Trip" / "x.jpg"), "x");
  const std::string info = Read(trash / "info" / "a.jpg.1.trashinfo");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + (root / "other" / "a.jpg").string() + "\nDeletionDate=", 0),
            0u)
      << info;
  EXPECT_TRUE(fs::exists(trash / "info" / "Trip.trashinfo"));

  // Missing or relative paths are refused and leave no information file.
  EXPECT_EQ(MoveToTrash(root / "photos" / "gone.jpg"), 0);
  EXPECT_EQ(MoveToTrash("relative.jpg"), 0);
  EXPECT_FALSE(fs::exists(trash / "info" / "gone.jpg.trashinfo"));
  std::size_t infos = 0;
  for (const auto& entry : fs::directory_iterator(trash / "info")) infos += entry.is_regular_file();
  EXPECT_EQ(infos, 3u);
  ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
