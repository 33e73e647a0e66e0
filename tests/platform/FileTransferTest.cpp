#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileTransfer.h"
#include "tests/common/TestData.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<fs::path>;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

struct Scene {
  fs::path root = ScratchDir();
  fs::path from = root / "from";
  fs::path to = root / "to";
  Scene() {
    Write(from / "a.jpg", "A");
    Write(from / "b.jpg", "B");
    Write(from / "album" / "c.jpg", "C");
    fs::create_directories(to);
  }
  Paths Sources() const { return {from / "a.jpg", from / "b.jpg", from / "album"}; }
};

TEST(FileTransfer, CopiesAndMovesFilesAndFolders) {
  for (const FileTransferMode mode : {FileTransferMode::Copy, FileTransferMode::Move}) {
    Scene scene;
    const fs::file_time_type then = fs::last_write_time(scene.from / "a.jpg") - std::chrono::hours(50);
    fs::last_write_time(scene.from / "a.jpg", then);
    fs::permissions(scene.from / "b.jpg", fs::perms::owner_read | fs::perms::owner_write);
    const Paths sources = scene.Sources();
    const FileTransferReport report = TransferFiles(sources, scene.to, mode, {});
    EXPECT_EQ(report.done, (Paths{scene.to / "a.jpg", scene.to / "b.jpg", scene.to / "album"}));
    EXPECT_TRUE(report.kept.empty());
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(Read(scene.to / "a.jpg"), "A");
    EXPECT_EQ(Read(scene.to / "album" / "c.jpg"), "C");
    EXPECT_EQ(fs::last_write_time(scene.to / "a.jpg"), then);
    EXPECT_EQ(fs::status(scene.to / "b.jpg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    for (const fs::path& source : sources)
      EXPECT_EQ(fs::exists(source), mode == FileTransferMode::Copy) << source;
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(scene.to), fs::directory_iterator()), 3);
  }
}

TEST(FileTransfer, ATakenNameIsReplacedOnlyWhenTheQuestionSaysSo) {
  for (const FileTransferMode mode : {FileTransferMode::Copy, FileTransferMode::Move}) {
    for (const bool answer : {false, true}) {
      Scene scene;
      Write(scene.to / "a.jpg", "old");
      Write(scene.to / "album" / "c.jpg", "old C");
      Write(scene.to / "album" / "d.jpg", "D");
      std::vector<FileConflict> asked;
      const FileTransferReport report =
          TransferFiles(scene.Sources(), scene.to, mode, [&](const FileConflict& c) {
            asked.push_back(c);
            return answer;
          });
      ASSERT_EQ(asked.size(), 2u);
      EXPECT_EQ(asked[0].source, scene.from / "a.jpg");
      EXPECT_EQ(asked[0].target, scene.to / "a.jpg");
      EXPECT_EQ(asked[1].target, scene.to / "album" / "c.jpg");
      EXPECT_EQ(Read(scene.to / "a.jpg"), answer ? "A" : "old");
      EXPECT_EQ(Read(scene.to / "album" / "c.jpg"), answer ? "C" : "old C");
      EXPECT_EQ(Read(scene.to / "album" / "d.jpg"), "D");  // the merge keeps what was there
      EXPECT_EQ(Read(scene.to / "b.jpg"), "B");
      EXPECT_EQ(report.kept.size(), answer ? 0u : 2u);
      // A moved file that was kept stays where it was.
      EXPECT_EQ(fs::exists(scene.from / "a.jpg"), mode == FileTransferMode::Copy || !answer);
    }
  }
  // Without a question nothing is replaced.
  Scene scene;
  Write(scene.to / "a.jpg", "old");
  const FileTransferReport report = TransferFiles(scene.Sources(), scene.to, FileTransferMode::Move, {});
  ASSERT_EQ(report.kept.size(), 1u);
  EXPECT_EQ(report.kept[0].target, scene.to / "a.jpg");
  EXPECT_EQ(Read(scene.to / "a.jpg"), "old");
  EXPECT_EQ(Read(scene.from / "a.jpg"), "A");
}

TEST(FileTransfer, NeverPutsAFileOverItselfNorAFolderIntoItself) {
  Scene scene;
  Write(scene.to / "album", "a file where the folder would go");
  int questions = 0;
  const auto yes = [&](const FileConflict&) {
    ++questions;
    return true;
  };
  // Pasting into the folder the files come from.
  FileTransferReport report = TransferFiles(Paths{scene.from / "a.jpg", scene.from / "album"}, scene.from,
                                            FileTransferMode::Copy, yes);
  EXPECT_EQ(report.kept.size(), 2u);
  EXPECT_TRUE(report.done.empty());
  // Into the copied folder itself, or a folder inside it.
  report = TransferFiles(Paths{scene.from / "album"}, scene.from / "album", FileTransferMode::Copy, yes);
  EXPECT_EQ(report.failed, (Paths{scene.from / "album"}));
  report = TransferFiles(Paths{scene.from}, scene.from / "album", FileTransferMode::Move, yes);
  EXPECT_EQ(report.failed, (Paths{scene.from}));
  // A folder never replaces a file, nor the other way round.
  report = TransferFiles(Paths{scene.from / "album"}, scene.to, FileTransferMode::Copy, yes);
  EXPECT_EQ(report.kept.size(), 1u);
  EXPECT_EQ(Read(scene.to / "album"), "a file where the folder would go");
  EXPECT_EQ(questions, 0);
  EXPECT_EQ(Read(scene.from / "a.jpg"), "A");
  EXPECT_EQ(Read(scene.from / "album" / "c.jpg"), "C");
}

TEST(FileTransfer, FailuresLeaveNothingBehind) {
  Scene scene;
  ASSERT_EQ(::mkfifo((scene.from / "pipe").c_str(), 0600), 0);
  const FileTransferReport report = TransferFiles(
      Paths{scene.from / "missing.jpg", scene.from / "pipe", scene.from / "a.jpg", fs::path("/")}, scene.to,
      FileTransferMode::Copy, {});
  EXPECT_EQ(report.failed, (Paths{scene.from / "missing.jpg", scene.from / "pipe", fs::path("/")}));
  EXPECT_EQ(report.done, (Paths{scene.to / "a.jpg"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(scene.to), fs::directory_iterator()), 1);
  const FileTransferReport nowhere =
      TransferFiles(scene.Sources(), scene.to / "a.jpg", FileTransferMode::Move, {});
  EXPECT_EQ(nowhere.failed, scene.Sources());
  EXPECT_TRUE(fs::exists(scene.from / "b.jpg"));
}

}  // namespace
