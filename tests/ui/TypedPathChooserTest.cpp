// The typed-path file chooser: the open form insists on an existing file,
// the save form completes the extension, reads a relative name from the
// start folder and asks before it replaces a file; Cancel and an empty
// answer cancel both.

#include <fstream>
#include <string>

#include "platform/Utf16.h"
#include "tests/common/TestData.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/dialogs/TypedPathChooser.h"
#include "ui/widgets/EditSprite.h"

namespace {

namespace fs = std::filesystem;

class TypedPathChooserTest : public DialogFixture {
public:
  void SetUp() override {
    DialogFixture::SetUp();
    folder = ScratchDir();
    std::ofstream(folder / "photo.jpg") << "x";
  }
  // Replaces the field's text, then OK.
  static void Answer(CDialogScript& script, const fs::path& path) {
    script.Next(CSStringDialog::kTemplateId)
        .Call([text = PathToUtf16(path)](CDialogSprite& dialog) {
          auto* field = dynamic_cast<CEditSprite*>(dialog.FindControl(CSStringDialog::kEditId));
          ASSERT_NE(field, nullptr);
          ASSERT_TRUE(field->SetText(text));
        })
        .Press(kIdOk);
  }

  fs::path folder;
  CTypedPathChooser chooser;
};

TEST_F(TypedPathChooserTest, OpenAsksAgainUntilTheFileExists) {
  CDialogScript script;
  Answer(script, folder / "missing.jpg");
  script.Next(CSMessageDlg::kTemplateId).Press(kIdOk);
  Answer(script, folder);  // a folder is no file
  script.Next(CSMessageDlg::kTemplateId).Press(kIdOk);
  Answer(script, folder / "photo.jpg");
  fs::path chosen;
  ASSERT_TRUE(chooser.ChooseOpenPath(u"OpenFile", u"AllSupportFile", chosen));
  ExpectAnswered(script);
  EXPECT_EQ(chosen, folder / "photo.jpg");
}

TEST_F(TypedPathChooserTest, CancelOrNothingTypedCancels) {
  for (bool cancel : {true, false}) {
    CDialogScript script;
    if (cancel) {
      script.Next(CSStringDialog::kTemplateId).Press(kIdCancel);
    } else {
      Answer(script, {});
    }
    fs::path chosen = "unchanged";
    EXPECT_FALSE(chooser.ChooseOpenPath(u"OpenFile", u"AllSupportFile", chosen));
    ExpectAnswered(script);
    EXPECT_EQ(chosen, "unchanged");
  }
  CDialogScript script;
  script.Next(CSStringDialog::kTemplateId).Press(kIdCancel);
  fs::path chosen;
  EXPECT_FALSE(chooser.ChooseSavePath(u"SaveFile", folder / "a.jpg", u".jpg", chosen));
  ExpectAnswered(script);
}

TEST_F(TypedPathChooserTest, SaveCompletesTheNameAndAsksBeforeReplacing) {
  const struct {
    const char* typed;
    bool exists;
    fs::path expected;
  } cases[] = {
      {"new", false, "new.jpg"},
      {"new.png", false, "new.png"},
      {"photo", true, "photo.jpg"},
  };
  for (const auto& c : cases) {
    CDialogScript script;
    Answer(script, c.typed);
    if (c.exists) {
      script.Next(CSMessageDlg::kTemplateId).Key('N');
      Answer(script, c.typed);
      script.Next(CSMessageDlg::kTemplateId).Key('Y');
    }
    fs::path chosen;
    ASSERT_TRUE(chooser.ChooseSavePath(u"SaveFile", folder / "start.jpg", u".jpg", chosen)) << c.typed;
    ExpectAnswered(script);
    EXPECT_EQ(chosen, folder / c.expected);
  }
}

}  // namespace
