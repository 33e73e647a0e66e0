// The text input dialog: what a name refuses, typed and pasted, and where it
// stops; an initial text longer than the maximum; where the dialog opens;
// and the caller's text after OK and after Cancel.

#include <string>

#include "platform/WindowMessages.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/EditSprite.h"
#include "ui/widgets/SStaticText.h"

namespace {

class StringDialogTest : public DialogFixture {
public:
  void OfferText(const std::string& utf8) {
    host.Clipboard()->OfferFromOtherProgram(
        {{"UTF8_STRING", std::vector<std::uint8_t>(utf8.begin(), utf8.end())}});
  }
  static std::u16string FieldText(CDialogSprite& dialog) {
    return dynamic_cast<CEditSprite*>(dialog.FindControl(CSStringDialog::kEditId))->GetText();
  }
};

TEST_F(StringDialogTest, ANameRefusesForbiddenCharactersTypedOrPasted) {
  OfferText("pa:st\"ed*|?");
  std::u16string name = u"Layer";
  std::u16string shown;
  CDialogScript script;
  script.Next(CSStringDialog::kTemplateId)
      .Type(CSStringDialog::kEditId, u" one:two'three/<x>\\")
      .Key('V', kModControl)
      .Call([&](CDialogSprite& dialog) { shown = FieldText(dialog); })
      .Press(kIdOk);
  ASSERT_TRUE(InputName(name, u"Name"));
  ExpectAnswered(script);
  EXPECT_EQ(shown, u"Layer onetwothreexpasted");
  EXPECT_EQ(name, shown);
}

TEST_F(StringDialogTest, ANameStopsAt32Characters) {
  struct Case {
    std::u16string typed;
    std::u16string answer;
  };
  const Case cases[] = {
      {std::u16string(40, u'n'), std::u16string(32, u'n')},
      {std::u16string(32, u'n'), std::u16string(32, u'n')},
      {u"short", u"short"},
  };
  for (const Case& c : cases) {
    std::u16string name;
    CDialogScript script;
    script.Next().Type(CSStringDialog::kEditId, c.typed).Press(kIdOk);
    ASSERT_TRUE(InputName(name, u"Name"));
    ExpectAnswered(script);
    EXPECT_EQ(name, c.answer);
  }
}

TEST_F(StringDialogTest, ALongInitialTextIsShownWholeTakesNothingAndIsCutOnOk) {
  std::u16string text = u"abcdefghij";
  std::u16string shownBefore, shownAfter;
  CDialogScript script;
  script.Next()
      .Call([&](CDialogSprite& dialog) { shownBefore = FieldText(dialog); })
      .Type(CSStringDialog::kEditId, u"xyz")
      .Call([&](CDialogSprite& dialog) { shownAfter = FieldText(dialog); })
      .Press(kIdOk);
  ASSERT_TRUE(InputString(text, 4, u"Value", u"Four at most"));
  ExpectAnswered(script);
  EXPECT_EQ(shownBefore, u"abcdefghij");
  EXPECT_EQ(shownAfter, u"abcdefghij");
  EXPECT_EQ(text, u"abcd");
}

TEST_F(StringDialogTest, TheAnswerIsNeverCutInsideASurrogatePair) {
  std::u16string text = u"ab\U0001F600\U0001F600";  // 6 units
  CDialogScript script;
  script.Next().Press(kIdOk);
  ASSERT_TRUE(InputString(text, 3, u"Value", {}));
  EXPECT_EQ(text, u"ab");
}

TEST_F(StringDialogTest, OkGivesTheAnswerCancelAndCloseLeaveTheText) {
  struct Case {
    const char* name;
    std::function<void(CDialogScript&)> steps;
    bool confirmed;
    std::u16string text;
  };
  const Case cases[] = {
      {"OK", [](CDialogScript& s) { s.Type(CSStringDialog::kEditId, u" 2").Press(kIdOk); }, true, u"Layer 2"},
      {"Enter", [](CDialogScript& s) { s.Type(CSStringDialog::kEditId, u" 2").Key(VK_RETURN); }, true,
       u"Layer 2"},
      {"Cancel", [](CDialogScript& s) { s.Type(CSStringDialog::kEditId, u" 2").Press(kIdCancel); }, false,
       u"Layer"},
      {"Esc", [](CDialogScript& s) { s.Type(CSStringDialog::kEditId, u" 2").Key(VK_ESCAPE); }, false,
       u"Layer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text = u"Layer";
    CDialogScript script;
    script.Next();
    c.steps(script);
    EXPECT_EQ(InputString(text, 32, u"Rename", u"New name"), c.confirmed);
    ExpectAnswered(script);
    EXPECT_EQ(text, c.text);
  }
}

TEST_F(StringDialogTest, TheDialogShowsTitlePromptAndFocusedField) {
  CDialogScript script;
  script.Next()
      .Call([&](CDialogSprite& dialog) {
        EXPECT_EQ(dialog.title, u"Rename");
        auto* prompt = dynamic_cast<CSStaticText*>(dialog.FindControl(CSStringDialog::kPromptId));
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->Text(), u"New name");
        EXPECT_EQ(window.FocusSprite(), dialog.FindControl(CSStringDialog::kEditId));
        EXPECT_TRUE(window.TextInputActive());
      })
      .Answer(kIdCancel);
  std::u16string text;
  EXPECT_FALSE(InputString(text, 8, u"Rename", u"New name"));
  ExpectAnswered(script);
}

TEST_F(StringDialogTest, TheDialogOpensBesideThePointOrCentred) {
  // 154 x 84 dialog units: 231 x 162 pixels with the title band.
  struct Case {
    Point position;
    Point topLeft;
  };
  const Case cases[] = {
      {{100, 50}, {100, 50}},
      {{1000, 760}, {1000 - 231, 760 - 162}},  // near the bottom-right corner: above and to the left
      {{900, 100}, {900 - 231, 100}},
      {{100, 700}, {100, 700 - 162}},
      {{-1, 5}, {(1024 - 231) / 2, (768 - 162) / 2}},
      {{-1, -1}, {(1024 - 231) / 2, (768 - 162) / 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.position.x << "," << c.position.y);
    Rect place;
    CDialogScript script;
    script.Next().Call([&](CDialogSprite& dialog) { place = dialog.rect; }).Answer(kIdCancel);
    std::u16string text;
    EXPECT_FALSE(InputString(text, 8, u"Where", {}, c.position));
    EXPECT_EQ(place, (Rect{c.topLeft.x, c.topLeft.y, c.topLeft.x + 231, c.topLeft.y + 162}));
  }
}

}  // namespace
