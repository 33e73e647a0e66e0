// The colour range dialog on small documents: the controls at the start,
// the edge box and the presets clearing each other, replace, add and
// subtract (also inside the selection) against values worked out by hand,
// the outgoing selection kept as "Lastarea", Cancel and the preview
// leaving the document alone, OK refused without an option, and a layer
// larger than the document lying at (-50, -50).

#include <array>
#include <vector>

#include "document/BFDoc.h"
#include "editor/SelColorDlg.h"
#include "tests/editor/EditorFixture.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/SCheckBox.h"

namespace {

using Row = std::vector<std::uint8_t>;

class SelColorDlgTest : public EditorFixture {
protected:
  // Four pixels: red, green, grey and a dark red. Under the Red preset
  // their hue values are 255, 0, 0 and 49 (saturation 256, lightness fade
  // 256, 256 and 50).
  void MakeDocument() {
    const std::array<std::array<std::uint16_t, 4>, 4> colours = {{
        {0, 0, 65535, 65535},
        {0, 65535, 0, 65535},
        {30000, 30000, 30000, 65535},
        {0, 0, 100, 65535},
    }};
    ASSERT_EQ(document.InsertLayer(Picture(4, 1, [&](std::uint32_t x, std::uint32_t) { return colours[x]; }),
                                   u"Photo", -1),
              1);
    document.m_modified = 0;
  }
  void Select(const Row& bytes) {
    ASSERT_TRUE(document.m_selection.Create(4, 1));
    std::copy(bytes.begin(), bytes.end(), document.m_selection.pixels);
  }
  Row Selection() const {
    const CPlane8& s = document.m_selection;
    return s.IsEmpty() ? Row{} : Row(s.pixels, s.pixels + s.byteSize);
  }
  std::int32_t Run(CSelColorDlg& dialog) {
    dialog.document = &document;
    if (!dialog.Create(CSelColorDlg::kTemplateId)) {
      ADD_FAILURE() << "the colour range dialog is not made";
      return -1;
    }
    return dialog.RunModal();
  }
  static bool Checked(CDialogSprite& dialog, std::int32_t id) {
    return dynamic_cast<CSCheckBox&>(*dialog.FindControl(id)).IsChecked();
  }
  static CSelColorDlg& Of(CDialogSprite& dialog) { return dynamic_cast<CSelColorDlg&>(dialog); }
  // Chooses a preset through the menu, as a click on its row does.
  void ChoosePreset(CDialogSprite& dialog, std::int32_t row) {
    window->RenderFrame(TickCount());
    Of(dialog).presetMenu.ActivateItem(row);
    window->RenderFrame(TickCount());
  }

  void Answered() {
    EXPECT_TRUE(script.Errors().empty()) << script.Errors().front();
    EXPECT_EQ(script.Pending(), 0u);
  }

  CBFDoc document;
  CDialogScript script;
};

TEST_F(SelColorDlgTest, StartsWithTheWholeLayerReplacedAndTheSelectorOff) {
  MakeDocument();
  CSelColorDlg dialog;
  script.Next(CSelColorDlg::kTemplateId).Call([&](CDialogSprite& d) {
    for (const std::int32_t id : {1034, 1040, 1047}) EXPECT_TRUE(Checked(d, id)) << id;
    for (const std::int32_t id : {1035, 1036, 1037, 1038, 1039, 1041, 1042, 1043, 1046})
      EXPECT_FALSE(Checked(d, id)) << id;
    EXPECT_FALSE(Of(d).selector.IsEnabled());
    EXPECT_FALSE(d.FindControl(1048)->visible);
    // The selector lies 10 pixels below the hue box, 10 pixels in from its
    // sides, 32 pixels high.
    const Rect hue = d.FindControl(1036)->rect;
    EXPECT_EQ(Of(d).selector.rect, (Rect{hue.left + 10, hue.bottom + 10, hue.right - 10, hue.bottom + 42}));
    EXPECT_EQ(Of(d).selector.handles, CRangeSelector::kDefaultHandles);
  });
  script.Press(1036).Call([&](CDialogSprite& d) { EXPECT_TRUE(Of(d).selector.IsEnabled()); }).Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
  Answered();
}

TEST_F(SelColorDlgTest, TheEdgeBoxAndThePresetsClearEachOther) {
  MakeDocument();
  CSelColorDlg dialog;
  script.Next(CSelColorDlg::kTemplateId)
      .Press(1036)
      .Press(1037)
      .Press(1039)
      .Press(1043)
      .Call([&](CDialogSprite& d) {
        for (const std::int32_t id : {1036, 1037, 1038, 1039}) EXPECT_FALSE(Checked(d, id)) << id;
        EXPECT_TRUE(Checked(d, 1043));
        EXPECT_FALSE(Of(d).selector.IsEnabled());
      })
      .Press(1044)
      .Call([&](CDialogSprite& d) {
        std::vector<std::u16string> rows;
        for (const auto& item : Of(d).presetMenu.items)
          rows.push_back(item->separator ? u"-" : item->caption);
        EXPECT_EQ(rows, (std::vector<std::u16string>{u"Red", u"Yellow", u"Green", u"Cyan", u"Blue",
                                                     u"Magenta", u"-", u"Skin"}));
        ChoosePreset(d, 7);  // skin
      })
      .Call([&](CDialogSprite& d) {
        EXPECT_TRUE(Checked(d, 1036));
        EXPECT_TRUE(Checked(d, 1038));
        for (const std::int32_t id : {1037, 1039, 1043}) EXPECT_FALSE(Checked(d, id)) << id;
        EXPECT_TRUE(Of(d).selector.IsEnabled());
        EXPECT_EQ(Of(d).selector.handles, (std::array<std::int32_t, 4>{14563, 16803, 24925, 29966}));
        EXPECT_EQ(Of(d).selector.marker, 18204);
        EXPECT_EQ(Of(d).previewNeeded, 1);
      })
      .Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
  Answered();
}

TEST_F(SelColorDlgTest, CombinesTheMaskWithTheSelectionAsWorkedOutByHand) {
  struct Case {
    const char* what;
    Row before;
    std::int32_t combine;  // control id
    bool insideSelection;
    Row after;
  };
  const Case cases[] = {
      {"replace without a selection", {}, 1040, false, {255, 0, 0, 49}},
      {"replace", {0, 255, 128, 255}, 1040, false, {255, 0, 0, 49}},
      {"add", {0, 255, 128, 255}, 1041, false, {255, 255, 128, 255}},
      {"subtract", {0, 255, 128, 255}, 1042, false, {0, 255, 128, 206}},
      {"subtract from no selection keeps the mask", {}, 1042, false, {255, 0, 0, 49}},
      {"replace inside the selection", {0, 255, 128, 255}, 1040, true, {0, 0, 0, 49}},
      {"add inside the selection", {128, 0, 0, 0}, 1041, true, {191, 0, 0, 0}},  // 128 + 127 x 128 / 255
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    document.Clear();
    document.ClearLayers();
    MakeDocument();
    if (!c.before.empty()) Select(c.before);
    CSelColorDlg dialog;
    script.Next(CSelColorDlg::kTemplateId).Press(1044).Call([&](CDialogSprite& d) { ChoosePreset(d, 0); });
    if (c.insideSelection) script.Press(1035);
    script.Press(c.combine).Press(1);
    EXPECT_EQ(Run(dialog), kIdOk);
    Answered();
    EXPECT_EQ(Selection(), c.after);
    EXPECT_EQ(document.m_modified, 1);
    // The outgoing selection is kept under "Lastarea" when it had any
    // selected pixel.
    ASSERT_EQ(document.m_masks.size(), c.before.empty() ? 0u : 1u);
    if (!c.before.empty()) {
      EXPECT_EQ(document.m_masks[0]->Name(), u"Last selection");
    }
  }
}

TEST_F(SelColorDlgTest, CancelAndThePreviewLeaveTheDocumentAlone) {
  MakeDocument();
  Select({0, 255, 128, 255});
  CSelColorDlg dialog;
  script.Next(CSelColorDlg::kTemplateId)
      .Press(1044)
      .Call([&](CDialogSprite& d) { ChoosePreset(d, 0); })
      .Press(1046)  // mask style: previews at once
      .Call([&](CDialogSprite& d) {
        const CBgraImage& picture = Of(d).previewPicture;
        ASSERT_EQ(picture.width, 4u);
        // The mask as grey: the red pixel white, the green one black.
        EXPECT_EQ(picture.At(0, 0)[0], 255);
        EXPECT_EQ(picture.At(1, 0)[1], 0);
        EXPECT_EQ(picture.At(3, 0)[2], 49);
      })
      .Press(1047)
      .Call([&](CDialogSprite& d) { EXPECT_EQ(Of(d).previewPicture.At(0, 0)[3], 255); })
      .Press(2);
  EXPECT_EQ(Run(dialog), kIdCancel);
  Answered();
  EXPECT_EQ(Selection(), (Row{0, 255, 128, 255}));
  EXPECT_EQ(document.m_modified, 0);
  EXPECT_TRUE(document.m_masks.empty());
}

TEST_F(SelColorDlgTest, OkWithoutAnOptionAsksForOne) {
  MakeDocument();
  CSelColorDlg dialog;
  script.Next(CSelColorDlg::kTemplateId)
      .Press(1)
      .Call([&](CDialogSprite& d) { EXPECT_EQ(d.EndCode(), 0); })
      .Press(2);
  script.Next(132).Press(1);  // "atleastonesel"
  EXPECT_EQ(Run(dialog), kIdCancel);
  Answered();
  EXPECT_TRUE(document.m_selection.IsEmpty());
  EXPECT_EQ(script.Shown(), (std::vector<std::int32_t>{137, 132}));
}

TEST_F(SelColorDlgTest, ADocumentWithoutLayersCannotBeSelectedFrom) {
  CSelColorDlg dialog;
  script.Next(CSelColorDlg::kTemplateId).Press(1037).Press(1046).Press(1).Press(2);
  script.Next(132).Press(1);  // "errselcolor"
  EXPECT_EQ(Run(dialog), kIdCancel);
  Answered();
  EXPECT_TRUE(document.m_selection.IsEmpty());
  EXPECT_EQ(document.m_modified, 0);
}

TEST_F(SelColorDlgTest, ALayerLargerThanTheDocumentAtMinusFifty) {
  ASSERT_EQ(document.InsertLayer(Gradient(40, 30), u"Base", -1), 1);
  ASSERT_EQ(document.InsertLayer(Gradient(140, 120), u"Large", -1), 1);
  CBFLayer* large = document.GetCurrentLayer();
  large->m_x = -50;
  large->m_y = -50;
  CSelColorDlg dialog;
  script.Next(CSelColorDlg::kTemplateId).Press(1037).Press(1038).Press(1046).Press(1043).Press(1047).Press(1);
  EXPECT_EQ(Run(dialog), kIdOk);
  Answered();
  ColorRangeOptions options;
  options.edge = true;
  CPlane8 expected;
  ASSERT_TRUE(BuildColorRangeMask({&large->m_image, -50, -50}, 40, 30, options, expected));
  EXPECT_EQ(Selection(), Row(expected.pixels, expected.pixels + expected.byteSize));
}

}  // namespace
