// Turning album photos: the selection's JPEGs turn and other types are named
// once; "Rotate as Exif" turns only landscape-stored photos tagged 6 or 8,
// selected or not, and a second run turns nothing.

#include "tests/album/AlbumPageFixture.h"
#include "tests/image/ExifFixture.h"
#include "tests/image/MetadataFiles.h"
#include "ui/DialogScript.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"

namespace {

namespace fs = std::filesystem;
using D = ExifDirectory;

class PhotoRotationTest : public AlbumPageFixture {
public:
  void WriteJpeg(const char* name, std::uint32_t width, std::uint32_t height, std::uint16_t orientation) {
    const Bytes jpeg = EncodedPicture(width, height, CodecFormat::Jpeg);
    WriteFileBytes(pictures / name,
                   orientation
                       ? WithExifSegment(jpeg, ExifBlockBuilder().Short(D::Ifd0, 274, orientation).Build())
                       : jpeg);
  }
  std::pair<std::int32_t, std::int32_t> SizeOf(const char* name) {
    ImageInfo info;
    EXPECT_EQ(info.ReadFromFile(pictures / name), 1) << name;
    return {info.width, info.height};
  }
};

TEST_F(PhotoRotationTest, SelectedJpegsTurnAndOtherTypesAreNamedOnce) {
  WriteJpeg("a.jpg", 32, 16, 0);
  WriteJpeg("b.jpg", 48, 16, 0);
  WriteFileBytes(pictures / "c.png", EncodedPicture(8, 8, CodecFormat::Png));
  MakePage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"a", "b", "c"}));
  for (std::int32_t i = 0; i < 3; ++i) page->photoList.PhotoAt(i)->selected = 1;
  CDialogScript script;
  std::vector<std::u16string> shown;
  script.Next(CSMessageDlg::kTemplateId)
      .Call([&](CDialogSprite& box) { shown.push_back(static_cast<CSMessageDlg&>(box).text); })
      .Press(kIdOk);
  page->photoList.RotateSelectedLossless(true);
  EXPECT_EQ(script.Pending(), 0u);
  EXPECT_EQ(
      shown,
      (std::vector<std::u16string>{std::u16string(UIResources().texts.TextOrEmpty(u"nonjpgcannotllr"))}));
  EXPECT_FALSE(shown.empty() || shown[0].empty());
  EXPECT_EQ(SizeOf("a.jpg"), (std::pair{16, 32}));
  EXPECT_EQ(SizeOf("b.jpg"), (std::pair{16, 48}));
  EXPECT_EQ(SizeOf("c.png"), (std::pair{8, 8}));
}

TEST_F(PhotoRotationTest, RotateAsExifTurnsLandscapeStoredTaggedPhotosOnceWhetherSelectedOrNot) {
  struct Case {
    const char* name;
    std::uint32_t width, height;
    std::uint16_t orientation;
    std::pair<std::int32_t, std::int32_t> after;
  };
  const Case cases[] = {{"l6.jpg", 32, 16, 6, {16, 32}},
                        {"l8.jpg", 48, 16, 8, {16, 48}},
                        {"p6.jpg", 16, 32, 6, {16, 32}},  // already stored portrait
                        {"l1.jpg", 32, 16, 1, {32, 16}},
                        {"l3.jpg", 32, 16, 3, {32, 16}}};
  for (const Case& c : cases) WriteJpeg(c.name, c.width, c.height, c.orientation);
  MakePage();
  page->photoList.PhotoAt(0)->selected = 1;
  page->photoList.RotateAllByExif();
  for (const Case& c : cases) EXPECT_EQ(SizeOf(c.name), c.after) << c.name;
  const Bytes once = ReadFileBytes(pictures / "l6.jpg");
  page->photoList.RotateAllByExif();
  EXPECT_EQ(ReadFileBytes(pictures / "l6.jpg"), once);
  for (const Case& c : cases) EXPECT_EQ(SizeOf(c.name), c.after) << c.name;
}

}  // namespace
