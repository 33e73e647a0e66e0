#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "platform/ProgramPath.h"
#include "tests/common/TestData.h"
#include "ui/SkinSet.h"

#ifndef TESSERA_SKIN_GENERATOR
#error "TESSERA_SKIN_GENERATOR must name the skin generator"
#endif

namespace {

std::set<std::string> PngFiles(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::filesystem::path extension = entry.path().extension();
    if (extension == ".png" || extension == ".jpg") names.insert(entry.path().filename().string());
  }
  return names;
}

void ExpectSameFolder(const std::filesystem::path& drawnFolder,
                      const std::filesystem::path& committedFolder) {
  const std::set<std::string> drawn = PngFiles(drawnFolder);
  EXPECT_EQ(drawn, PngFiles(committedFolder)) << committedFolder;
  for (const std::string& name : drawn) {
    SCOPED_TRACE(name);
    CBgraImage fresh, committed;
    ASSERT_TRUE(fresh.LoadFile(drawnFolder / name));
    ASSERT_TRUE(committed.LoadFile(committedFolder / name));
    ASSERT_EQ(fresh.width, committed.width);
    ASSERT_EQ(fresh.height, committed.height);
    EXPECT_EQ(std::memcmp(fresh.pixels, committed.pixels, fresh.byteSize), 0);
  }
}

// The committed skin pictures are what the generator draws: a change to one
// without the other fails here, and so does a picture drawn but not
// committed, or committed but no longer drawn, in either folder.
TEST(SkinGeneratorTest, CommittedPicturesMatchTheGenerator) {
  const auto out = ScratchDir();
  const std::string command = std::string("'") + TESSERA_SKIN_GENERATOR + "' '" + (out / "basic").string() +
                              "' '" + (out / "skin").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::filesystem::path data = GetProgramDataFolder();
  const std::set<std::string> drawn = PngFiles(out / "basic");
  for (const SkinPicture& picture : CSkinSet::kStartupPictures)
    EXPECT_EQ(drawn.count(picture.file), 1u) << picture.file;
  ExpectSameFolder(out / "basic", data / "basic");
  ExpectSameFolder(out / "skin", data / "skin");
}

}  // namespace
