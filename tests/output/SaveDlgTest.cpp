// The save chooser on a headless edit page: what each tile writes, the
// folders it starts in, the presets, and saves that do not fit on the disk
// (a lowered file-size limit stands in for a full disk here; the test of a
// real small file system is SmallDiskTest).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "editor/CommandRegistry.h"
#include "image/BgraImage.h"
#include "image/ImageCodec.h"
#include "image/ImageInfo.h"
#include "output/LastFolder.h"
#include "output/SaveCommands.h"
#include "output/SaveDlg.h"
#include "platform/Registry.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/editor/EditorFixture.h"
#include "tests/image/Exiftool.h"
#include "tests/output/SaveTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/FlatSimpleList.h"

namespace {

constexpr char kExifPhoto[] = "usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg";

class SaveDlgTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    SetFileChooser(&chooser);
    RegisterSaveCommands();
    folder = root / "out";
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    SetFileChooser(nullptr);
    EditorFixture::TearDown();
  }

  // A page whose base layer is a grey picture and whose second, current
  // layer is a half-transparent square at the top left.
  CSEditPage* TwoLayerPage(const std::u16string& path) {
    CSEditPage* page = OpenPage("two", [](CBFDoc& document) {
      EXPECT_EQ(document.InsertLayer(Gradient(64, 48), u"Photo", -1), 1);
      EXPECT_EQ(document.InsertLayer(Picture(16, 16,
                                             [](auto, auto) {
                                               return std::array<std::uint16_t, 4>{0, 0, 65535, 32768};
                                             }),
                                     u"Square", -1),
                1);
    });
    page->document.SetPath(path);
    return page;
  }

public:
  // Runs the chooser on the page through its save command.
  std::int32_t RunChooser(CSEditPage& page) { return EditCommands().Run(kCmdSave, page, SpriteMessage{}); }
  CSEditPage* Open(const std::string& title, const std::function<void(CBFDoc&)>& fill) {
    return OpenPage(title, fill);
  }
  const std::filesystem::path& Root() const { return root; }

  CScriptedChooser chooser;
  CDialogScript script;
  std::filesystem::path folder;
};

TEST_F(SaveDlgTest, TheOriginalTileIsOffForRawAndUnknownTypes) {
  struct Case {
    const char16_t* path;
    bool enabled;
  };
  for (const Case& c : {Case{u"/photos/a.CR2", false}, Case{u"/photos/a.xyz", false}, Case{u"", false},
                        Case{u"/photos/a.jpg", true}, Case{u"/photos/a.tif", true}}) {
    CSEditPage* page = TwoLayerPage(c.path);
    bool enabled = !c.enabled;
    script.Next(CSaveDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) {
          auto& chooserDialog = static_cast<CSaveDlg&>(dialog);
          const PanelItem* item = chooserDialog.panel.FindItem(CSaveDlg::kTileOriginal);
          ASSERT_NE(item, nullptr);
          enabled = item->enabled != 0;
          EXPECT_EQ(chooserDialog.panel.items.size(), 5u);
          EXPECT_NE(std::find(dialog.children.begin(), dialog.children.end(), &chooserDialog.panel),
                    dialog.children.end())
              << "the tiles are drawn with the dialog";
          if (!c.enabled) {
            EXPECT_FALSE(chooserDialog.SaveOverOriginal()) << "a disabled tile cannot save";
          }
        })
        .Answer(2);
    EXPECT_EQ(RunChooser(*page), 0);
    EXPECT_EQ(enabled, c.enabled) << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
    ExpectAnswered(script);
  }
}

TEST_F(SaveDlgTest, StartNamesFollowTheLastFolderOfEachKind) {
  EXPECT_EQ(LastFolderStartName({}, u"SavePNG"), std::filesystem::path());
  EXPECT_EQ(LastFolderStartName("/photos/trip/beach.jpg", u"SavePNG"), "/photos/trip/beach");
  ASSERT_TRUE(RememberLastFolder("/exports/web/beach.png", u"SavePNG"));
  EXPECT_EQ(LastFolderStartName("/photos/trip/beach.jpg", u"SavePNG"), "/exports/web/beach");
  EXPECT_EQ(LastFolderStartName("/photos/trip/beach.jpg", u"SaveJPG"), "/photos/trip/beach");
  EXPECT_EQ(LastFolderStartName({}, u"SavePNG"), std::filesystem::path())
      << "no path: empty even with a folder";
}

TEST_F(SaveDlgTest, PngIsTheCurrentLayerWithAlphaOtherFormatsTheComposite) {
  CSEditPage* page = TwoLayerPage(u"/photos/two.jpg");
  chooser.answers = {folder / "layer.png"};
  script.Next(CSaveDlg::kTemplateId).Call([](CDialogSprite& dialog) {
    EXPECT_TRUE(static_cast<CSaveDlg&>(dialog).SaveAsPng());
  });
  ASSERT_EQ(RunChooser(*page), 1);
  EXPECT_TRUE(page->history.ChangedSinceSave() == false);
  CBgraImage png;
  ASSERT_EQ(LoadImageAsBgra(folder / "layer.png", png), 1);
  EXPECT_EQ(png.width, 16u);
  EXPECT_NEAR(png.At(3, 3)[3], 128, 2);
  EXPECT_EQ(chooser.extensions.back(), u".png");

  chooser.answers = {folder / "whole.bmp"};
  script.Next(CSaveDlg::kTemplateId).Call([](CDialogSprite& dialog) {
    EXPECT_TRUE(static_cast<CSaveDlg&>(dialog).SaveAsOther());
  });
  ASSERT_EQ(RunChooser(*page), 1);
  CBgraImage bmp;
  ASSERT_EQ(LoadImageAsBgra(folder / "whole.bmp", bmp), 1);
  EXPECT_EQ(bmp.width, 64u);
  EXPECT_EQ(bmp.At(40, 40)[3], 255);
  std::u16string stored;
  ASSERT_TRUE(GetRegString(kLastPathSection, u"SaveOthers", u"", stored, 1024, true));
  EXPECT_EQ(stored, PathToUtf16(folder) + u"/");
  ExpectAnswered(script);
}

TEST_F(SaveDlgTest, ACancelledQuestionWritesNothingAndKeepsTheChooserOpen) {
  CSEditPage* page = TwoLayerPage(u"/photos/two.jpg");
  script.Next(CSaveDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) {
        auto& saveDialog = static_cast<CSaveDlg&>(dialog);
        EXPECT_FALSE(saveDialog.SaveProjectFile());
        EXPECT_FALSE(saveDialog.SaveAsPng());
        EXPECT_FALSE(saveDialog.SaveAsOther());
        EXPECT_EQ(saveDialog.EndCode(), 0);
      })
      .Answer(2);
  EXPECT_EQ(RunChooser(*page), 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  ExpectAnswered(script);
}

TEST_F(SaveDlgTest, OverwritingAJpegKeepsQuality95FullChromaAndEveryItem) {
  const std::filesystem::path photo = folder / "photo.jpg";
  std::filesystem::copy_file(TestDataPath(kExifPhoto), photo);
  const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                    std::filesystem::perms::group_read;
  std::filesystem::permissions(photo, mode);
  CSEditPage* page =
      OpenPage("photo", [&](CBFDoc& document) { EXPECT_GE(document.OpenImageFile(photo), 1); });
  page->document.SetPath(PathToUtf16(photo));
  ASSERT_EQ(page->imageInfo.ReadFromFile(photo), 1);
  script.Next(CSaveDlg::kTemplateId).Call([](CDialogSprite& dialog) {
    EXPECT_TRUE(static_cast<CSaveDlg&>(dialog).SaveOverOriginal());
  });
  script.Next(CSMessageDlg::kTemplateId).Press(kIdYes);
  ASSERT_EQ(RunChooser(*page), 1);
  ExpectAnswered(script);
  EXPECT_EQ(JpegQualityOf(photo), "95 1x1,1x1,1x1");
  EXPECT_EQ(std::filesystem::status(photo).permissions(), mode) << "the file keeps its mode";
  if (HasExiftool()) {
    const auto rows =
        RunExiftool({"-IFD0:Make", "-IFD0:Model", "-IFD0:Software", "-ExifIFD:DateTimeOriginal",
                     "-ExifIFD:FNumber", "-ExifIFD:ISO", "-ExifIFD:FocalLength", "-ExifIFD:Flash",
                     "-ExifIFD:MeteringMode", "-ExifIFD:WhiteBalance", "-GPS:GPSImgDirection"},
                    {TestDataPath(kExifPhoto), photo});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], rows[1]);
    EXPECT_EQ(rows[1][0], "Meizu");
  }
  EXPECT_EQ(FolderEntries(folder), 1u) << "no temporary file";
}

TEST_F(SaveDlgTest, LayerExportWithoutPngWritesAPsdUnderThatName) {
  CSEditPage* page = TwoLayerPage(u"/photos/two.jpg");
  chooser.answers = {folder / "Square"};
  ASSERT_EQ(EditCommands().Run(kCmdExportLayer, *page, SpriteMessage{}), 1);
  EXPECT_EQ(chooser.startNames.back(), std::filesystem::path("Square"));
  const auto bytes = ReadFileBytes(folder / "Square");
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "8BPS");
  std::u16string stored;
  EXPECT_FALSE(GetRegString(kLastPathSection, u"SaveLayer", u"", stored, 1024, true))
      << "a PSD leaves the folder";

  chooser.answers = {folder / "Square.PNG"};
  ASSERT_EQ(EditCommands().Run(kCmdExportLayer, *page, SpriteMessage{}), 1);
  CBgraImage png;
  ASSERT_EQ(LoadImageAsBgra(folder / "Square.PNG", png), 1);
  EXPECT_EQ(png.width, 16u);
  EXPECT_TRUE(GetRegString(kLastPathSection, u"SaveLayer", u"", stored, 1024, true));
}

TEST_F(SaveDlgTest, APresetSavesAJpegWithinItsTarget) {
  WriteUserPresets(root / "config", {MakePreset(u"Tiny", 90, kPolicyQuality, 4)});
  CSEditPage* page = OpenPage("big", OneLayer(400, 300));
  page->document.SetPath(u"/photos/big.png");
  chooser.answers = {folder / "big.jpg"};
  script.Next(CSaveDlg::kTemplateId).Call([](CDialogSprite& dialog) {
    auto& saveDialog = static_cast<CSaveDlg&>(dialog);
    ASSERT_EQ(saveDialog.presets.presets.size(), 1u);
    // A click on the preset's row saves at once.
    auto* list = dynamic_cast<CFlatSimpleList*>(saveDialog.FindControl(CSaveDlg::kPresetListId));
    ASSERT_NE(list, nullptr);
    list->SelectRow(0, false, false);
  });
  ASSERT_EQ(RunChooser(*page), 1);
  ExpectAnswered(script);
  EXPECT_LE(std::filesystem::file_size(folder / "big.jpg"), 4u * 1024);
  EXPECT_EQ(chooser.extensions.back(), u".jpg");
  EXPECT_EQ(FolderEntries(folder), 1u);
}

// Saves that do not fit: the chooser shows the failure and stays open, the
// earlier file stays byte for byte and no temporary file is left. With
// limitFileSize the process's file-size limit stands in for a full disk;
// otherwise the folder lies on a small file system that a filler file has
// filled up.
void ExpectSavesKeepEarlierFiles(SaveDlgTest& test, const std::filesystem::path& where, bool limitFileSize) {
  WriteUserPresets(test.Root() / "config", {MakePreset(u"Big", 95, kPolicyNone, 0)});
  CSEditPage* page = test.Open("big", OneLayer(400, 300));
  const std::filesystem::path original = where / "original.tif";
  const std::vector<std::uint8_t> earlier(3000, 0x42);
  struct Case {
    const char* what;
    std::filesystem::path target;
    std::function<bool(CSaveDlg&)> save;
    const char16_t* message;
  };
  const std::vector<Case> cases = {
      {"project", where / "earlier.bfdoc", [](CSaveDlg& d) { return d.SaveProjectFile(); }, u"ErrorSave"},
      {"png", where / "earlier.png", [](CSaveDlg& d) { return d.SaveAsPng(); }, u"ErrorSave"},
      {"jpeg preset", where / "earlier.jpg", [](CSaveDlg& d) { return d.SaveWithPreset(0); }, u"unexpect"},
      {"original", original, [](CSaveDlg& d) { return d.SaveOverOriginal(); }, u"ErrorSave"},
  };
  page->document.SetPath(PathToUtf16(original));
  for (const Case& c : cases) WriteFileBytes(c.target, earlier);
  if (!limitFileSize) FillFileSystem(where / "filler", 1024);
  const std::size_t entries = FolderEntries(where);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test.chooser.answers = {c.target};
    std::u16string told;
    test.script.Next(CSaveDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) {
          std::optional<FileSizeLimit> limit;
          if (limitFileSize) limit.emplace(4000);
          EXPECT_FALSE(c.save(static_cast<CSaveDlg&>(dialog)));
          EXPECT_EQ(dialog.EndCode(), 0);
        })
        .Answer(2);
    if (c.target == original) test.script.Next(CSMessageDlg::kTemplateId).Press(kIdYes);
    test.script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& box) { told = static_cast<CSMessageDlg&>(box).text; })
        .Press(kIdOk);
    EXPECT_EQ(test.RunChooser(*page), 0);
    ExpectAnswered(test.script);
    EXPECT_EQ(told, UIResources().texts.TextOrKey(c.message));
    EXPECT_EQ(ReadFileBytes(c.target), earlier);
    EXPECT_EQ(FolderEntries(where), entries) << "no temporary file";
  }
}

TEST_F(SaveDlgTest, SavesThatDoNotFitKeepTheEarlierFile) { ExpectSavesKeepEarlierFiles(*this, folder, true); }

// Run by small-disk.sh on a small tmpfs of its own.
TEST_F(SaveDlgTest, SmallDiskSavesThatDoNotFitKeepTheEarlierFile) {
  const char* small = std::getenv("TESSERA_SMALL_DISK");
  if (!small || !*small) GTEST_SKIP() << "runs on the small file system of small-disk.sh";
  ExpectSavesKeepEarlierFiles(*this, small, false);
}

}  // namespace
