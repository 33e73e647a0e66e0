// The album's multi-photo commands against a fake receiver: the group
// photo's size check (unknown and still-loading sizes left out), the
// question before the first 16 of 17, camera RAW refused, the batch's
// output folder and the print of RAW photos only.

#include <cstdio>

#include "album/PhotoHandOff.h"
#include "image/ImageCodec.h"
#include "platform/Utf16.h"
#include "tests/album/AlbumPageFixture.h"
#include "tests/album/AlbumTestSupport.h"
#include "ui/DialogScript.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/ListItem.h"

namespace {

namespace fs = std::filesystem;

class CFakeHandOff final : public IPhotoHandOff {
public:
  bool RunGroupPhoto(std::int32_t kind, std::span<const fs::path> photos) override {
    groupKind = kind;
    group.assign(photos.begin(), photos.end());
    ++groupRuns;
    return true;
  }
  bool RunBatch(const fs::path& outputFolder, std::span<const BatchHandOffItem> items) override {
    batchFolder = outputFolder;
    batch.assign(items.begin(), items.end());
    ++batchRuns;
    return true;
  }
  bool RunBatchPrint(std::span<const fs::path> photos) override {
    print.assign(photos.begin(), photos.end());
    ++printRuns;
    return true;
  }

  std::int32_t groupKind = 0, groupRuns = 0, batchRuns = 0, printRuns = 0;
  std::vector<fs::path> group, print;
  fs::path batchFolder;
  std::vector<BatchHandOffItem> batch;
};

class PhotoHandOffTest : public AlbumPageFixture {
public:
  void SetUp() override {
    AlbumPageFixture::SetUp();
    SetPhotoHandOff(&fake);
  }
  void TearDown() override {
    SetPhotoHandOff(nullptr);
    AlbumPageFixture::TearDown();
  }

  CSAlbumPhotoList& List() { return page->photoList; }

  // Photos p00.jpg ... in the folder of a case.
  fs::path WritePhotos(int caseNumber, std::size_t count) {
    const fs::path folder = pictures / ("case" + std::to_string(caseNumber));
    for (std::size_t i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "p%02zu.jpg", i);
      Touch(folder / name);
    }
    return folder;
  }

  // The case's folder listed and its photos all selected; sizes given,
  // 0 x 0 unknown, and a negative width a picture still loading.
  void SelectCase(int caseNumber, const std::vector<std::pair<int, int>>& sizes) {
    if (!page) MakePage();
    ASSERT_TRUE(page->folderPage->GoToPath(pictures / ("case" + std::to_string(caseNumber))));
    // The loaders' replies (these files are no pictures) come in first.
    PumpFor(std::chrono::milliseconds(300));
    std::lock_guard guard(List().lock);
    std::size_t photo = 0;
    for (auto& entry : List().items) {
      auto& item = static_cast<CPhotoItem&>(*entry);
      item.selected = 0;
      if (item.IsFolder()) continue;
      ASSERT_LT(photo, sizes.size());
      const auto [width, height] = sizes[photo++];
      item.selected = 1;
      item.info.width = static_cast<std::uint32_t>(std::abs(width));
      item.info.height = static_cast<std::uint32_t>(height);
      item.source.Free();
      if (width >= 0) {
        ASSERT_EQ(item.source.Create(2, 2), 1);
      }
    }
    ASSERT_EQ(photo, sizes.size());
  }

  void MakePhotos(const std::vector<std::pair<int, int>>& sizes) {
    WritePhotos(1, sizes.size());
    SelectCase(1, sizes);
  }

  // The texts of the message boxes shown while run runs, each answered.
  std::vector<std::u16string> Messages(const std::function<void()>& run, std::int32_t answer = kIdOk) {
    std::vector<std::u16string> shown;
    CDialogScript script;
    for (int i = 0; i < 3; ++i)
      script.Next(CSMessageDlg::kTemplateId)
          .Call([&](CDialogSprite& box) { shown.push_back(static_cast<CSMessageDlg&>(box).text); })
          .Press(answer);
    run();
    return shown;
  }

  static std::u16string Text(std::u16string_view key) {
    return std::u16string(UIResources().texts.TextOrEmpty(key));
  }

  CFakeHandOff fake;
};

TEST_F(PhotoHandOffTest, TheSizeCheckOfTheGroupPhoto) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> sizes;
    const char16_t* message;  // null: handed on
  };
  const Case cases[] = {
      {"two of one size", {{800, 600}, {800, 600}}, nullptr},
      {"turned", {{800, 600}, {600, 800}}, u"samesizephotoneed"},
      {"too narrow", {{639, 1000}, {639, 1000}}, u"toosmall"},
      {"unknown sizes skipped", {{0, 0}, {800, 600}, {800, 600}}, nullptr},
      {"loading skipped", {{800, 600}, {-600, 800}, {800, 600}}, nullptr},
  };
  int number = 0;
  for (const Case& c : cases) WritePhotos(++number, c.sizes.size());
  number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake = {};
    SelectCase(++number, c.sizes);
    const auto shown = Messages([&] { List().StartGroupPhoto(); });
    if (c.message) {
      EXPECT_EQ(shown, std::vector<std::u16string>{Text(c.message)});
      EXPECT_EQ(fake.groupRuns, 0);
    } else {
      EXPECT_TRUE(shown.empty()) << (shown.empty() ? std::string() : ToUtf8(shown[0]));
      EXPECT_EQ(fake.groupRuns, 1);
      EXPECT_EQ(fake.groupKind, 1);
      EXPECT_EQ(fake.group.size(), c.sizes.size());
    }
  }
}

TEST_F(PhotoHandOffTest, SeventeenAskAndYesHandsTheFirstSixteen) {
  MakePhotos(std::vector<std::pair<int, int>>(17, {800, 600}));
  const auto no = Messages([&] { List().StartGroupPhoto(); }, kIdNo);
  ASSERT_EQ(no.size(), 1u);
  EXPECT_NE(no[0].find(u"17"), std::u16string::npos);
  EXPECT_EQ(fake.groupRuns, 0);
  const auto yes = Messages([&] { List().StartGroupPhoto(); }, kIdYes);
  ASSERT_EQ(yes.size(), 1u);
  ASSERT_EQ(fake.group.size(), 16u);
  EXPECT_EQ(fake.group.front().filename(), "p00.jpg");
  EXPECT_EQ(fake.group.back().filename(), "p15.jpg");
}

TEST_F(PhotoHandOffTest, ARawPhotoStopsTheGroupPhotoAndOneSelectedPhotoDoesNothing) {
  WritePhotos(1, 2);
  Touch(pictures / "case1" / "z.cr2");
  SelectCase(1, {{800, 600}, {800, 600}, {0, 0}});
  EXPECT_EQ(Messages([&] { List().StartGroupPhoto(); }), std::vector<std::u16string>{Text(u"convertRAW")});
  EXPECT_EQ(fake.groupRuns, 0);
  {
    std::lock_guard guard(List().lock);
    for (auto& item : List().items) item->selected = 0;
    List().items[1]->selected = 1;  // after ".."
  }
  EXPECT_TRUE(Messages([&] { List().StartGroupPhoto(); }).empty());
  EXPECT_EQ(fake.groupRuns, 0);
}

TEST_F(PhotoHandOffTest, BatchWritesBesideTheFirstItemAndPrintOfRawOnlyAsksThenOpensEmpty) {
  Touch(pictures / "Trip" / "x.jpg");
  Touch(pictures / "a.cr2");
  Touch(pictures / "b.jpg");
  MakePage();
  {
    std::lock_guard guard(List().lock);
    for (auto& item : List().items) item->selected = 1;  // Trip (a folder) first
  }
  List().BatchSelectedPhotos();
  EXPECT_EQ(fake.batchFolder, pictures);
  ASSERT_EQ(fake.batch.size(), 2u);
  EXPECT_EQ(fake.batch[0].displayName, u"a");
  {
    std::lock_guard guard(List().lock);
    for (auto& entry : List().items)
      entry->selected =
          static_cast<CPhotoItem&>(*entry).type == static_cast<std::int32_t>(ImageFileType::Raw);
  }
  EXPECT_EQ(Messages([&] { List().PrintSelectedPhotos(); }, kIdNo),
            std::vector<std::u16string>{Text(u"RawCannotprint")});
  EXPECT_EQ(fake.printRuns, 0);
  EXPECT_EQ(Messages([&] { List().PrintSelectedPhotos(); }, kIdYes).size(), 1u);
  EXPECT_EQ(fake.printRuns, 1);
  EXPECT_TRUE(fake.print.empty());
}

}  // namespace
