// The JPEG options dialog on a headless edit page: previews that leave the
// layer alone, the save run with every setting off (a setting changed
// meanwhile no longer cancels it; a cancelled run saves nothing), the
// photo's information in the file, adjusting to a file size, the proposed
// name and the information panel's bars.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "editor/CommandRegistry.h"
#include "image/ImageInfo.h"
#include "output/JpgSaveDlg.h"
#include "output/SaveCommands.h"
#include "output/SaveDlg.h"
#include "platform/UiQueue.h"
#include "tests/editor/EditorFixture.h"
#include "tests/image/Exiftool.h"
#include "tests/output/SaveTestSupport.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SCheckBox.h"
#include "ui/widgets/SliderSprite.h"

namespace {

constexpr char kExifPhoto[] = "usr/libexec/installed-tests/gdk-pixbuf/issue70.jpg";

class JpgSaveDlgTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    SetFileChooser(&chooser);
    folder = root / "out";
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    SetFileChooser(nullptr);
    EditorFixture::TearDown();
  }

  // Runs the options dialog on the page with the script's answer.
  std::int32_t RunOptions(CSEditPage& page, const std::function<void(CJpgSaveDlg&)>& answer) {
    CJpgSaveDlg dialog(&page.document, &page.imageInfo);
    EXPECT_TRUE(dialog.Create(CJpgSaveDlg::kTemplateId));
    script.Next(CJpgSaveDlg::kTemplateId).Call([&](CDialogSprite& d) {
      auto& options = static_cast<CJpgSaveDlg&>(d);
      ASSERT_TRUE(options.SettleJobs());
      answer(options);
      if (options.EndCode() == 0 && !options.Saving()) options.EndModal(kIdCancel);
    });
    return dialog.RunModal();
  }

  // Waits, running the queue, until the dialog's job has ended.
  static void Settle(CJpgSaveDlg& dialog) { ASSERT_TRUE(dialog.SettleJobs()); }

  static bool Enabled(CJpgSaveDlg& dialog, std::int32_t id) {
    CDialogControl* control = dialog.FindControl(id);
    return control && control->acceptsInput != 0;
  }

  CScriptedChooser chooser;
  CDialogScript script;
  std::filesystem::path folder;
};

TEST_F(JpgSaveDlgTest, PreviewsShowTheDecodedJpegAndLeaveTheLayerAlone) {
  CSEditPage* page = OpenPage("photo", OneLayer(320, 240));
  const std::vector<std::uint16_t> before(page->document.GetLayer(0)->m_image.Samples().begin(),
                                          page->document.GetLayer(0)->m_image.Samples().end());
  EXPECT_EQ(RunOptions(*page,
                       [&](CJpgSaveDlg& d) {
                         for (const std::int32_t hidden : {1236, 1052, 1082, 1083, 1237, 1049})
                           EXPECT_EQ(d.FindControl(hidden)->visible, 0) << hidden;
                         ASSERT_TRUE(d.resultAvailable);
                         EXPECT_EQ(d.result.width, 320u);
                         EXPECT_GT(d.encodedSize, 0u);
                         EXPECT_NE(d.result.Samples().size(), 0u);
                         // Without a policy there is no target to type.
                         EXPECT_FALSE(Enabled(d, CJpgSaveDlg::kTargetEdit));
                         const std::uint32_t quality90 = d.encodedSize;
                         // A lower quality, then a policy through its menu.
                         auto* slider =
                             dynamic_cast<CSliderSprite*>(d.FindControl(CJpgSaveDlg::kQualitySlider));
                         ASSERT_NE(slider, nullptr);
                         slider->SetSliderValue(20, true);
                         UiQueue().RunUntilIdle();
                         Settle(d);
                         EXPECT_LT(d.encodedSize, quality90);
                         EXPECT_EQ(d.runQuality, 20);
                         ASSERT_TRUE(PostSpriteMessage(&d, kMenuMsgCommand, 302, 0, nullptr));
                         UiQueue().RunUntilIdle();
                         EXPECT_EQ(d.settings.policy, kPolicyQuality);
                         EXPECT_TRUE(Enabled(d, CJpgSaveDlg::kTargetEdit));
                         Settle(d);
                       }),
            kIdCancel);
  const auto& after = page->document.GetLayer(0)->m_image.Samples();
  EXPECT_TRUE(std::equal(after.begin(), after.end(), before.begin(), before.end()));
  EXPECT_TRUE(chooser.startNames.empty());
}

TEST_F(JpgSaveDlgTest, ASaveRunsWithEverySettingOffAndASettingChangeNoLongerCancelsIt) {
  const std::filesystem::path photo = TestDataPath(kExifPhoto);
  CSEditPage* page = OpenPage("photo", OneLayer(1600, 1200));
  page->document.SetPath(PathToUtf16(photo));
  ASSERT_EQ(page->imageInfo.ReadFromFile(photo), 1);
  chooser.answers = {folder / "kept.jpg"};
  EXPECT_EQ(RunOptions(*page,
                       [&](CJpgSaveDlg& d) {
                         ASSERT_TRUE(d.SaveJpeg());
                         EXPECT_TRUE(d.Saving());
                         for (const std::int32_t id :
                              {CJpgSaveDlg::kQualitySlider, CJpgSaveDlg::kAdjustButton,
                               CJpgSaveDlg::kChromaCheck, CJpgSaveDlg::kSofteningSlider,
                               CJpgSaveDlg::kPolicyButton, CJpgSaveDlg::kSizeValueEdit, kIdOk, kIdCancel})
                           EXPECT_FALSE(Enabled(d, id)) << id;
                         // What a moved slider or a ticked box sent would once
                         // have cancelled the save and still ended with OK.
                         ASSERT_TRUE(PostSpriteMessage(&d, kSliderMsgChanged, 30, 1, nullptr));
                         ASSERT_TRUE(PostSpriteMessage(&d, kCheckMsgChanged, 1, 0, nullptr));
                         Settle(d);
                         EXPECT_FALSE(d.Saving());
                       }),
            kIdOk);
  const std::filesystem::path kept = folder / "kept.jpg";
  ASSERT_TRUE(std::filesystem::exists(kept));
  EXPECT_EQ(FolderEntries(folder), 1u) << "no temporary file";
  EXPECT_EQ(JpegQualityOf(kept).substr(0, 2), "90");
  if (HasExiftool()) {
    const auto rows = RunExiftool({"-IFD0:Make", "-IFD0:Model", "-ExifIFD:DateTimeOriginal"}, {photo, kept});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], rows[1]);
  }
  EXPECT_EQ(chooser.extensions.back(), u".jpg");
}

TEST_F(JpgSaveDlgTest, ACancelledSaveRunWritesNothingAndKeepsTheDialogOpen) {
  CSEditPage* page = OpenPage("big", OneLayer(2000, 1500));
  const std::vector<std::uint8_t> earlier(100, 0x42);
  WriteFileBytes(folder / "earlier.jpg", earlier);
  chooser.answers = {folder / "earlier.jpg"};
  EXPECT_EQ(RunOptions(*page,
                       [&](CJpgSaveDlg& d) {
                         // A quality search for an unreachable size looks for
                         // the cancel in every round.
                         d.settings.policy = kPolicyQuality;
                         d.settings.targetKb = 1;
                         ASSERT_TRUE(d.UpdateData(false));
                         ASSERT_TRUE(d.SaveJpeg());
                         // Stopped once it reports progress.
                         const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                         while (d.m_progress == 0 && d.Saving() && std::chrono::steady_clock::now() < until) {
                           UiQueue().RunUntilIdle();
                           std::this_thread::sleep_for(std::chrono::milliseconds(1));
                         }
                         ASSERT_TRUE(d.Saving());
                         theAlgorithmThread.Cancel();
                         Settle(d);
                         EXPECT_FALSE(d.Saving());
                         EXPECT_EQ(d.EndCode(), 0);
                         EXPECT_TRUE(Enabled(d, CJpgSaveDlg::kQualitySlider));
                         EXPECT_TRUE(Enabled(d, kIdOk));
                       }),
            kIdCancel);
  EXPECT_EQ(ReadFileBytes(folder / "earlier.jpg"), earlier);
  EXPECT_EQ(FolderEntries(folder), 1u) << "no temporary file";
}

TEST_F(JpgSaveDlgTest, AdjustingToAFileSizeSetsTheQualityThatFits) {
  struct Case {
    const char* name;
    std::uint32_t side;
    const char16_t* typed;
    std::uint64_t limit;
    bool fitsAt100;
  };
  for (const Case& c : {Case{"a large picture", 900, u"40", 40 * 1024, false},
                        Case{"a tiny picture", 16, u"500", 500 * 1024, true}}) {
    SCOPED_TRACE(c.name);
    CSEditPage* page = OpenPage(c.name, OneLayer(c.side, c.side * 3 / 4));
    const std::filesystem::path target = folder / (std::string(c.name) + ".jpg");
    chooser.answers = {target};
    EXPECT_EQ(RunOptions(*page,
                         [&](CJpgSaveDlg& d) {
                           script.Next(CSStringDialog::kTemplateId)
                               .Call([&](CDialogSprite& input) {
                                 auto* field =
                                     dynamic_cast<CEditSprite*>(input.FindControl(CSStringDialog::kEditId));
                                 ASSERT_NE(field, nullptr);
                                 ASSERT_TRUE(field->SetText(c.typed));
                               })
                               .Press(kIdOk);
                           ASSERT_TRUE(d.AdjustToFileSize());
                           UiQueue().RunUntilIdle();
                           Settle(d);
                           if (c.fitsAt100) {
                             EXPECT_EQ(d.settings.quality, 99);
                           } else {
                             EXPECT_LT(d.settings.quality, 90);
                             EXPECT_GE(d.settings.quality, 1);
                           }
                           EXPECT_EQ(d.runQuality, d.settings.quality);
                           ASSERT_TRUE(d.SaveJpeg());
                           Settle(d);
                         }),
              kIdOk);
    ExpectAnswered(script);
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_LE(std::filesystem::file_size(target), c.limit);
  }
}

TEST_F(JpgSaveDlgTest, TheProposedNameCarriesTheNewSizeAndTheExpectedFileSize) {
  CSEditPage* page = OpenPage("photo", OneLayer(400, 300));
  page->document.SetPath(u"/photos/beach.png");
  EXPECT_EQ(RunOptions(*page,
                       [&](CJpgSaveDlg& d) {
                         ASSERT_TRUE(d.FindControl(CJpgSaveDlg::kSizeValueEdit));
                         d.settings.sizeValue = 200;
                         ASSERT_TRUE(d.UpdateData(false));
                         ASSERT_TRUE(PostSpriteMessage(&d, kMenuMsgCommand, 201, 0, nullptr));
                         ASSERT_TRUE(PostSpriteMessage(&d, kMenuMsgCommand, 301, 0, nullptr));
                         UiQueue().RunUntilIdle();
                         Settle(d);
                         EXPECT_EQ(d.result.width, 200u);
                         EXPECT_FALSE(d.SaveJpeg());  // the chooser has no answer: cancelled
                         const std::string expected =
                             "/photos/beach-200x150-" + std::to_string((512 + d.encodedSize) >> 10) + "K";
                         ASSERT_FALSE(chooser.startNames.empty());
                         EXPECT_EQ(chooser.startNames.back().string(), expected);
                         EXPECT_FALSE(d.Saving());
                       }),
            kIdCancel);
}

TEST(JpgSavePanel, BarsMoveEachChannelTowardTheColourByTheAlpha) {
  CBgraImage image;
  ASSERT_EQ(image.Create(4, 1), 1);
  const std::uint8_t pixels[16] = {0, 0, 0, 255, 200, 100, 0, 0, 255, 255, 255, 51, 10, 20, 30, 255};
  std::copy(std::begin(pixels), std::end(pixels), image.pixels);
  TintPanelBar(image, {0, 0, 3, 1}, 0xFF80C080u);
  // Opaque: the colour itself; alpha 0 counts as opaque; alpha 51 moves a
  // fifth of the way; the pixel outside the bar stays.
  const std::vector<std::uint8_t> expected = {128, 192, 128, 255, 128, 192, 128, 255,
                                              230, 243, 230, 255, 10,  20,  30,  255};
  EXPECT_EQ(std::vector<std::uint8_t>(image.pixels, image.pixels + 16), expected);
  // A bar outside the picture changes nothing.
  TintPanelBar(image, {-10, 5, 2, 9}, 0xFF000000u);
  EXPECT_EQ(std::vector<std::uint8_t>(image.pixels, image.pixels + 16), expected);
}

TEST_F(JpgSaveDlgTest, TheChoosersJpegTileRunsTheOptionsAndASaveEndsBoth) {
  RegisterSaveCommands();
  CSEditPage* page = OpenPage("photo", OneLayer(200, 150));
  chooser.answers = {folder / "tile.jpg"};
  script.Next(CSaveDlg::kTemplateId).Call([](CDialogSprite& d) {
    static_cast<void>(static_cast<CSaveDlg&>(d).ShowJpegOptions());  // the chooser's end code tells
  });
  script.Next(CJpgSaveDlg::kTemplateId).Call([](CDialogSprite& d) {
    auto& options = static_cast<CJpgSaveDlg&>(d);
    ASSERT_TRUE(options.SettleJobs());
    ASSERT_TRUE(options.SaveJpeg());
    ASSERT_TRUE(options.SettleJobs());
  });
  EXPECT_EQ(EditCommands().Run(kCmdSave, *page, SpriteMessage{}), 1);
  ExpectAnswered(script);
  EXPECT_TRUE(std::filesystem::exists(folder / "tile.jpg"));
}

}  // namespace
