// The dialog template files: what a line may hold, the errors that name the
// line, and the files of the data folder.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/ProgramPath.h"
#include "tests/common/TestData.h"
#include "ui/DialogTemplateSet.h"

namespace {

TEST(DialogTemplateSetTest, ReadsDialogsControlsTextsAndComments) {
  CDialogTemplateSet set;
  std::string error;
  ASSERT_TRUE(set.Parse("\xEF\xBB\xBF# comment\r\n\r\n"
                        "dialog 7 \"cap \\\"q\\\" \\\\ \\n\" 10 20\r\n"
                        "  control Button 1 \"#RdlgCRAll\" -5 6 7 8   # not a comment: refused below\n",
                        "a.dlg", error) == false);
  EXPECT_EQ(error, "a.dlg line 4: more than a control line holds");
  EXPECT_EQ(set.Count(), 0u);

  ASSERT_TRUE(
      set.Parse("# comment\r\n\r\n"
                "dialog 7 \"cap \\\"q\\\" \\\\ \\n\" 10 20\r\n"
                "\tcontrol Button 1 \"#RdlgCRAll\" -5 6 7 8\n"
                "control msctls_trackbar32 65535 \"\" 0 -32768 32767 0\n"
                "dialog 8 \"\u00e9t\u00e9\" 0 0",
                "a.dlg", error))
      << error;
  ASSERT_EQ(set.Count(), 2u);
  const DialogTemplate* seven = set.Find(7);
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven->caption, u"cap \"q\" \\ \\n");
  EXPECT_EQ(seven->width, 10);
  EXPECT_EQ(seven->height, 20);
  ASSERT_EQ(seven->items.size(), 2u);
  EXPECT_EQ(seven->items[0].className, "Button");
  EXPECT_EQ(seven->items[0].id, 1);
  EXPECT_EQ(seven->items[0].text, u"#RdlgCRAll");
  EXPECT_EQ(seven->items[0].x, -5);
  EXPECT_EQ(seven->items[0].cy, 8);
  EXPECT_EQ(seven->items[1].className, "msctls_trackbar32");
  EXPECT_EQ(seven->items[1].y, -32768);
  EXPECT_EQ(set.Find(8)->caption, u"\u00e9t\u00e9");
  EXPECT_TRUE(set.Find(8)->items.empty());
  EXPECT_EQ(set.Find(9), nullptr);
}

TEST(DialogTemplateSetTest, ABadLineIsNamedAndTheFileAddsNothing) {
  struct Case {
    const char* text;
    const char* error;
  };
  const std::string longText(256, 'k');
  const std::string longLine(5000, ' ');
  const Case cases[] = {
      {"control Button 1 \"\" 0 0 1 1", "line 1: a control before any dialog"},
      {"dialog 1 \"\" 1 1\nwidget 1", "line 2: a line is neither a dialog nor a control"},
      {"dialog 65536 \"\" 1 1", "line 1: the dialog id is not a number from 0 to 65535"},
      {"dialog -1 \"\" 1 1", "line 1: the dialog id is not a number from 0 to 65535"},
      {"dialog 1 cap 1 1", "line 1: the caption is not a quoted text"},
      {"dialog 1 \"open 1 1", "line 1: the caption is not a quoted text"},
      {"dialog 1 \"tab\there\" 1 1", "line 1: the caption is not a quoted text"},
      {"dialog 1 \"\" 1", "line 1: the dialog size is not two numbers from 0 to 32767"},
      {"dialog 1 \"\" 1 32768", "line 1: the dialog size is not two numbers from 0 to 32767"},
      {"dialog 1 \"\" 1 1x", "line 1: the dialog size is not two numbers from 0 to 32767"},
      {"dialog 1 \"\" 99999999999999999999 1", "line 1: the dialog size is not two numbers from 0 to 32767"},
      {"dialog 1 \"\" 1 1\ndialog 1 \"\" 1 1", "line 2: the dialog id 1 is taken"},
      {"dialog 1/2 \"\" 1 1\ndialog 1/2 \"\" 1 1", "line 2: the dialog id 1/2 is taken"},
      {"dialog 1/0 \"\" 1 1", "line 1: the dialog id is not a number from 0 to 65535"},
      {"dialog 1/256 \"\" 1 1", "line 1: the dialog id is not a number from 0 to 65535"},
      {"dialog 1/ \"\" 1 1", "line 1: the dialog id is not a number from 0 to 65535"},
      {"dialog 1 \"\" 1 1\ncontrol Bu-tton 1 \"\" 0 0 1 1", "line 2: the control class is not a name"},
      {"dialog 1 \"\" 1 1\ncontrol Button 1 \"\" 0 0 1 -1",
       "line 2: the control's place is not x, y, cx and cy in range"},
      {"dialog 1 \"\" 1 1\ncontrol Button 1 \"\" 0 0 1",
       "line 2: the control's place is not x, y, cx and cy in range"},
      {"dialog 1 \"\" 1 1\ncontrol Button 1 \"\" 0 0 1 1 1", "line 2: more than a control line holds"},
      {"dialog 1 \"\" 1 1\n\"x\"", "line 2: a line starts with a text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CDialogTemplateSet set;
    std::string error;
    EXPECT_FALSE(set.Parse(c.text, "f.dlg", error));
    EXPECT_EQ(error, std::string("f.dlg ") + c.error);
    EXPECT_EQ(set.Count(), 0u);
  }
  CDialogTemplateSet set;
  std::string error;
  EXPECT_FALSE(set.Parse("dialog 1 \"" + longText + "\" 1 1", "f", error));
  EXPECT_EQ(error, "f line 1: the caption is longer than 255 characters");
  EXPECT_FALSE(set.Parse("dialog 1 \"\" 1 1\n" + longLine, "f", error));
  EXPECT_EQ(error, "f line 2: the line is too long");
  std::string many = "dialog 1 \"\" 1 1\n";
  for (int i = 0; i <= 256; ++i) many += "control Static 1 \"\" 0 0 1 1\n";
  EXPECT_FALSE(set.Parse(many, "f", error));
  EXPECT_EQ(error, "f line 258: too many controls in one dialog");
  // An id taken by an earlier file.
  ASSERT_TRUE(set.Parse("dialog 1 \"\" 1 1", "f", error));
  EXPECT_FALSE(set.Parse("dialog 2 \"\" 1 1\ndialog 1 \"\" 1 1", "g", error));
  EXPECT_EQ(error, "g line 2: the dialog id 1 is taken");
  EXPECT_EQ(set.Count(), 1u);
}

TEST(DialogTemplateSetTest, AFolderIsReadInNameOrderAndMayBeMissing) {
  const auto folder = ScratchDir() / "dialogs";
  CDialogTemplateSet set;
  std::string error;
  EXPECT_TRUE(set.LoadFolder(folder, error));
  EXPECT_EQ(set.Count(), 0u);

  std::filesystem::create_directories(folder);
  std::ofstream(folder / "b.dlg") << "dialog 2 \"b\" 1 1\n";
  std::ofstream(folder / "a.dlg") << "dialog 1 \"a\" 1 1\n";
  std::ofstream(folder / "notes.txt") << "not a template";
  std::ofstream(folder / "c.dlg") << "dialog 1 \"again\" 1 1\n";
  EXPECT_FALSE(set.LoadFolder(folder, error));
  EXPECT_EQ(error, "c.dlg line 1: the dialog id 1 is taken");
  EXPECT_EQ(set.Count(), 2u);  // a.dlg and b.dlg stay
  EXPECT_EQ(set.Find(1)->caption, u"a");

  std::filesystem::remove(folder / "c.dlg");
  std::ofstream(folder / "empty.dlg");
  set.Clear();
  EXPECT_FALSE(set.LoadFolder(folder, error));
  EXPECT_NE(error.find("empty.dlg: the file cannot be read"), std::string::npos) << error;
}

TEST(DialogTemplateSetTest, TheDataFolderTemplatesAreThere) {
  CDialogTemplateSet set;
  std::string error;
  ASSERT_TRUE(set.LoadFolder(GetProgramDataFolder() / "dialogs", error)) << error;
  for (const std::int32_t id : {129, 132, 140}) EXPECT_NE(set.Find(id), nullptr) << id;
  const DialogTemplate* box = set.Find(132);
  EXPECT_EQ(box->PixelSize(), (Size{438, 153}));
  EXPECT_EQ(box->items.size(), 6u);
}

}  // namespace

TEST(DialogTemplateSetTest, TwoDialogsShareAnIdInDifferentGroups) {
  CDialogTemplateSet set;
  std::string error;
  ASSERT_TRUE(set.Parse("dialog 210 \"dlgAlign\" 10 10\ndialog 210/1 \"dlgTask\" 315 213\n", "g", error))
      << error;
  ASSERT_NE(set.Find(210), nullptr);
  ASSERT_NE(set.Find(DialogTemplateKey(210, 1)), nullptr);
  EXPECT_EQ(set.Find(210)->caption, u"dlgAlign");
  EXPECT_EQ(set.Find(DialogTemplateKey(210, 1))->caption, u"dlgTask");
  EXPECT_EQ(set.Find(DialogTemplateKey(210, 1))->width, 315);
  EXPECT_EQ(set.Find(DialogTemplateKey(210, 2)), nullptr);
}
