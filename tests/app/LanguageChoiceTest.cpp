// Choosing the language and the skin: stored for the next start with
// "restartTosee", "unexpect" when the settings cannot be written, the texts
// unchanged until then; the program menu lists the language files and
// checks the choices; the edit page's commands reach the choice.

#include "app/AppData.h"
#include "app/Language.h"
#include "editor/CommandRegistry.h"
#include "editor/MenuCatalogue.h"
#include "editor/SEditPage.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "tests/app/MainWindowFixture.h"
#include "ui/widgets/SMenu.h"

namespace {

class LanguageChoiceTest : public MainWindowFixture {
protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    WriteLanguage("francais.txt", {"\"title\"=\"Tessera en fran\xc3\xa7"
                                   "ais\""});
    WriteLanguage("Deutsch.TXT", {"\"title\"=\"Tessera auf Deutsch\""});
  }
  std::string Stored(const RegTextValue& value) const {
    std::u16string text;
    static_cast<void>(GetRegString(value, text, true));  // absent reads as empty
    return ToUtf8(text);
  }
  std::string Text(std::u16string_view key) const { return ToUtf8(UIResources().texts.TextOrEmpty(key)); }
  // The settings file becomes a folder: every write fails.
  void BreakSettings() {
    std::filesystem::remove(UserSettings());
    std::filesystem::create_directories(UserSettings());
  }
};

TEST_F(LanguageChoiceTest, AChoiceIsStoredForTheNextStartAndTold) {
  Open();
  const std::string title = Text(u"title");
  Answer(kIdOk);
  ChangeLanguage(u"francais");
  EXPECT_EQ(Stored(RegistryProfile::kLanguage), "francais");
  EXPECT_EQ(g_CurrentLanguage, u"francais");
  EXPECT_EQ(Text(u"title"), title);  // until the next start
  Answer(kIdOk);
  ChangeSkin(u"bright");
  EXPECT_EQ(Stored(RegistryProfile::kSkin), "bright");
  Answer(kIdOk);
  ChangeLanguage(u"");
  EXPECT_EQ(Stored(RegistryProfile::kLanguage), "");

  BreakSettings();
  Answer(kIdOk);
  ChangeLanguage(u"Deutsch");
  Answer(kIdOk);
  ChangeSkin(u"");
  const std::string restart = Text(u"restartTosee"), unexpected = Text(u"unexpect");
  EXPECT_EQ(questions, (std::vector<std::string>{restart + " 0 4", restart + " 0 4", restart + " 0 4",
                                                 unexpected + " 0 4", unexpected + " 3 4"}));
  CloseWindow();

  // The next start shows the stored language.
  std::filesystem::remove(UserSettings());
  ASSERT_TRUE(SetRegString(u"Program", u"Language", u"FRANCAIS"));
  Open();
  EXPECT_EQ(Text(u"title"),
            "Tessera en fran\xc3\xa7"
            "ais");
}

TEST_F(LanguageChoiceTest, TheProgramMenuListsTheFilesAndTheCommandsChoose) {
  ASSERT_TRUE(SetRegString(u"Program", u"Language", u"francais"));
  Open();
  CSMenu menu;
  BuildPopupMenu(menu, kMenuProgram, {}, nullptr);
  ASSERT_EQ(menu.ItemCount(), 11u);
  EXPECT_EQ(ToUtf8(menu.items[3]->caption), "Deutsch");
  EXPECT_EQ(ToUtf8(menu.items[4]->caption), "francais");
  EXPECT_EQ(menu.items[2]->checked, 0);
  EXPECT_EQ(menu.items[4]->checked, 1);
  EXPECT_EQ(menu.items[6]->checked, 1);  // the default skin
  menu.Destroy(0);

  // The edit page's commands 21501 + i choose the i-th file.
  CBFDoc document;
  CBgraImage16 image;
  ASSERT_EQ(image.Create(8, 8), 1);
  ASSERT_EQ(document.InsertLayer(image, u"x", -1), 1);
  ASSERT_TRUE(SetRegDword(u"Editor", u"AutoWizard", 0));
  window->OpenDocumentPage(pictures / "x.png", true, &document, 0);
  CSEditPage* page = window->CurrentEditPage();
  ASSERT_NE(page, nullptr);
  SpriteMessage message;
  Answer(kIdOk);
  EXPECT_EQ(EditCommands().Run(21501, *page, message), 1);
  EXPECT_EQ(Stored(RegistryProfile::kLanguage), "Deutsch");
  EXPECT_EQ(EditCommands().Run(21503, *page, message), 0);  // no third file
  Answer(kIdOk);
  EXPECT_EQ(EditCommands().Run(21011, *page, message), 1);
  EXPECT_EQ(Stored(RegistryProfile::kSkin), "bright");
}

}  // namespace
