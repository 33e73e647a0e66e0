// The edit page's selection commands, the radius operations, copying and
// pasting pictures through the (in-memory) clipboard, and the mask panel's
// store and load of saved masks.

#include <gtest/gtest.h>

#include <cstring>

#include "algorithms/ChannelOP.h"
#include "algorithms/GaussBlur.h"
#include "editor/CommandRegistry.h"
#include "editor/SavedMask.h"
#include "image/BgraImage.h"
#include "platform/LittleEndian.h"
#include "platform/WindowMessages.h"
#include "tests/editor/EditorFixture.h"
#include "ui/Clipboard.h"
#include "ui/ClipboardBlocks.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/dialogs/SStringDialog.h"

namespace {

std::u16string Text(std::u16string_view key) { return std::u16string(UIResources().texts.TextOrEmpty(key)); }

// A selection of the document's size: value inside [x0, x1) x [y0, y1).
void Select(CBFDoc& document, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1,
            std::uint8_t value = 255) {
  ASSERT_EQ(document.m_selection.Create(document.m_width, document.m_height), 1);
  std::memset(document.m_selection.pixels, 0, document.m_selection.byteSize);
  for (std::uint32_t y = y0; y < y1; ++y) std::memset(document.m_selection.Row(y) + x0, value, x1 - x0);
}

std::vector<std::uint8_t> Bytes(const CPlane8& plane) {
  return plane.IsEmpty() ? std::vector<std::uint8_t>{}
                         : std::vector<std::uint8_t>(plane.pixels, plane.pixels + plane.byteSize);
}

const MaskRecord* FindMask(const CBFDoc& document, std::u16string_view name) {
  for (const auto& mask : document.m_masks) {
    if (mask->Name() == name) return mask.get();
  }
  return nullptr;
}

CBgraImage ClipboardPicture() {
  std::vector<std::uint8_t> dib;
  CBgraImage picture;
  EXPECT_EQ(ReadClipboardBytes(ClipboardFormat::Dib, dib), 1);
  EXPECT_EQ(ReadDibBlock(dib, picture), 1);
  return picture;
}

std::vector<std::uint8_t> Pixels(const CBgraImage& picture) {
  return std::vector<std::uint8_t>(picture.pixels, picture.pixels + picture.byteSize);
}

}  // namespace

class SelectionCommands : public EditorFixture {
protected:
  std::int32_t Command(CSEditPage& page, std::int32_t id) {
    SpriteMessage message;
    message.code = kMenuMsgCommand;
    message.wparam = static_cast<std::uint64_t>(id);
    return page.RunCommand(id, message);
  }
};

TEST_F(SelectionCommands, ReplacingOrDroppingASelectionKeepsItAsLastarea) {
  struct Row {
    std::int32_t id;
    bool selected;          // a selection before
    std::uint8_t expected;  // at (15, 15) afterwards, the selection being 10..30 x 10..30 at 200
    bool keepsSelection;
    bool modified;
  };
  const Row rows[] = {
      {kCmdSelectAll, true, 255, true, true},      {kCmdSelectAll, false, 255, true, true},
      {kCmdInvertSelection, true, 55, true, true}, {kCmdInvertSelection, false, 0, false, false},
      {kCmdDropSelection, true, 0, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.id << (row.selected ? " selected" : " none"));
    CSEditPage* page = OpenPage("sel", OneLayer(64, 48));
    if (row.selected) Select(page->document, 10, 10, 30, 30, 200);
    page->document.m_modified = 0;
    Command(*page, row.id);
    EXPECT_EQ(page->document.m_modified != 0, row.modified);
    ASSERT_EQ(!page->document.m_selection.IsEmpty(), row.keepsSelection);
    if (row.keepsSelection) {
      EXPECT_EQ(page->document.m_selection.width, 64u);
      EXPECT_EQ(page->document.m_selection.At(15, 15)[0], row.expected);
      if (row.id == kCmdInvertSelection) {
        EXPECT_EQ(page->document.m_selection.At(0, 0)[0], 255);
      }
    }
    const MaskRecord* kept = FindMask(page->document, Text(u"Lastarea"));
    ASSERT_EQ(kept != nullptr, row.selected);
    if (kept) {
      EXPECT_EQ(kept->plane.width, 20u);
      EXPECT_EQ(kept->x, 10);
    }
    EXPECT_TRUE(shell.ClosePage(page));
  }
}

TEST_F(SelectionCommands, RadiusOperationsTakeALimitedRadiusAndIgnoreBadAnswers) {
  CSEditPage* page = OpenPage("radius", OneLayer(120, 100));
  const auto run = [&](std::int32_t id, std::u16string answer, bool ok) {
    CDialogScript script;
    if (ok) {
      script.Next(CSStringDialog::kTemplateId).Type(CSStringDialog::kEditId, std::move(answer)).Press(kIdOk);
    } else {
      script.Next(CSStringDialog::kTemplateId).Answer(kIdCancel);
    }
    Command(*page, id);
    EXPECT_TRUE(script.Errors().empty());
    EXPECT_EQ(script.Pending(), 0u);
  };

  // Feather 1000 blurs with radius 256 / 2; expand 100 dilates by 32.
  Select(page->document, 40, 40, 60, 60);
  CPlane8 original;
  ASSERT_EQ(original.CopyFrom(page->document.m_selection), 1);
  CPlane8 expected;
  CGaussBlur blur;
  ASSERT_EQ(blur.BlurPlane(original, expected, 128.0), 1);
  run(kCmdFeatherSelection, u"1000", true);
  EXPECT_EQ(Bytes(page->document.m_selection), Bytes(expected));

  Select(page->document, 40, 40, 60, 60);
  CChannelOP op;
  ASSERT_EQ(op.DilateMask(original, expected, 32), 1);
  run(kCmdExpandSelection, u"100", true);
  EXPECT_EQ(Bytes(page->document.m_selection), Bytes(expected));

  // A cancel, 0, a negative or a non-number changes nothing and keeps no
  // "Lastarea".
  Select(page->document, 40, 40, 60, 60);
  page->document.m_masks.clear();
  page->document.m_modified = 0;
  run(kCmdShrinkSelection, {}, false);
  run(kCmdShrinkSelection, u"0", true);
  run(kCmdSelectionBorder, u"-5", true);
  run(kCmdFeatherSelection, u"ab", true);
  EXPECT_EQ(Bytes(page->document.m_selection), Bytes(original));
  EXPECT_TRUE(page->document.m_masks.empty());
  EXPECT_EQ(page->document.m_modified, 0);

  // Shrinking to nothing drops the selection; the old one is "Lastarea".
  run(kCmdShrinkSelection, u"32", true);
  EXPECT_TRUE(page->document.m_selection.IsEmpty());
  const MaskRecord* kept = FindMask(page->document, Text(u"Lastarea"));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->plane.width, 20u);
  EXPECT_EQ(page->document.m_modified, 1);
}

TEST_F(SelectionCommands, CopyPutsTheLayerOrItsSelectedPartOnTheClipboard) {
  CSEditPage* page = OpenPage("copy", [](CBFDoc& document) {
    ASSERT_EQ(document.InsertLayer(Gradient(80, 60), u"Base", -1), 1);
    ASSERT_EQ(document.InsertLayer(Gradient(20, 10), u"Top", -1), 1);  // centred: at (30, 25)
  });
  CBFLayer* top = page->document.GetCurrentLayer();
  ASSERT_EQ(top->m_x, 30);
  CBgraImage dithered;
  ASSERT_EQ(top->m_image.ToBgraImageDithered(dithered), 1);

  // No selection: the whole layer.
  ASSERT_EQ(Command(*page, kCmdCopy), 1);
  EXPECT_EQ(Pixels(ClipboardPicture()), Pixels(dithered));

  // A selection off the layer: the whole layer too.
  Select(page->document, 0, 0, 10, 10);
  ASSERT_EQ(Command(*page, kCmdCopy), 1);
  EXPECT_EQ(Pixels(ClipboardPicture()), Pixels(dithered));

  // A selection partly on the layer: its part on the layer, the selection
  // as alpha.
  Select(page->document, 20, 20, 35, 28, 128);
  ASSERT_EQ(Command(*page, kCmdCopy), 1);
  const CBgraImage part = ClipboardPicture();
  ASSERT_EQ(part.width, 5u);
  ASSERT_EQ(part.height, 3u);
  for (std::uint32_t y = 0; y < 3; ++y) {
    for (std::uint32_t x = 0; x < 5; ++x) {
      const std::uint8_t* p = part.At(x, y);
      const std::uint8_t* q = dithered.At(x, y);
      EXPECT_EQ(std::vector<std::uint8_t>(p, p + 3), std::vector<std::uint8_t>(q, q + 3));
      EXPECT_EQ(p[3], 255 * 128 / 255);
    }
  }
}

TEST_F(SelectionCommands, PasteInsertsAboveTheCurrentLayerAndRefusesWhatItCannotRead) {
  CSEditPage* page = OpenPage("paste", [](CBFDoc& document) {
    ASSERT_EQ(document.InsertLayer(Gradient(80, 60), u"Base", -1), 1);
    ASSERT_EQ(document.InsertLayer(Gradient(20, 10), u"Top", -1), 1);
  });
  page->document.SetCurrentLayer(0);
  CBgraImage picture;
  ASSERT_EQ(picture.Create(7, 5), 1);
  for (std::uint32_t i = 0; i < 35; ++i) {
    picture.pixels[4 * i] = static_cast<std::uint8_t>(i);
    picture.pixels[4 * i + 1] = 50;
    picture.pixels[4 * i + 2] = 90;
    picture.pixels[4 * i + 3] = 255;
  }
  ASSERT_EQ(CopyImageToClipboard(picture), 1);
  ASSERT_EQ(Command(*page, kCmdPaste), 1);
  ASSERT_EQ(page->document.LayerCount(), 3);
  EXPECT_EQ(page->document.m_currentLayer, 1);
  const CBFLayer* pasted = page->document.GetLayer(1);
  EXPECT_EQ(pasted->Name(), Text(u"pastelayer"));
  EXPECT_EQ(pasted->m_image.width, 7u);
  EXPECT_EQ(page->document.GetLayer(2)->Name(), u"Top");
  ASSERT_EQ(page->history.StepCount(), 2);
  EXPECT_EQ(page->history.Steps().back().Name(), Text(u"hisPaste"));
  EXPECT_EQ(page->history.Steps().back().type, kStepDocument);

  // A 16-bit bitmap says so and pastes nothing; a damaged one says nothing.
  std::vector<std::uint8_t> v5(124 + 4 * 4, 0);
  StoreLE32(&v5[0], 124);
  StoreLE32(&v5[4], 2);
  StoreLE32(&v5[8], 2);
  StoreLE16(&v5[14], 16);
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::DibV5, v5), 1);
  {
    CDialogScript script;
    std::u16string said;
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) { said = static_cast<CSMessageDlg&>(dialog).text; })
        .Answer(kIdOk);
    EXPECT_EQ(Command(*page, kCmdPaste), 0);
    EXPECT_EQ(said, Text(u"unsupportunPatternpaste"));
  }
  StoreLE16(&v5[14], 32);
  StoreLE32(&v5[8], 0x80000000u);
  ASSERT_EQ(WriteClipboardBytes(ClipboardFormat::DibV5, v5), 1);
  EXPECT_EQ(Command(*page, kCmdPaste), 0);
  EXPECT_EQ(page->document.LayerCount(), 3);
  EXPECT_EQ(page->history.StepCount(), 2);
}

TEST_F(SelectionCommands, SavedMasksStoreLoadAndRefuseAnotherDocumentSize) {
  CSEditPage* page = OpenPage("masks", OneLayer(90, 60));
  CSMaskPage& masks = page->maskPanel;
  CBFDoc& document = page->document;
  const std::u16string lastArea = Text(u"Lastarea");

  // Proposed names: one more than the largest leading number, saturating.
  EXPECT_EQ(masks.ProposedName(), u"01");
  Select(document, 80, 10, 90, 20);  // touches the right edge
  ASSERT_TRUE(masks.StoreSelectionAsMask(u"01"));
  ASSERT_TRUE(masks.StoreSelectionAsMask(u"07 sky"));
  EXPECT_EQ(masks.ProposedName(), u"08");
  ASSERT_TRUE(masks.StoreSelectionAsMask(u"99999999999 big"));
  EXPECT_EQ(masks.ProposedName(), u"2147483647");
  masks.DeleteMask(2);
  ASSERT_TRUE(masks.StoreSelectionAsMask(u"abcdefghijklmnopqrstuvwxyz01234"));
  EXPECT_EQ(document.m_masks.back()->Name(), u"abcdefghijklmnopqrstuvwxyz012..");
  masks.DeleteMask(2);
  EXPECT_EQ(masks.list.RowCount(), 2);

  // A name that exists is replaced only after Yes.
  Select(document, 0, 0, 5, 5);
  {
    CDialogScript script;
    script.Next(CSStringDialog::kTemplateId)
        .Key(VK_BACK)
        .Key(VK_BACK)
        .Type(CSStringDialog::kEditId, u"01")
        .Press(kIdOk);
    script.Next(CSMessageDlg::kTemplateId).Answer(kIdNo);
    EXPECT_FALSE(masks.StoreSelectionAsNamedMask());
    EXPECT_EQ(FindMask(document, u"01")->x, 80);
    EXPECT_TRUE(script.Errors().empty());
  }

  // Loading "Lastarea" with a selection swaps the two; a mask at the right
  // edge comes back at its place.
  ASSERT_TRUE(masks.StoreSelectionAsMask(lastArea));  // the 5 x 5 square
  Select(document, 30, 30, 40, 40);
  ASSERT_TRUE(masks.LoadMaskAsSelection(2));
  EXPECT_EQ(document.m_selection.At(2, 2)[0], 255);
  EXPECT_EQ(document.m_selection.At(35, 35)[0], 0);
  EXPECT_EQ(FindMask(document, lastArea)->x, 30);
  ASSERT_TRUE(masks.LoadMaskAsSelection(0));
  CPlane8 expected;
  ASSERT_EQ(expected.Create(90, 60), 1);
  LoadSavedMask(expected, FindMask(document, u"01")->plane, 80, 10);
  EXPECT_EQ(Bytes(document.m_selection), Bytes(expected));
  EXPECT_EQ(document.m_selection.At(89, 19)[0], 255);

  // After a quarter turn a mask of the old size is reported and deleted;
  // "Lastarea" loaded over a selection keeps the selection it now holds.
  ASSERT_EQ(document.RotateRight(), 1);
  Select(document, 1, 1, 3, 3);
  std::vector<std::u16string> said;
  CDialogScript script;
  for (int i = 0; i < 2; ++i) {
    script.Next(CSMessageDlg::kTemplateId)
        .Call([&](CDialogSprite& dialog) { said.push_back(static_cast<CSMessageDlg&>(dialog).text); })
        .Answer(kIdOk);
  }
  const std::size_t lastIndex =
      static_cast<std::size_t>(std::find_if(document.m_masks.begin(), document.m_masks.end(),
                                            [&](const auto& m) { return m->Name() == lastArea; }) -
                               document.m_masks.begin());
  EXPECT_FALSE(masks.LoadMaskAsSelection(static_cast<std::int32_t>(lastIndex)));
  EXPECT_TRUE(document.m_selection.IsEmpty());
  ASSERT_NE(FindMask(document, lastArea), nullptr);
  EXPECT_EQ(FindMask(document, lastArea)->documentWidth, 60u);
  EXPECT_FALSE(masks.LoadMaskAsSelection(0));
  EXPECT_EQ(FindMask(document, u"01"), nullptr);
  EXPECT_EQ(said, (std::vector<std::u16string>{Text(u"failedmaskbycavaschanged"),
                                               Text(u"failedmaskbycavaschanged")}));
  EXPECT_EQ(masks.list.RowCount(), static_cast<std::int32_t>(document.m_masks.size()));
}
