// The search tree's generated branches over a cache the scanner filled from
// real photos and copies edited with exiftool, and the search over them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/PlaceNameList.h"
#include "album/SearchNode.h"
#include "album/SearchTreeBuilder.h"
#include "image/ImageInfo.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/Exiftool.h"
#include "ui/UIResources.h"

namespace {

namespace fs = std::filesystem;

std::u16string TextOf(std::u16string_view key) { return UIResources().texts.TextOrKey(key); }

// A copy of a test photo, edited with exiftool's arguments.
fs::path EditedCopy(const fs::path& folder, const char* source, const char* name, const std::string& edits) {
  const fs::path copy = folder / name;
  fs::copy_file(TestDataPath(source), copy);
  if (!edits.empty()) {
    const std::string command = "exiftool -q -overwrite_original " + edits + " " + ShellQuoted(copy.string());
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
  return copy;
}

void Scan(PhotoInfoCache& cache, const std::vector<fs::path>& files) {
  CPhotoScanThread scanner;
  for (const fs::path& file : files) {
    PhotoInfoEntry entry;
    ASSERT_TRUE(scanner.BuildPhotoInfo(file, entry)) << file;
    ASSERT_EQ(cache.Append(entry), 1);
  }
}

std::vector<std::u16string> Captions(const CTreeNode& node) {
  std::vector<std::u16string> captions;
  for (const auto& child : node.children) captions.push_back(child->text);
  return captions;
}

std::vector<std::u16string> Found(PhotoInfoCache& cache, CSearchNode& node) {
  std::vector<std::u16string> names;
  SearchPhotos(
      cache, node,
      [&](const PhotoInfoRecord& record) {
        names.push_back(PathToUtf16(PathFromUtf16(record.Path()).filename()));
      },
      nullptr);
  return names;
}

CSearchNode& ChildAt(CTreeNode& node, std::size_t i) {
  return static_cast<CSearchNode&>(*node.children.at(i));
}

class SearchTreeBuilder : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HasExiftool()) GTEST_SKIP() << "exiftool is not installed";
    const fs::path folder = ScratchDir();
    // sample1: 2003-11, 39.92N 116.39E; tower: 2019-11, 48.85N 2.30E.
    files = {
        EditedCopy(folder, kSample1, "sample1.jpg", ""),
        EditedCopy(folder, kTower, "tower.jpg", ""),
        EditedCopy(folder, kTower, "december.jpg",
                   "-DateTimeOriginal='2019:12:24 10:00:00' -CreateDate='2019:12:24 10:00:00'"),
        // 0.05 degree north of the tower.
        EditedCopy(folder, kTower, "north.jpg", "-GPSLatitude=48.9045"),
        EditedCopy(folder, kSample1, "south.jpg", "-GPSLatitudeRef=S"),
        // A date but no camera data.
        EditedCopy(folder, kSample1, "nocamera.jpg", "-Make= -Model= -ExposureTime= -FNumber= -GPS:all="),
    };
    // Tags as the program writes them.
    ImageInfo info;
    ASSERT_EQ(info.AddTag(files[1], u"Paris"), 1);
    ImageInfo other;
    ASSERT_EQ(other.AddTag(files[2], u"paris"), 1);
    Scan(cache, files);
  }

  std::vector<fs::path> files;
  PhotoInfoCache cache;
  CSearchNode root;
  SearchNodeIcons icons;
};

TEST_F(SearchTreeBuilder, DatesPlacesTagsAndTypes) {
  auto& dates = static_cast<CSearchNode&>(*root.AppendChild(std::make_unique<CSearchNode>()));
  BuildDateNodes(cache, dates, icons);
  ASSERT_EQ(Captions(dates), (std::vector<std::u16string>{u"2003", u"2019"}));
  EXPECT_EQ(Captions(ChildAt(dates, 1)), (std::vector<std::u16string>{TextOf(u"Nov"), TextOf(u"Dec")}));
  EXPECT_EQ(Found(cache, ChildAt(ChildAt(dates, 1), 1)), std::vector<std::u16string>{u"december.jpg"});
  // The photo without camera data is listed under its month, but the
  // month's search does not find it.
  ASSERT_EQ(Captions(ChildAt(dates, 0)), std::vector<std::u16string>{TextOf(u"Nov")});
  EXPECT_EQ(Found(cache, ChildAt(ChildAt(dates, 0), 0)),
            (std::vector<std::u16string>{u"sample1.jpg", u"south.jpg"}));

  auto& places = static_cast<CSearchNode&>(*root.AppendChild(std::make_unique<CSearchNode>()));
  PlaceNameList names({});
  BuildPlaceNodes(cache, places, names, icons);
  ASSERT_EQ(Captions(places), (std::vector<std::u16string>{u"39.9N,116.4E", u"48.9N,2.3E", u"39.9S,116.4E"}));
  // The tower and its copy 0.05 degree north share a coarse place but not a fine one.
  CSearchNode& paris = ChildAt(places, 1);
  ASSERT_EQ(Captions(paris), (std::vector<std::u16string>{u"48.85N,2.30E", u"48.90N,2.30E"}));
  EXPECT_EQ(Found(cache, paris), (std::vector<std::u16string>{u"tower.jpg", u"december.jpg", u"north.jpg"}));
  EXPECT_EQ(Found(cache, ChildAt(paris, 1)), std::vector<std::u16string>{u"north.jpg"});
  // A name given to the coarse place captions it at the next build.
  names.SetName(paris, u"Paris");
  BuildPlaceNodes(cache, places, names, icons);
  EXPECT_EQ(ChildAt(places, 1).text, u"Paris");
  EXPECT_EQ(ChildAt(ChildAt(places, 1), 0).text, u"48.85N,2.30E");

  auto& tags = static_cast<CSearchNode&>(*root.AppendChild(std::make_unique<CSearchNode>()));
  BuildTagNodes(cache, tags, icons);
  ASSERT_EQ(Captions(tags), std::vector<std::u16string>{u"Paris"});
  EXPECT_TRUE(ChildAt(tags, 0).tagNode);
  EXPECT_EQ(Found(cache, ChildAt(tags, 0)), (std::vector<std::u16string>{u"tower.jpg", u"december.jpg"}));

  CSearchNode* noExif = nullptr;
  BuildNoExifNodes(cache, root, noExif, icons);
  ASSERT_NE(noExif, nullptr);
  EXPECT_EQ(root.children.back().get(), noExif);
  ASSERT_EQ(Captions(*noExif), std::vector<std::u16string>{TextOf(u"JPGFile")});
  EXPECT_EQ(Found(cache, ChildAt(*noExif, 0)), std::vector<std::u16string>{u"nocamera.jpg"});
  // A later build keeps the root and replaces its children.
  BuildNoExifNodes(cache, root, noExif, icons);
  EXPECT_EQ(root.children.size(), 4u);
  EXPECT_EQ(noExif->children.size(), 1u);

  // Every JPEG with camera data: the JPEG node is there, its search finds nothing.
  PhotoInfoCache withCamera;
  Scan(withCamera, {files[0], files[1]});
  CSearchNode other;
  CSearchNode* otherNoExif = nullptr;
  BuildNoExifNodes(withCamera, other, otherNoExif, icons);
  ASSERT_EQ(Captions(*otherNoExif), std::vector<std::u16string>{TextOf(u"JPGFile")});
  EXPECT_TRUE(Found(withCamera, ChildAt(*otherNoExif, 0)).empty());
}

TEST(SearchPhotos, StopsAt512Matches) {
  PhotoInfoCache cache;
  for (int i = 0; i < 600; ++i) {
    PhotoInfoEntry entry;
    entry.path = u"/p/photo" + FromUtf8(std::to_string(i)) + u".jpg";
    entry.head.imageType = 1;
    entry.head.pathBytes = static_cast<std::uint16_t>(entry.path.size() * 2);
    entry.head.sizeWord = static_cast<std::uint16_t>(entry.Length() | PhotoInfoRecord::kValidBit);
    ASSERT_EQ(cache.Append(entry), 1);
  }
  CSearchNode root;
  CSearchNode* noExif = nullptr;
  BuildNoExifNodes(cache, root, noExif, {});
  ASSERT_EQ(noExif->children.size(), 1u);
  std::int32_t added = 0;
  std::int32_t lastPercent = -1;
  EXPECT_EQ(SearchPhotos(
                cache, ChildAt(*noExif, 0), [&](const PhotoInfoRecord&) { ++added; },
                [&](std::int32_t percent) {
                  EXPECT_GE(percent, lastPercent);
                  lastPercent = percent;
                }),
            kMaxSearchMatches);
  EXPECT_EQ(added, 512);
  EXPECT_EQ(ChildAt(*noExif, 0).matchCount, 512);
  EXPECT_GT(lastPercent, 70);
  EXPECT_LT(lastPercent, 100);
}

}  // namespace
