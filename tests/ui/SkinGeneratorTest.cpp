#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "image/PictureFile.h"
#include "platform/ProgramPath.h"
#include "tests/common/TestData.h"
#include "ui/SkinSet.h"

#ifndef TESSERA_SKIN_GENERATOR
#error "TESSERA_SKIN_GENERATOR must name the skin generator"
#endif

namespace {

// The committed skin pictures are what the generator draws: a change to one
// without the other fails here.
TEST(SkinGeneratorTest, CommittedPicturesMatchTheGenerator) {
  const auto out = ScratchDir();
  const std::string command = std::string("'") + TESSERA_SKIN_GENERATOR + "' '" + out.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const SkinPicture& picture : CSkinSet::kStartupPictures) {
    SCOPED_TRACE(picture.file);
    CBgraImage drawn, committed;
    ASSERT_TRUE(LoadPictureFile(out / picture.file, drawn));
    ASSERT_TRUE(LoadPictureFile(GetProgramDataFolder() / "basic" / picture.file, committed));
    ASSERT_EQ(drawn.width, committed.width);
    ASSERT_EQ(drawn.height, committed.height);
    EXPECT_EQ(std::memcmp(drawn.pixels, committed.pixels, drawn.byteSize), 0);
  }
}

}  // namespace
