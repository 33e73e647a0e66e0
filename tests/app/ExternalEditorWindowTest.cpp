// The main window in external-editor mode: no album, the exchange file
// imported at start, the image handed back, and a close that hands back
// nothing.

#include <gtest/gtest.h>

#include "app/ExchangeFile.h"
#include "editor/CommandRegistry.h"
#include "editor/SEditPage.h"
#include "image/BgraImage16.h"
#include "platform/LittleEndian.h"
#include "tests/app/MainWindowFixture.h"

namespace {

std::vector<std::uint8_t> TwoByOne() {
  ByteWriter writer;
  writer.I32(2);
  writer.I32(1);
  writer.U8(3);
  for (std::uint16_t sample : {65535, 65535, 65535, 0, 0, 0}) writer.U16(sample);
  return writer.Take();
}

class ExternalEditorWindowTest : public MainWindowFixture {
protected:
  std::string Unexpected() const { return ToUtf8(UIResources().texts.LookupText(u"unexpect")) + " 0 4"; }
};

}  // namespace

TEST_F(ExternalEditorWindowTest, ModeOneImportsTheExchangeFileIntoAWindowWithoutAlbum) {
  const std::filesystem::path file = root / "host" / "in.bin";
  WriteBytes(file, TwoByOne());
  arguments = {u"i0", U16(file)};
  Open();
  EXPECT_EQ(window->externalEditorMode, 1);
  EXPECT_EQ(window->exchangePath, file);
  EXPECT_EQ(window->albumPage, nullptr);
  EXPECT_EQ(window->tabFrame.showGoAlbum, 0);
  EXPECT_TRUE(window->IsExternalEditor());
  Tick();
  EXPECT_FALSE(std::filesystem::exists(file)) << "imported";
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(PageTitles(), std::vector<std::string>{"in.bin"});
  CSEditPage* page = window->CurrentEditPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->hostPage, 1);
  ASSERT_EQ(page->document.LayerCount(), 1);
  EXPECT_EQ(page->document.m_width, 2u);
  EXPECT_EQ(page->document.m_height, 1u);
  EXPECT_EQ(page->document.GetLayer(0)->Name(), UIResources().texts.TextOrEmpty(u"pluginLayer"));
  EXPECT_EQ(page->document.GetLayer(0)->m_image.At(0, 0)[0], 65535) << "white";
  EXPECT_EQ(page->document.GetLayer(0)->m_image.At(1, 0)[0], 0) << "black";
}

TEST_F(ExternalEditorWindowTest, AFileThatCannotBeReadSaysSoAndStays) {
  const std::filesystem::path file = root / "host" / "in.bin";
  std::vector<std::uint8_t> damaged = TwoByOne();
  damaged[8] = 5;  // five channels
  WriteBytes(file, damaged);
  arguments = {u"i0", U16(file)};
  Open();
  Answer(kIdOk);
  Tick();
  EXPECT_EQ(questions, std::vector<std::string>{Unexpected()});
  EXPECT_EQ(ReadBytes(file), damaged);
  EXPECT_TRUE(PageTitles().empty());
  EXPECT_FALSE(window->ModalRunEnded()) << "the program goes on";
}

TEST_F(ExternalEditorWindowTest, OtherModesDoNotImport) {
  const std::filesystem::path file = root / "host" / "in.bin";
  WriteBytes(file, TwoByOne());
  for (const std::u16string mode : {u"i1", u"i4"}) {
    arguments = {mode, U16(file)};
    Open();
    Tick();
    EXPECT_EQ(window->albumPage, nullptr);
    EXPECT_EQ(ReadBytes(file), TwoByOne());
    CloseWindow();
  }
}

TEST_F(ExternalEditorWindowTest, TheHandBackWritesTheFileAndEndsTheRun) {
  const std::filesystem::path file = root / "host" / "out.bin";
  WriteBytes(file, TwoByOne());
  arguments = {u"i2", U16(file)};
  Open();
  Tick();
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(3, 2));
  std::fill(image.Samples().begin(), image.Samples().end(), std::uint16_t{65535});
  ASSERT_TRUE(window->ReturnImageToHost(image));
  const std::vector<std::uint8_t> back = ReadBytes(file);
  ASSERT_EQ(back.size(), 9u + 3u * 2u * 8u);
  EXPECT_EQ(LoadLE32(back.data()), 3u);
  EXPECT_EQ(back[8], 4);
  EXPECT_TRUE(window->ModalRunEnded());
  EXPECT_EQ(window->ModalResult(), CBrightforgeDlg::kHandedBack);
}

TEST_F(ExternalEditorWindowTest, ClosingTheChangedPageHandsTheOpaquePictureBack) {
  const std::filesystem::path file = root / "host" / "photo.bin";
  ByteWriter writer;
  writer.I32(3);
  writer.I32(1);
  writer.U8(3);
  for (std::uint16_t sample : {65535, 65535, 65535, 32768, 32768, 32768, 0, 0, 0}) writer.U16(sample);
  WriteBytes(file, writer.Take());
  arguments = {u"i0", U16(file)};
  Open();
  Tick();
  CSEditPage* page = window->CurrentEditPage();
  ASSERT_NE(page, nullptr);
  SpriteMessage command;
  ASSERT_EQ(page->RunCommand(kCmdFlipHorizontal, command), 1);
  Answer(kIdYes);
  ASSERT_TRUE(window->ClosePage(page));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], ToUtf8(UIResources().texts.LookupText(u"pluginapplyask")) + " 2 5");
  EXPECT_EQ(window->ModalResult(), CBrightforgeDlg::kHandedBack);
  const std::vector<std::uint8_t> back = ReadBytes(file);
  ASSERT_EQ(back.size(), 9u + 3u * 8u);
  EXPECT_EQ(back[8], 4);
  // Turned: black, grey, white, each opaque; black exactly, with no trace
  // of a background (the conversions round white and grey a little).
  const std::uint16_t expected[3] = {0, 32768, 65535}, slack[3] = {0, 256, 2};
  for (std::size_t x = 0; x < 3; ++x) {
    for (std::size_t c = 0; c < 3; ++c)
      EXPECT_NEAR(LoadLE16(&back[9 + 8 * x + 2 * c]), expected[x], slack[x]) << x << " " << c;
    EXPECT_EQ(LoadLE16(&back[9 + 8 * x + 6]), 65535) << x;
  }
}

TEST_F(ExternalEditorWindowTest, AFailedHandBackSaysSoAndTheRunGoesOn) {
  arguments = {u"i2", U16(root / "gone" / "out.bin")};
  Open();
  Tick();
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(3, 2));
  Answer(kIdOk);
  EXPECT_FALSE(window->ReturnImageToHost(image));
  EXPECT_EQ(questions, std::vector<std::string>{Unexpected()});
  EXPECT_FALSE(window->ModalRunEnded());
}

TEST_F(ExternalEditorWindowTest, ClosingTheWindowAsksOnceAndHandsNothingBack) {
  arguments = {u"\"quoted\""};
  Open();
  Tick();
  EXPECT_EQ(window->externalEditorMode, 10);
  AddPage("edit", kPageKindEdit);
  pageLog->clear();
  Answer(kIdYes);
  host.RequestClose();
  Run();
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_TRUE(pageLog->empty()) << "the page is not asked";
  EXPECT_TRUE(window->ModalRunEnded());
}
