// The settings dialog: missing Editor values open with their defaults (the
// wizard box checked, double-click unchecked), stored values and the
// animation switch are shown, and OK hands back what the user ticked.

#include <cstdlib>
#include <filesystem>

#include "platform/SettingsStore.h"
#include "tests/common/TestData.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SettingsDlg.h"
#include "ui/widgets/AnimationSwitch.h"
#include "ui/widgets/SCheckBox.h"

namespace {

class SettingsDlgTest : public DialogFixture {
public:
  SettingsDlgTest() { ::setenv("XDG_CONFIG_HOME", (ScratchDir() / "config").c_str(), 1); }
  ~SettingsDlgTest() override {
    ::unsetenv("XDG_CONFIG_HOME");
    g_AnimationEnabled = 0;
  }
  static bool Checked(CDialogSprite& dialog, std::int32_t id) {
    return dynamic_cast<CSCheckBox&>(*dialog.FindControl(id)).IsChecked();
  }
};

TEST_F(SettingsDlgTest, MissingValuesOpenWithTheirDefaults) {
  CSettingsDlg dialog;
  CDialogScript script;
  script.Next(CSettingsDlg::kTemplateId)
      .Call([](CDialogSprite& d) {
        EXPECT_FALSE(Checked(d, CSettingsDlg::kAnimationId));
        EXPECT_TRUE(Checked(d, CSettingsDlg::kAutoWizardId));
        EXPECT_TRUE(Checked(d, CSettingsDlg::kFilmForRawId));
        EXPECT_FALSE(Checked(d, CSettingsDlg::kDoubleClickId));
      })
      .Press(CSettingsDlg::kDoubleClickId)
      .Press(CSettingsDlg::kAutoWizardId)
      .Press(1);
  ASSERT_TRUE(dialog.Create(CSettingsDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(dialog.animation, 0u);
  EXPECT_EQ(dialog.autoWizard, 0u);
  EXPECT_EQ(dialog.filmForRaw, 1u);
  EXPECT_EQ(dialog.doubleClickForEdit, 1u);
}

TEST_F(SettingsDlgTest, StoredValuesAndTheAnimationSwitchAreShown) {
  CSettingsStore store;
  ASSERT_TRUE(store.SetDword(u"Editor", u"AutoWizard", 0));
  ASSERT_TRUE(store.SetDword(u"Editor", u"FilmForRAW", 0));
  ASSERT_TRUE(store.SetDword(u"Editor", u"DbClickForEdit", 1));
  g_AnimationEnabled = 1;
  CSettingsDlg dialog;
  CDialogScript script;
  script.Next(CSettingsDlg::kTemplateId)
      .Call([](CDialogSprite& d) {
        EXPECT_TRUE(Checked(d, CSettingsDlg::kAnimationId));
        EXPECT_FALSE(Checked(d, CSettingsDlg::kAutoWizardId));
        EXPECT_FALSE(Checked(d, CSettingsDlg::kFilmForRawId));
        EXPECT_TRUE(Checked(d, CSettingsDlg::kDoubleClickId));
      })
      .Press(2);
  ASSERT_TRUE(dialog.Create(CSettingsDlg::kTemplateId));
  EXPECT_EQ(dialog.RunModal(), kIdCancel);
  ExpectAnswered(script);
}

}  // namespace
