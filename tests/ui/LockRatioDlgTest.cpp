// The ratio presets and their dialog: the records the preset file holds in
// each size, the shipped copy and the user copy, adding, replacing and
// removing presets, the menu, choosing a preset (also beyond the hundredth),
// and the values the dialog refuses.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/LittleEndian.h"
#include "tests/common/TestData.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/dialogs/LockRatioDlg.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"
#include "ui/widgets/SCheckBox.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Presets = std::vector<RatioPreset>;

Bytes PresetFile(const Presets& presets) {
  ByteWriter out;
  out.U16(RatioPreset::kRecordSize);
  for (const RatioPreset& preset : presets) preset.AppendRecord(out);
  return out.Take();
}

class LockRatioTest : public DialogFixture {
public:
  LockRatioTest() {
    const auto root = ScratchDir();
    config = root / "config";
    shipped = root / "shipped";
    std::filesystem::create_directories(shipped);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  ~LockRatioTest() override { ::unsetenv("XDG_CONFIG_HOME"); }

  std::filesystem::path UserCopy() const { return config / "Varnel Softwares" / "lockratio.set"; }
  void WriteUserCopy(const Bytes& bytes) {
    std::filesystem::create_directories(UserCopy().parent_path());
    WriteFileBytes(UserCopy(), bytes);
  }
  Presets UserPresets() const {
    RatioPresetList list(shipped);
    EXPECT_TRUE(list.Load());
    return list.presets;
  }
  // Runs the dialog on the values; its end code, -1 when it cannot be made.
  std::int32_t Run(CLockRatioDlg& dialog, std::int32_t lock, std::uint32_t width, std::uint32_t height) {
    dialog.lockRatio = lock;
    dialog.ratioWidth = width;
    dialog.ratioHeight = height;
    if (!dialog.Create(CLockRatioDlg::kTemplateId)) {
      ADD_FAILURE() << "the lock-ratio dialog is not made";
      return -1;
    }
    return dialog.RunModal();
  }
  // Chooses a row of the open preset menu and lets the choice arrive.
  void Choose(CDialogSprite& dialog, std::size_t row) {
    CSMenu& menu = dynamic_cast<CLockRatioDlg&>(dialog).presetMenu;
    Frame();
    menu.ActivateItem(static_cast<std::int32_t>(row));
    Frame();
  }
  static std::vector<std::u16string> MenuRows(CDialogSprite& dialog) {
    std::vector<std::u16string> rows;
    for (const auto& item : dynamic_cast<CLockRatioDlg&>(dialog).presetMenu.items)
      rows.push_back(item->separator ? u"-" : item->caption);
    return rows;
  }
  static bool Enabled(CDialogSprite& dialog, std::int32_t id) {
    return dialog.FindControl(id)->acceptsInput != 0;
  }

  std::filesystem::path config;
  std::filesystem::path shipped;
};

TEST_F(LockRatioTest, TheFileHoldsRecordsOfEverySizeUpTo72) {
  const auto record = [](std::u16string name, std::uint32_t w, std::uint32_t h, std::size_t size) {
    ByteWriter out;
    RatioPreset{std::move(name), w, h}.AppendRecord(out);
    Bytes bytes = out.Take();
    bytes.resize(size);
    return bytes;
  };
  const auto file = [](std::uint16_t size, std::vector<Bytes> records) {
    ByteWriter out;
    out.U16(size);
    for (const Bytes& r : records) out.Bytes(r);
    return out.Take();
  };
  struct Case {
    const char* what;
    Bytes bytes;
    bool loaded;
    Presets presets;
  };
  const Presets kept = {{u"Kept", 5, 4}};
  const Case cases[] = {
      {"two records of 72 bytes",
       file(72, {record(u"Wide", 16, 9, 72), record(u"Photo", 3, 2, 72)}),
       true,
       {{u"Wide", 16, 9}, {u"Photo", 3, 2}}},
      {"older records of 40 bytes have no ratio",
       file(40, {record(u"Old", 16, 9, 40), record(u"Older", 1, 1, 40)}),
       true,
       {{u"Old", 0, 0}, {u"Older", 0, 0}}},
      {"73 bytes a record are refused", file(73, {record(u"New", 4, 3, 73)}), false, kept},
      {"record size 0 is an empty list", file(0, {record(u"Wide", 16, 9, 72)}), true, {}},
      {"a name without its terminator keeps 31 units",
       file(72, {[] {
              ByteWriter out;
              out.Text16(std::u16string(32, u'x'), 32);
              out.U32(16);
              out.U32(9);
              return out.Take();
            }()}),
       true,
       {{std::u16string(31, u'x'), 16, 9}}},
  };
  for (const Case& c : cases) {
    WriteUserCopy(c.bytes);
    RatioPresetList list(shipped);
    list.presets = kept;
    EXPECT_EQ(list.Load(), c.loaded) << c.what;
    EXPECT_EQ(list.presets, c.presets) << c.what;
  }
}

TEST_F(LockRatioTest, AFileItCannotReadKeepsTheDialogClosedAndUnchanged) {
  Bytes bytes = PresetFile({{u"Wide", 16, 9}});
  bytes[0] = 73;
  WriteUserCopy(bytes);
  CDialogScript script;
  script.Next().Press(kIdOk);
  CLockRatioDlg dialog;
  EXPECT_EQ(Run(dialog, 1, 4, 3), 0);
  EXPECT_TRUE(script.Shown().empty());
  EXPECT_EQ(ReadFileBytes(UserCopy()), bytes);
}

TEST_F(LockRatioTest, TheShippedCopyIsReadUntilAChangeWritesTheUserCopy) {
  WriteFileBytes(shipped / "lockratio.set", PresetFile({{u"Wide", 16, 9}}));
  std::vector<std::u16string> rows;
  CDialogScript script;
  script.Next(CLockRatioDlg::kTemplateId)
      .Press(CLockRatioDlg::kPresetButtonId)
      .Call([&](CDialogSprite& dialog) {
        rows = MenuRows(dialog);
        Choose(dialog, rows.size() - 2);  // "Add to preset"
      })
      .Press(kIdOk);
  script.Next(CSStringDialog::kTemplateId).Type(CSStringDialog::kEditId, u"Square").Press(kIdOk);
  CLockRatioDlg dialog;
  dialog.presets = RatioPresetList(shipped);
  EXPECT_EQ(Run(dialog, 1, 1, 1), kIdOk);
  ExpectAnswered(script);
  const std::u16string add = UIResources().texts.TextOrKey(u"dlgAdd to preset");
  EXPECT_EQ(rows, (std::vector<std::u16string>{u"Wide", u"-", add,
                                               UIResources().texts.TextOrKey(u"Remove current")}));
  EXPECT_EQ(UserPresets(), (Presets{{u"Wide", 16, 9}, {u"Square", 1, 1}}));
  EXPECT_EQ(ReadFileBytes(shipped / "lockratio.set"), PresetFile({{u"Wide", 16, 9}}));
}

TEST_F(LockRatioTest, AddingUnderAKnownNameReplacesAndRemovingGoesByTheRatio) {
  WriteUserCopy(PresetFile({{u"Wide", 16, 9}, {u"Photo", 3, 2}}));
  std::vector<std::u16string> rows;
  CDialogScript script;
  script.Next(CLockRatioDlg::kTemplateId)
      .Press(CLockRatioDlg::kPresetButtonId)
      .Call([&](CDialogSprite& dialog) {
        rows = MenuRows(dialog);
        Choose(dialog, 3);  // Add, as "Wide"
      })
      .Call([&](CDialogSprite& dialog) {
        EXPECT_EQ(UserPresets(), (Presets{{u"Photo", 3, 2}, {u"Wide", 7, 5}}));
        auto& ratio = dynamic_cast<CLockRatioDlg&>(dialog);
        ratio.ratioWidth = 3;
        ratio.ratioHeight = 2;
        ASSERT_TRUE(ratio.UpdateData(false));
        ratio.RemoveCurrentPreset();  // "Photo", by its ratio
        EXPECT_EQ(UserPresets(), (Presets{{u"Wide", 7, 5}}));
        std::filesystem::remove(UserCopy());
        ratio.RemoveCurrentPreset();  // nothing of 3 : 2 is left: nothing is written
        EXPECT_FALSE(std::filesystem::exists(UserCopy()));
      })
      .Press(kIdCancel);
  script.Next(CSStringDialog::kTemplateId).Type(CSStringDialog::kEditId, u"Wide").Press(kIdOk);
  CLockRatioDlg dialog;
  EXPECT_EQ(Run(dialog, 1, 7, 5), kIdCancel);
  ExpectAnswered(script);
  EXPECT_EQ(rows[0], u"Photo") << "sorted by name";
  EXPECT_EQ(rows[1], u"Wide");
}

TEST_F(LockRatioTest, AChosenPresetLocksItsRatioAndTheCheckBoxEnablesTheFields) {
  WriteUserCopy(PresetFile({{u"Wide", 16, 9}}));
  std::vector<std::u16string> rowsWithout;
  bool enabledAtStart = true, enabledAfterChoice = true, enabledAfterUnlock = true;
  CDialogScript script;
  script.Next(CLockRatioDlg::kTemplateId)
      .Call([&](CDialogSprite& dialog) { enabledAtStart = Enabled(dialog, CLockRatioDlg::kWidthId); })
      .Press(CLockRatioDlg::kPresetButtonId)
      .Call([&](CDialogSprite& dialog) { Choose(dialog, 0); })
      .Call([&](CDialogSprite& dialog) {
        auto* box = dynamic_cast<CSCheckBox*>(dialog.FindControl(CLockRatioDlg::kLockId));
        EXPECT_TRUE(box->IsChecked());
        // The menu leaves the fields as they were; the check box changes them.
        enabledAfterChoice = Enabled(dialog, CLockRatioDlg::kHeightId);
      })
      .Press(CLockRatioDlg::kLockId)
      .Press(CLockRatioDlg::kLockId)
      .Press(CLockRatioDlg::kLockId)
      .Call([&](CDialogSprite& dialog) {
        enabledAfterUnlock =
            Enabled(dialog, CLockRatioDlg::kWidthId) || Enabled(dialog, CLockRatioDlg::kHeightId);
        dynamic_cast<CLockRatioDlg&>(dialog).presets.presets.clear();
      })
      .Press(CLockRatioDlg::kPresetButtonId)
      .Call([&](CDialogSprite& dialog) {
        rowsWithout = MenuRows(dialog);
        dynamic_cast<CLockRatioDlg&>(dialog).presetMenu.CloseMenu(false);
      })
      .Press(CLockRatioDlg::kLockId)
      .Press(kIdOk);
  CLockRatioDlg dialog;
  EXPECT_EQ(Run(dialog, 0, 4, 3), kIdOk);
  ExpectAnswered(script);
  EXPECT_FALSE(enabledAtStart);
  EXPECT_FALSE(enabledAfterChoice);
  EXPECT_FALSE(enabledAfterUnlock);
  EXPECT_EQ(rowsWithout.size(), 2u) << "only the two commands";
  EXPECT_EQ(dialog.lockRatio, 1);
  EXPECT_EQ(dialog.ratioWidth, 16u);
  EXPECT_EQ(dialog.ratioHeight, 9u);
}

TEST_F(LockRatioTest, PresetsBeyondTheHundredthAreChosenNotTakenForCommands) {
  Presets many;
  for (std::uint32_t i = 1; i <= 102; ++i) {
    std::u16string name = u"P" + std::u16string(1, static_cast<char16_t>(u'0' + i / 100)) +
                          static_cast<char16_t>(u'0' + i / 10 % 10) + static_cast<char16_t>(u'0' + i % 10);
    many.push_back({name, i, i + 1});
  }
  WriteUserCopy(PresetFile(many));
  CDialogScript script;
  script.Next(CLockRatioDlg::kTemplateId)
      .Press(CLockRatioDlg::kPresetButtonId)
      .Call([&](CDialogSprite& dialog) { Choose(dialog, 100); })
      .Press(CLockRatioDlg::kPresetButtonId)
      .Call([&](CDialogSprite& dialog) { Choose(dialog, 101); })
      .Press(kIdOk);
  CLockRatioDlg dialog;
  EXPECT_EQ(Run(dialog, 0, 4, 3), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(script.Shown(), (std::vector<std::int32_t>{CLockRatioDlg::kTemplateId})) << "no name was asked";
  EXPECT_EQ(dialog.ratioWidth, 102u);
  EXPECT_EQ(dialog.ratioHeight, 103u);
  EXPECT_EQ(UserPresets(), many) << "nothing added or removed";
}

TEST_F(LockRatioTest, AZeroValueIsRefused) {
  std::u16string message;
  CDialogScript script;
  script.Next(CLockRatioDlg::kTemplateId)
      .Call([](CDialogSprite& dialog) { dialog.FindControl(CLockRatioDlg::kHeightId)->SetValue(u"0"); })
      .Press(kIdOk)  // refused: the dialog stays
      .Call([](CDialogSprite& dialog) { dialog.FindControl(CLockRatioDlg::kHeightId)->SetValue(u"2"); })
      .Press(kIdOk);
  script.Next(CSMessageDlg::kTemplateId)
      .Call([&](CDialogSprite& box) { message = dynamic_cast<CSMessageDlg&>(box).text; })
      .Press(kIdOk);
  CLockRatioDlg dialog;
  EXPECT_EQ(Run(dialog, 1, 4, 3), kIdOk);
  ExpectAnswered(script);
  EXPECT_EQ(message, UIResources().texts.TextOrKey(u"Valuenotzero"));
  EXPECT_EQ(dialog.ratioHeight, 2u);
  EXPECT_FALSE(std::filesystem::exists(UserCopy())) << "the dialog alone writes nothing";
}

}  // namespace
