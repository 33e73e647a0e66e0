// The folder picture: the first photos of a folder in name order, fanned
// over the folder at their slots; panoramas, sub-folders, RAW files and
// other files left out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "album/FolderThumbnail.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/DngFixture.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kFolderColour = 0xFF202020u;

TEST(FolderThumbnail, PhotosTakeTheSlotsInNameOrder) {
  const CBgraImage folderPicture = SolidPicture(200, 200, kFolderColour);
  struct Photo {
    const char* name;
    std::uint32_t width, height, colour;
  };
  struct Case {
    const char* label;
    std::vector<Photo> photos;
    // Pixels of the composed picture: x, y, colour.
    std::vector<std::array<std::uint32_t, 3>> pixels;
  };
  const Case cases[] = {
      {"empty", {}, {{131, 58, kFolderColour}, {107, 74, kFolderColour}}},
      {"two photos at (130, 57) and (106, 73), the later on top",
       {{"b.png", 64, 64, 0xFF00FF00u}, {"A.png", 64, 64, 0xFFFF0000u}},
       {{131, 58, 0xFFFF0000u},
        {193, 120, 0xFFFF0000u},
        {107, 74, 0xFF00FF00u},
        {169, 136, 0xFF00FF00u},
        {105, 74, kFolderColour},
        {194, 58, kFolderColour}}},
      {"a 4:1 panorama leaves its slot to the next photo",
       {{"a-pano.png", 256, 64, 0xFF0000FFu}, {"b.png", 64, 64, 0xFF00FF00u}},
       {{131, 58, 0xFF00FF00u}, {107, 74, kFolderColour}}},
      {"an upright photo is centred in its box",
       {{"a.png", 32, 64, 0xFFFF0000u}},
       {{146, 58, 0xFFFF0000u},
        {145, 58, kFolderColour},
        {177, 120, 0xFFFF0000u},
        {178, 120, kFolderColour}}},
      {"five photos fill four slots",
       {{"1.png", 64, 64, 0xFF000001u},
        {"2.png", 64, 64, 0xFF000002u},
        {"3.png", 64, 64, 0xFF000003u},
        {"4.png", 64, 64, 0xFF000004u},
        {"5.png", 64, 64, 0xFF000005u}},
       {{59, 106, 0xFF000004u}, {35, 122, kFolderColour}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const fs::path folder = ScratchDir();
    for (const Photo& photo : c.photos) {
      ASSERT_TRUE(SolidPicture(photo.width, photo.height, photo.colour).SaveFile(folder / photo.name, false));
    }
    CBgraImage picture;
    ASSERT_TRUE(BuildFolderThumbnail(folder, folderPicture, picture));
    ASSERT_EQ(picture.width, 200u);
    for (const auto& [x, y, colour] : c.pixels) EXPECT_EQ(PixelAt(picture, x, y), colour) << x << "," << y;
  }
}

TEST(FolderThumbnail, OnlyPhotoFilesOfTheFolderItselfCount) {
  const fs::path folder = ScratchDir();
  fs::create_directory(folder / "a-sub.jpg");
  ASSERT_TRUE(SolidPicture(64, 64, 0xFF0000FFu).SaveFile(folder / "a-sub.jpg" / "inside.png", false));
  WriteDng(folder / "b.dng", PreviewForm::Jpeg);
  WriteFileBytes(folder / "c.txt", std::vector<std::uint8_t>(8, 'x'));
  WriteFileBytes(folder / "d.jpg", std::vector<std::uint8_t>(64, 0x33));  // damaged
  ASSERT_TRUE(SolidPicture(64, 64, 0xFF00FF00u).SaveFile(folder / "e.png", false));
  CBgraImage picture;
  ASSERT_TRUE(BuildFolderThumbnail(folder, SolidPicture(200, 200, kFolderColour), picture));
  EXPECT_EQ(PixelAt(picture, 131, 58), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(picture, 107, 74), kFolderColour);

  // A folder that cannot be listed gives the plain picture; no picture, no result.
  ASSERT_TRUE(BuildFolderThumbnail(folder / "missing", SolidPicture(200, 200, kFolderColour), picture));
  EXPECT_EQ(PixelAt(picture, 131, 58), kFolderColour);
  EXPECT_FALSE(BuildFolderThumbnail(folder, CBgraImage{}, picture));
}

TEST(FolderThumbnail, ComposeDrawsOnlyWhereThereIsRoom) {
  const CBgraImage photo = SolidPicture(64, 64, 0xFFFF0000u);
  struct Case {
    const char* label;
    std::uint32_t side;
    std::int32_t slot;
    CBgraImage photo;
    bool used, drawn;
  };
  Case cases[] = {
      {"slot 0", 200, 0, SolidPicture(64, 64, 0xFFFF0000u), true, true},
      {"a picture of 197 pixels", 197, 0, SolidPicture(64, 64, 0xFFFF0000u), true, false},
      {"slot 5", 200, 5, SolidPicture(64, 64, 0xFFFF0000u), true, false},
      {"a photo of 65 pixels", 200, 0, SolidPicture(65, 20, 0xFFFF0000u), false, false},
      {"3:1 is not a panorama", 200, 0, SolidPicture(60, 20, 0xFFFF0000u), true, true},
      {"no photo", 200, 0, CBgraImage{}, false, false},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.label);
    CBgraImage picture = SolidPicture(c.side, c.side, kFolderColour);
    EXPECT_EQ(ComposeFolderThumbnail(c.slot, c.photo, picture), c.used);
    EXPECT_EQ(PixelAt(picture, 131, 90) != kFolderColour, c.drawn);
  }
  CBgraImage none;
  EXPECT_TRUE(ComposeFolderThumbnail(0, photo, none));
}

}  // namespace
