// The message box: how each button set answers keys, buttons and the close
// button; growth by the text's height; what it draws; and the box that
// cannot be built.

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "platform/WindowMessages.h"
#include "tests/common/TestData.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SStaticText.h"

namespace {

using MessageBoxTest = DialogFixture;

// Ends the dialog with 99: a result of 99 shows that nothing before it did.
constexpr std::int32_t kUnanswered = 99;

void CloseByTitleBand(CDialogSprite& dialog) { dialog.closeButton.Click(); }

TEST_F(MessageBoxTest, EachButtonSetAnswersAsItShould) {
  using Steps = std::function<void(CDialogScript&)>;
  struct Case {
    const char* name;
    MessageBoxButtons buttons;
    Steps steps;
    std::int32_t result;
  };
  const auto press = [](std::int32_t id) { return [id](CDialogScript& s) { s.Press(id); }; };
  const auto key = [](std::uint32_t vk, std::uint32_t modifiers = 0) {
    return [vk, modifiers](CDialogScript& s) { s.Key(vk, modifiers).Answer(kUnanswered); };
  };
  const Steps close = [](CDialogScript& s) { s.Call(CloseByTitleBand); };
  const MessageBoxButtons ok = MessageBoxButtons::Ok, yesNo = MessageBoxButtons::YesNo,
                          yesNoCancel = MessageBoxButtons::YesNoCancel;
  const Case cases[] = {
      {"OK", ok, press(kIdOk), kIdOk},
      {"Enter on OK", ok, key(VK_RETURN), kIdOk},
      {"close OK box", ok, close, kIdCancel},
      {"Esc in OK box", ok, key(VK_ESCAPE), kUnanswered},
      {"Y in OK box", ok, key('Y'), kUnanswered},
      {"Yes", yesNo, press(kIdYes), kIdYes},
      {"No", yesNo, press(kIdNo), kIdNo},
      {"Y", yesNo, key('Y'), kIdYes},
      {"N", yesNo, key('N'), kIdNo},
      {"Shift+Y", yesNo, key('Y', kModShift), kUnanswered},
      {"Ctrl+N", yesNo, key('N', kModControl), kUnanswered},
      {"close Yes/No box", yesNo, close, kIdNo},
      {"Esc in Yes/No box", yesNo, key(VK_ESCAPE), kUnanswered},
      {"Enter in a fresh Yes/No box", yesNo, key(VK_RETURN), kUnanswered},
      {"Yes of three", yesNoCancel, press(kIdYes), kIdYes},
      {"No of three", yesNoCancel, press(kIdNo), kIdNo},
      {"Cancel", yesNoCancel, press(kIdCancel), kIdCancel},
      {"close Yes/No/Cancel box", yesNoCancel, close, kIdCancel},
      {"Y in Yes/No/Cancel box", yesNoCancel, key('Y'), kUnanswered},
      {"Esc in Yes/No/Cancel box", yesNoCancel, key(VK_ESCAPE), kUnanswered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CDialogScript script;
    script.Next(CSMessageDlg::kTemplateId);
    c.steps(script);
    EXPECT_EQ(ShowMessageBox(u"Question?", MessageBoxIcon::Question, c.buttons), c.result);
    ExpectAnswered(script);
    EXPECT_EQ(window.TopPopup(), nullptr);
    EXPECT_EQ(window.KeyShortcutCount(), 0u);
  }
}

TEST_F(MessageBoxTest, OnlyTheButtonsOfTheSetAreShown) {
  struct Case {
    MessageBoxButtons buttons;
    bool ok, yes, no, cancel;
  };
  const Case cases[] = {{MessageBoxButtons::Ok, true, false, false, false},
                        {MessageBoxButtons::YesNo, false, true, true, false},
                        {MessageBoxButtons::YesNoCancel, false, true, true, true}};
  for (const Case& c : cases) {
    CDialogScript script;
    script.Next()
        .Call([&](CDialogSprite& box) {
          EXPECT_EQ(box.FindControl(kIdOk)->IsShown(), c.ok);
          EXPECT_EQ(box.FindControl(kIdYes)->IsShown(), c.yes);
          EXPECT_EQ(box.FindControl(kIdNo)->IsShown(), c.no);
          EXPECT_EQ(box.FindControl(kIdCancel)->IsShown(), c.cancel);
          EXPECT_FALSE(box.FindControl(CSMessageDlg::kCheckBoxId)->IsShown());
          EXPECT_TRUE(box.closeButton.IsShown());
          EXPECT_EQ(box.title, u"Tessera");
        })
        .Answer(kIdOk);
    EXPECT_EQ(ShowMessageBox(u"x", MessageBoxIcon::Information, c.buttons), kIdOk);
    ExpectAnswered(script);
  }
}

TEST_F(MessageBoxTest, ATallTextGrowsTheBoxAndMovesTheButtonsDown) {
  // 292 x 94 dialog units: 438 x 153 pixels and the title band; the label is
  // 333 x 55, the button row 149 from the top.
  std::u16string tall;
  for (int line = 0; line < 8; ++line) tall += u"A line of the message\\n";
  CBgraImage rendered;
  ASSERT_TRUE(UIResources().skins.RenderWrappedText(rendered, tall, 333, 0));
  const auto textHeight = static_cast<std::int32_t>(rendered.height);
  ASSERT_GT(textHeight, 45);
  const std::int32_t grow = textHeight - 45;

  struct Case {
    std::u16string text;
    std::int32_t grow;
  };
  const Case cases[] = {{u"Short.", 0}, {tall, grow}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grow);
    CDialogScript script;
    script.Next()
        .Call([&](CDialogSprite& box) {
          EXPECT_EQ(box.rect.Width(), 438);
          EXPECT_EQ(box.rect.Height(), 178 + c.grow);
          EXPECT_EQ(box.FindControl(CSMessageDlg::kTextId)->rect, (Rect{95, 41, 428, 96 + c.grow}));
          for (const std::int32_t id : {kIdOk, kIdYes, kIdNo, CSMessageDlg::kCheckBoxId, kIdCancel})
            EXPECT_EQ(box.FindControl(id)->rect.top, (id == CSMessageDlg::kCheckBoxId ? 110 : 149) + c.grow)
                << id;
          // Not centred again.
          EXPECT_EQ(box.rect.top, (768 - 178) / 2);
        })
        .Answer(kIdOk);
    EXPECT_EQ(ShowMessageBox(c.text, MessageBoxIcon::Information, MessageBoxButtons::Ok), kIdOk);
    ExpectAnswered(script);
  }
}

TEST_F(MessageBoxTest, TheBoxDrawsItsIconCellAndTheSeparator) {
  for (const MessageBoxIcon icon : {MessageBoxIcon::Information, MessageBoxIcon::Error}) {
    CDialogScript script;
    script.Next()
        .Call([&](CDialogSprite& dialog) {
          Frame();
          auto& box = dynamic_cast<CSMessageDlg&>(dialog);
          std::lock_guard guard(box.lock);
          const CBgraImage& cell = *box.icons.At(static_cast<std::size_t>(icon));
          ASSERT_EQ(cell.width, 64u);
          // Opaque icon pixels cover the frame.
          for (const Point at : {Point{32, 20}, Point{32, 40}, Point{20, 32}}) {
            const std::uint32_t expected =
                PixelAt(cell, static_cast<std::uint32_t>(at.x), static_cast<std::uint32_t>(at.y));
            if ((expected >> 24) != 255) continue;
            EXPECT_EQ(PixelAt(box.surface, static_cast<std::uint32_t>(10 + at.x),
                              static_cast<std::uint32_t>(40 + at.y)) &
                          0xFFFFFF,
                      expected & 0xFFFFFF);
          }
          // The line 10 above the button row, across the box.
          for (const std::uint32_t x : {2u, 200u, 436u}) {
            const std::uint32_t pixel = PixelAt(box.surface, x, 139);
            EXPECT_NEAR(static_cast<int>((pixel >> 16) & 0xFF), 80, 2) << x;
            EXPECT_NEAR(static_cast<int>(pixel >> 24), 255, 1) << x;
          }
        })
        .Answer(kIdOk);
    EXPECT_EQ(ShowMessageBox(u"Drawn", icon, MessageBoxButtons::Ok), kIdOk);
    ExpectAnswered(script);
  }
}

TEST_F(MessageBoxTest, ALongTextIsCutTo1021CharactersAndDots) {
  std::u16string shown;
  CDialogScript script;
  script.Next()
      .Call([&](CDialogSprite& box) { shown = dynamic_cast<CSMessageDlg&>(box).text; })
      .Answer(kIdOk);
  EXPECT_EQ(ShowMessageBox(std::u16string(1023, u'm'), MessageBoxIcon::Warning, MessageBoxButtons::Ok),
            kIdOk);
  EXPECT_EQ(shown, std::u16string(1021, u'm') + u"..");
}

TEST_F(MessageBoxTest, WithoutItsIconPictureTheBoxIsNotShown) {
  // A data folder whose skin folder lacks "messagebox.png".
  const std::filesystem::path data = ScratchDir() / "data";
  const std::filesystem::path real = UIResources().programFolder;
  std::filesystem::create_directories(data / "skin");
  std::filesystem::create_directory_symlink(std::filesystem::absolute(real / "basic"), data / "basic");
  std::filesystem::create_directory_symlink(std::filesystem::absolute(real / "dialogs"), data / "dialogs");
  ASSERT_TRUE(UIResources().Init(data, u""));
  CDialogScript script;
  script.Next().Answer(kIdOk);
  EXPECT_EQ(ShowMessageBox(u"Not shown", MessageBoxIcon::Error, MessageBoxButtons::Ok), kMessageBoxFailed);
  EXPECT_TRUE(script.Shown().empty());
  EXPECT_EQ(window.TopPopup(), nullptr);
  ASSERT_TRUE(UIResources().Init(real, u""));
}

}  // namespace
