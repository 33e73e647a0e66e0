#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "album/PhotoInfoCache.h"
#include "album/PhotoScanThread.h"
#include "album/SearchNode.h"
#include "album/TagDrop.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumTestSupport.h"
#include "tests/image/Exiftool.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

namespace fs = std::filesystem;

class TagDrop : public DialogFixture {
protected:
  void SetUp() override {
    const fs::path folder = ScratchDir();
    jpeg = folder / "tower.jpg";
    png = folder / "dpi.png";
    fs::copy_file(TestDataPath(kTower), jpeg);
    fs::copy_file(TestDataPath("usr/libexec/installed-tests/gdk-pixbuf/dpi.png"), png);
    for (const fs::path& file : {jpeg, png}) {
      PhotoInfoEntry entry;
      ASSERT_TRUE(PhotoScanThread().BuildPhotoInfo(file, entry));
      ASSERT_EQ(cache.Append(entry), 1);
    }
  }
  static void ExpectMessage(CDialogScript& script, std::u16string expected) {
    script.Next(CSMessageDlg::kTemplateId)
        .Call([expected](CDialogSprite& box) { EXPECT_EQ(dynamic_cast<CSMessageDlg&>(box).text, expected); })
        .Press(kIdOk);
  }
  static std::unique_ptr<CSearchNode> TagNode(std::u16string_view words) {
    auto node = std::make_unique<CSearchNode>();
    node->hasCriteria = node->tagNode = 1;
    node->criteria.SetTagWords(words);
    node->criteria.tagMatchMode = 1;
    return node;
  }

  fs::path jpeg;
  fs::path png;
  PhotoInfoCache cache;
};

TEST_F(TagDrop, TheJpegIsTaggedAndTheOtherFileReported) {
  CDialogScript script;
  ExpectMessage(script, UIResources().texts.TextOrKey(u"Cannotaddtag"));
  const std::vector<fs::path> files = {png, jpeg};
  AddTagToPhotoFiles(TagNode(u"Holiday").get(), files, cache);
  ExpectAnswered(script);

  // One valid record of the JPEG, with the tag, and no invalid one left.
  std::size_t records = 0;
  std::u16string tags;
  cache.ForEachRecord([&](const PhotoInfoRecord& record, std::uint32_t) {
    if (record.Path() == PathToUtf16(jpeg)) {
      ++records;
      tags = record.Tags();
    }
    return true;
  });
  EXPECT_EQ(records, 1u);
  EXPECT_EQ(tags, u" Holiday");  // the word goes after a blank
  EXPECT_EQ(cache.ValidCount(), 2u);
  if (HasExiftool()) {
    const auto rows = RunExiftool({"-u", "-Exif_0xcf61"}, {jpeg});
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_FALSE(rows[0].empty());
    EXPECT_EQ(rows[0][0], " Holiday");
  }
}

TEST_F(TagDrop, ATwoWordNodeAndAFileThatCannotBeTagged) {
  CDialogScript script;
  ExpectMessage(script, UIResources().texts.TextOrKey(u"AddTagFailed"));
  const std::vector<fs::path> files = {jpeg};
  AddTagToPhotoFiles(TagNode(u"two words").get(), files, cache);
  ExpectAnswered(script);

  // A file that is gone stops the work with its path.
  CDialogScript missing;
  const fs::path gone = jpeg.parent_path() / "gone.jpg";
  ExpectMessage(missing, UIResources().texts.TextOrKey(u"AddTagFailed") + PathToUtf16(gone));
  const std::vector<fs::path> more = {gone, jpeg};
  AddTagToPhotoFiles(TagNode(u"Holiday").get(), more, cache);
  ExpectAnswered(missing);
  EXPECT_EQ(cache.Find(PathToUtf16(jpeg))->tagsBytes, 0u) << "no file after the failure is tagged";
}

}  // namespace
