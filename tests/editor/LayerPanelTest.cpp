// The layer panel: the strip's enabling, the row actions (visibility,
// opacity, blend mode) and their steps, moving, new and loaded layers, and
// the thumbnails, also of a stale or a very long document.

#include <gtest/gtest.h>

#include <cstring>

#include "editor/CommandRegistry.h"
#include "editor/LayerNode.h"
#include "image/codecs/CodecImage.h"
#include "tests/editor/EditorFixture.h"
#include "ui/TextFormat.h"
#include "ui/dialogs/FileChooser.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

std::function<void(CBFDoc&)> Layers(int count) {
  return [count](CBFDoc& document) {
    ASSERT_EQ(document.InsertLayer(Gradient(80, 60), u"Base", -1), 1);
    for (int i = 1; i < count; ++i)
      ASSERT_EQ(document.InsertLayer(Gradient(20, 10), u"Layer " + std::u16string(1, u'0' + i), -1), 1);
  };
}

class CFakeChooser final : public IFileChooser {
public:
  bool ChooseOpenPath(std::u16string_view, std::u16string_view, std::filesystem::path& chosen) override {
    chosen = path;
    return !path.empty();
  }
  bool ChooseSavePath(std::u16string_view, const std::filesystem::path&, std::u16string_view,
                      std::filesystem::path&) override {
    return false;
  }
  std::filesystem::path path;
};

}  // namespace

class LayerPanel : public EditorFixture {
protected:
  bool Enabled(CSEditPage& page, std::uint32_t item) { return page.layerPanel.strip.FindItem(item)->enabled; }
  void Strip(CSEditPage& page, std::uint32_t item) {
    ASSERT_TRUE(PostSpriteMessage(&page.layerPanel, kPanelMsgItemClicked, item, 0, &page.layerPanel.strip));
    Run();
  }
};

TEST_F(LayerPanel, TheStripFollowsTheLayersAndTheBaseLayerStaysAtTheBottom) {
  struct Row {
    int layers;
    int current;
    bool del, merge, up, down;
  };
  for (const Row& row : {Row{1, 0, false, false, false, false}, Row{3, 1, true, true, true, false},
                         Row{3, 2, true, true, false, true}, Row{3, 0, false, false, false, false}}) {
    SCOPED_TRACE(testing::Message() << row.layers << " layers, current " << row.current);
    CSEditPage* page = OpenPage("strip", Layers(row.layers));
    page->document.SetCurrentLayer(row.current);
    page->RefreshPanels();
    EXPECT_EQ(page->layerPanel.list.RowCount(), row.layers);
    EXPECT_EQ(page->layerPanel.list.selectedRow, row.layers - 1 - row.current);
    EXPECT_EQ(Enabled(*page, CSLayerPage::kItemDelete), row.del);
    EXPECT_EQ(Enabled(*page, CSLayerPage::kItemMerge), row.merge);
    EXPECT_EQ(Enabled(*page, CSLayerPage::kItemUp), row.up);
    EXPECT_EQ(Enabled(*page, CSLayerPage::kItemDown), row.down);
    // Disabled actions do nothing even when reached.
    const int steps = page->history.StepCount();
    if (!row.down) Strip(*page, CSLayerPage::kItemDown);
    if (!row.del) Strip(*page, CSLayerPage::kItemDelete);
    EXPECT_EQ(page->history.StepCount(), steps);
    EXPECT_EQ(page->document.LayerCount(), row.layers);
    EXPECT_TRUE(shell.ClosePage(page));
  }

  CSEditPage* page = OpenPage("move", Layers(3));
  page->document.SetCurrentLayer(1);
  const CBFLayer* moving = page->document.GetLayer(1);
  Strip(*page, CSLayerPage::kItemUp);
  EXPECT_EQ(page->document.GetLayer(2), moving);
  EXPECT_EQ(page->document.m_currentLayer, 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisLayerChange"));
  Strip(*page, CSLayerPage::kItemMerge);
  EXPECT_EQ(page->document.LayerCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hismergedown"));
}

TEST_F(LayerPanel, RowActionsSetVisibilityOpacityAndBlendModeWithOneStepEach) {
  CSEditPage* page = OpenPage("rows", Layers(2));
  Frame();
  Frame();
  CSLayerList& list = page->layerPanel.list;
  Rect bar;
  {
    std::lock_guard guard(list.lock);
    ASSERT_EQ(list.rows.size(), 2u);
    bar = static_cast<const CLayerNode*>(list.rows[0].node)->opacityRect;
    EXPECT_TRUE(static_cast<const CLayerNode*>(list.rows[1].node)->opacityRect.IsEmpty());  // the base layer
  }
  ASSERT_FALSE(bar.IsEmpty());
  CBFLayer* top = page->document.GetLayer(1);
  const int steps = page->history.StepCount();
  list.SetOpacityAt(0, bar.left);
  EXPECT_EQ(top->m_opacity, 0);
  list.SetOpacityAt(0, bar.right + 3);
  EXPECT_EQ(top->m_opacity, 255);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisLayerOpacity"));
  EXPECT_EQ(page->history.Steps().back().type, kStepLayerList);
  list.ToggleVisibility(0);
  EXPECT_EQ(top->m_visible, 0);
  list.SetBlendMode(0, top->m_blendMode);  // the same mode: no step
  EXPECT_EQ(page->history.StepCount(), steps + 3);
  list.SetBlendMode(0, 5);
  EXPECT_EQ(top->m_blendMode, 5);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisChangeBlendMode"));
  EXPECT_EQ(page->history.StepCount(), steps + 4);

  // A name wider than the list less 55 pixels is shown whole as a tooltip.
  {
    std::lock_guard guard(list.lock);
    EXPECT_EQ(list.rows[0].textFits, 1);
  }
  top->SetName(u"A long name for a layer tooltip");
  page->RefreshPanels();
  Frame();
  Frame();
  std::lock_guard guard(list.lock);
  EXPECT_EQ(list.rows[0].textFits, 0);
}

TEST_F(LayerPanel, ThumbnailsShowTheLayerInTheDocumentsFrame) {
  CBFDoc document;
  ASSERT_EQ(document.InsertLayer(Picture(80, 40,
                                         [](auto, auto) {
                                           return std::array<std::uint16_t, 4>{0, 0, 0, 0};
                                         }),
                                 u"Base", -1),
            1);
  // A white layer half outside the document's right edge.
  ASSERT_EQ(document.InsertLayer(Picture(40, 40,
                                         [](auto, auto) {
                                           return std::array<std::uint16_t, 4>{65535, 65535, 65535, 65535};
                                         }),
                                 u"Half", -1),
            1);
  CBFLayer* half = document.GetLayer(1);
  half->m_x = 60;
  half->m_y = 0;
  CBgraImage thumbnail;
  ASSERT_TRUE(CSLayerList::BuildThumbnail(document, *half, thumbnail));
  ASSERT_EQ(thumbnail.width, 40u);
  ASSERT_EQ(thumbnail.height, 20u);
  EXPECT_EQ(thumbnail.At(35, 10)[0], 255);  // the layer
  EXPECT_NE(thumbnail.At(5, 10)[0], 255);   // the checkerboard left of it
  EXPECT_NE(thumbnail.At(5, 10)[0], thumbnail.At(5, 5)[0]);

  // Beyond 40:1 the short side stays one pixel.
  CBFDoc thin;
  ASSERT_EQ(thin.InsertLayer(Gradient(1000, 10), u"Thin", -1), 1);
  ASSERT_TRUE(CSLayerList::BuildThumbnail(thin, *thin.GetLayer(0), thumbnail));
  EXPECT_EQ(thumbnail.width, 40u);
  EXPECT_EQ(thumbnail.height, 1u);
}

TEST_F(LayerPanel, AStaleRowDrawsNothingAndNewLayersAreNamedAndRecorded) {
  CSEditPage* page = OpenPage("stale", Layers(2));
  Frame();
  CSLayerList& list = page->layerPanel.list;
  // The document changes without a refresh: the rows no longer match.
  page->document.DeleteLayer(1);
  {
    std::lock_guard guard(list.lock);
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_FALSE(list.DrawRow(0));
    EXPECT_FALSE(list.DrawRow(1));
  }
  page->RefreshPanels();
  EXPECT_EQ(list.RowCount(), 1);

  // A blank layer proposes "Layer <count>" and is recorded.
  {
    CDialogScript script;
    script.Next(CSStringDialog::kTemplateId).Press(kIdOk);
    ASSERT_TRUE(page->layerPanel.NewBlankLayer());
  }
  EXPECT_EQ(page->document.GetLayer(1)->Name(), FormatText(Text(u"LayerCount"), {1}));
  EXPECT_EQ(page->document.LayerCount(), 2);
  EXPECT_EQ(page->document.GetLayer(1)->m_image.width, 80u);
  EXPECT_EQ(page->document.GetLayer(1)->m_image.At(3, 3)[3], 0);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"newlayer"));

  // A layer from a file is named after it; a file that cannot be read adds
  // nothing and says nothing.
  CFakeChooser chooser;
  SetFileChooser(&chooser);
  CBgraImage picture;
  ASSERT_EQ(picture.Create(9, 7), 1);
  std::memset(picture.pixels, 255, picture.byteSize);
  CCodecImage codec;
  ASSERT_EQ(picture.ToCodecImage(codec, true), 1);
  chooser.path = root / "a rather long file name for a layer of this photo.png";
  ASSERT_TRUE(codec.Save(chooser.path, CodecFormat::Png));
  ASSERT_TRUE(PostSpriteMessage(page, kMenuMsgCommand, kCmdLoadLayer, 0, nullptr));
  Run();
  ASSERT_EQ(page->document.LayerCount(), 3);
  const std::u16string name = page->document.GetLayer(2)->Name();
  EXPECT_EQ(name.substr(0, 20), u"a rather long file n");
  EXPECT_LE(name.size(), 31u);
  chooser.path = root / "missing.png";
  EXPECT_FALSE(page->layerPanel.LoadLayerFromFile());
  EXPECT_EQ(page->document.LayerCount(), 3);
  SetFileChooser(nullptr);
}
