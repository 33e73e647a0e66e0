#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "document/BFDoc.h"
#include "document/DocHistory.h"
#include "document/HistoryStep.h"
#include "image/PackedRecords.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/document/HistoryTestSupport.h"

namespace {

// Values the packed record keeps exactly, so pixels compare directly.
constexpr Pixel16 kDark{20000, 20000, 20000, 65535};
constexpr Pixel16 kLight{40000, 40000, 40000, 65535};

void FillRect(CBgraImage16& image, const Rect& rectangle, Pixel16 pixel) {
  const Rect r{std::min(rectangle.left, rectangle.right), std::min(rectangle.top, rectangle.bottom),
               std::max(rectangle.left, rectangle.right), std::max(rectangle.top, rectangle.bottom)};
  for (std::int32_t y = r.top; y < r.bottom; ++y)
    for (std::int32_t x = r.left; x < r.right; ++x)
      SetPixel(image, std::uint32_t(x), std::uint32_t(y), pixel);
}

class DocHistoryTest : public ::testing::Test {
protected:
  void SetUp() override { OpenHistory(history, doc, window, listener); }

  // Records a rectangle step of a layer after painting the rectangle.
  bool Paint(int layer, const Rect& r, Pixel16 pixel, std::u16string_view name = u"hisBrush") {
    FillRect(doc.m_layers[std::size_t(layer)]->m_image, r, pixel);
    const auto bytes = HistoryStep::EncodeRectangle(r);
    return history.AddStep(kStepRegion, layer, name, StepBlock::None, 7, bytes);
  }
  bool Record(HistoryStepType type, std::u16string_view name = u"step") {
    return history.AddStep(type, -1, name, StepBlock::None, 0, {});
  }
  std::vector<int> Types() const {
    std::vector<int> types;
    for (const HistoryStep& s : history.Steps()) types.push_back(s.type);
    return types;
  }

  CBFDoc doc;
  CDocHistory history;
  RecordingWindow window;
  RecordingListener listener;
};

TEST_F(DocHistoryTest, TheFirstStepIsASnapshotAtOffsetZero) {
  for (HistoryStepType type : {kStepLayer, kStepRegion, kStepLayerList, kStepDocument}) {
    CBFDoc d;
    CDocHistory h;
    ASSERT_TRUE(h.Open(d, ScratchFileMaker()));
    MakeBase(d, 8, 8);
    ASSERT_TRUE(d.InsertLayer(FilledImage(4, 4, kDark), u"top", -1));
    const auto rect = HistoryStep::EncodeRectangle({0, 0, 2, 2});
    ASSERT_TRUE(h.AddStep(type, 1, u"hisopen", StepBlock::None, 5, rect)) << int(type);
    ASSERT_EQ(h.StepCount(), 1);
    const HistoryStep& step = h.Steps()[0];
    EXPECT_EQ(step.type, kStepDocument) << int(type);
    EXPECT_EQ(step.layerId, -1) << int(type);
    EXPECT_EQ(step.offset, 0u) << int(type);
    EXPECT_EQ(step.size, std::filesystem::file_size(h.FilePath())) << int(type);
    EXPECT_EQ(h.CurrentStep(), 0);
  }
}

TEST_F(DocHistoryTest, LayerStepsBecomeSnapshotsByTheRule) {
  MakeBase(doc, 10, 10);
  ASSERT_TRUE(Record(kStepDocument, u"hisopen"));
  ASSERT_TRUE(Record(kStepLayer));
  EXPECT_EQ(history.Steps().back().type, kStepDocument) << "a one-layer document snapshots every layer step";

  ASSERT_TRUE(doc.InsertLayer(FilledImage(10, 10, kDark), u"top", -1));  // one document area
  ASSERT_TRUE(Record(kStepDocument));
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(Record(kStepLayer));
  // Areas 1, 2, 3, 4: the fifth layer step sees more than 3.0 and snapshots;
  // counting starts again after it.
  EXPECT_EQ(Types(), (std::vector<int>{255, 255, 255, 12, 12, 12, 12, 255, 12}));
  EXPECT_DOUBLE_EQ(history.ChangedArea(), 1.0);

  // Rectangle and layer-list steps are never promoted.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Paint(1, {10, 0, 0, 10}, kLight));  // reversed: a whole area each
  EXPECT_DOUBLE_EQ(history.ChangedArea(), 4.0) << "a reversed rectangle counts its real size";
  ASSERT_TRUE(Record(kStepLayerList));
  ASSERT_TRUE(Paint(1, {0, 0, 1, 1}, kLight));
  EXPECT_EQ(Types().back(), kStepRegion);
  EXPECT_EQ(Types()[Types().size() - 2], kStepLayerList);
  ASSERT_TRUE(Record(kStepLayer));
  EXPECT_EQ(Types().back(), kStepDocument);
  EXPECT_DOUBLE_EQ(history.ChangedArea(), 0.0);
}

TEST_F(DocHistoryTest, UndoReplaysFromTheNearestSnapshotAndRedoOnlyTheNextStep) {
  MakeBase(doc, 6, 6, kDark);
  ASSERT_TRUE(Record(kStepDocument, u"hisopen"));  // 0
  ASSERT_TRUE(Paint(0, {0, 0, 2, 2}, kLight));     // 1
  ASSERT_TRUE(Paint(0, {2, 0, 4, 2}, kLight));     // 2
  ASSERT_TRUE(Record(kStepDocument));              // 3
  ASSERT_TRUE(Paint(0, {0, 2, 2, 4}, kLight));     // 4
  ASSERT_TRUE(Paint(0, {2, 2, 4, 4}, kLight));     // 5
  ASSERT_EQ(history.CurrentStep(), 5);

  window.replays = 0;
  ASSERT_TRUE(history.GoToStep(4));
  EXPECT_EQ(window.replays, 2) << "steps 3 and 4";
  const CBgraImage16& image = doc.m_layers[0]->m_image;
  EXPECT_EQ(PixelOf(image, 0, 2), kLight);
  EXPECT_EQ(PixelOf(image, 2, 2), kDark);
  EXPECT_EQ(PixelOf(image, 2, 0), kLight);

  window.replays = 0;
  ASSERT_TRUE(history.GoToStep(5));
  EXPECT_EQ(window.replays, 1) << "redo replays only step 5";
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 2, 2), kLight);

  window.replays = 0;
  ASSERT_TRUE(history.GoToStep(5));
  EXPECT_EQ(window.replays, 0) << "the current step";
  ASSERT_TRUE(history.GoToStep(1));
  EXPECT_EQ(window.replays, 2) << "steps 0 and 1";
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 2, 0), kDark);
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 0, 0), kLight);

  EXPECT_FALSE(history.GoToStep(-1));
  EXPECT_FALSE(history.GoToStep(6));
  EXPECT_EQ(history.CurrentStep(), 1);
  EXPECT_FALSE(window.framesLocked);
}

TEST_F(DocHistoryTest, RecordingAfterAnUndoDropsTheRedoSteps) {
  MakeBase(doc, 6, 6, kDark);
  ASSERT_TRUE(Record(kStepDocument));
  for (int i = 1; i < 6; ++i) ASSERT_TRUE(Paint(0, {0, 0, i, i}, kLight));
  ASSERT_TRUE(history.GoToStep(2));
  const HistoryStep two = history.Steps()[2];
  ASSERT_TRUE(Paint(0, {4, 4, 6, 6}, kLight, u"new"));
  ASSERT_EQ(history.StepCount(), 4);
  EXPECT_EQ(history.CurrentStep(), 3);
  EXPECT_EQ(history.Steps()[3].Name(), u"new");
  EXPECT_EQ(history.Steps()[3].offset, two.offset + two.size);

  // Undo into the new list and back again gives the new state.
  ASSERT_TRUE(history.GoToStep(2));
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 5, 5), kDark);
  ASSERT_TRUE(history.GoToStep(3));
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 5, 5), kLight);
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 3, 3), kDark) << "the dropped steps are gone";
}

TEST_F(DocHistoryTest, ParameterBlocksAreKeptInlineUpTo1024Bytes) {
  MakeBase(doc, 4, 4);
  ASSERT_TRUE(Record(kStepDocument));
  for (std::size_t size : {std::size_t{1024}, std::size_t{1025}}) {
    std::vector<std::uint8_t> block(size);
    std::iota(block.begin(), block.end(), std::uint8_t{1});
    ASSERT_TRUE(history.AddStep(kStepLayer, 0, u"hisSharpen", StepBlock::Replayable, 42, block)) << size;
    const HistoryStep& step = history.Steps().back();
    EXPECT_EQ(step.replayable, 1);
    EXPECT_EQ(step.stepType, 42);
    EXPECT_EQ(step.paramSize, std::int32_t(size));
    EXPECT_TRUE(std::ranges::equal(step.Params(), block)) << size;
    EXPECT_EQ(step.heapParams != nullptr, size > 1024) << size;
    std::array<std::uint8_t, HistoryStep::kRecordSize> bytes;
    step.Encode(bytes);
    EXPECT_EQ(LoadLE32(&bytes[1108]), size);
    EXPECT_TRUE(std::all_of(bytes.begin() + 1112, bytes.end(), [](std::uint8_t b) { return b == 0; }))
        << "no address reaches the record";
    EXPECT_EQ(bytes[84], size > 1024 ? 0 : 1) << "a heap block is not inline";
  }
  // Copies share the heap block and outlive the list.
  std::vector<HistoryStep> copies(history.Steps().begin(), history.Steps().end());
  history.Clear();
  EXPECT_EQ(copies.back().Params().size(), 1025u);
  EXPECT_EQ(copies.back().Params()[1024], std::uint8_t(1025 % 256));
}

TEST_F(DocHistoryTest, StepsWithoutReplayKeepNoBlock) {
  MakeBase(doc, 4, 4);
  const std::array<std::uint8_t, 3> block{9, 9, 9};
  ASSERT_TRUE(history.AddStep(kStepDocument, -1, u"x", StepBlock::None, 42, block));
  const HistoryStep& step = history.Steps()[0];
  EXPECT_EQ(step.stepType, 0);
  EXPECT_EQ(step.paramSize, 0);
  EXPECT_EQ(step.params[0], 0);
  EXPECT_TRUE(step.Params().empty());
}

// A block holding an address (here a table's) is never replayable: none of
// its bytes are kept, inline or on the heap, so no address reaches the step
// or its stored record and no reader is offered a block. Undo of the step
// works as for any other.
TEST_F(DocHistoryTest, ABlockHoldingPointersIsNeverReplayable) {
  static_assert(!std::is_invocable_v<decltype(&CDocHistory::AddStep), CDocHistory&, HistoryStepType, int,
                                     std::u16string_view, int, std::uint16_t, std::span<const std::uint8_t>>,
                "the block's kind is stated with StepBlock, not a number");
  MakeBase(doc, 4, 4);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(2, 2, kDark), u"top", -1));  // two layers: type 12 stays 12
  ASSERT_TRUE(Record(kStepDocument));
  const std::vector<std::uint16_t> table(256, 7);
  const std::uint16_t* address = table.data();
  for (std::size_t size : {std::size_t{16}, std::size_t{2000}}) {
    SCOPED_TRACE(size);
    std::vector<std::uint8_t> block(size, 0x5A);
    std::memcpy(block.data() + 8, &address, sizeof address);
    SetPixel(doc.m_layers[1]->m_image, 0, 0, size == 16 ? kLight : kDark);
    ASSERT_TRUE(history.AddStep(kStepLayer, 1, u"hisCurve", StepBlock::HoldsPointers, 23, block));
    const HistoryStep& step = history.Steps().back();
    EXPECT_EQ(step.type, kStepLayer);
    EXPECT_EQ(step.replayable, 0);
    EXPECT_EQ(step.stepType, 0);
    EXPECT_EQ(step.paramSize, 0);
    EXPECT_EQ(step.heapParams, nullptr);
    EXPECT_TRUE(step.Params().empty());
    std::array<std::uint8_t, HistoryStep::kRecordSize> bytes;
    step.Encode(bytes);
    EXPECT_TRUE(std::all_of(bytes.begin() + 80, bytes.end(), [](std::uint8_t b) { return b == 0; }))
        << "from the replayable byte on, the record is empty";
  }
  ASSERT_TRUE(history.GoToStep(1));
  EXPECT_EQ(PixelOf(doc.m_layers[1]->m_image, 0, 0), kLight);

  HistoryStep handMade;
  handMade.paramSize = 4;
  handMade.params[0] = 1;
  EXPECT_TRUE(handMade.Params().empty()) << "only a replayable step offers its block";
}

TEST_F(DocHistoryTest, NamesAreCutAsFixedFieldsAre) {
  MakeBase(doc, 4, 4);
  const std::u16string thirty(30, u'a'), thirtyTwo = u"abcdefghijklmnopqrstuvwxyz012345";
  ASSERT_TRUE(Record(kStepDocument, thirty));
  ASSERT_TRUE(Record(kStepDocument, thirtyTwo));
  ASSERT_TRUE(Record(kStepDocument, {}));
  EXPECT_EQ(history.Steps()[0].Name(), thirty);
  EXPECT_EQ(history.Steps()[1].Name(), u"abcdefghijklmnopqrstuvwxyz012..");
  EXPECT_EQ(history.Steps()[2].Name(), u"");
}

TEST(HistoryStepRecord, FieldsSitAtTheirOffsets) {
  HistoryStep step;
  step.name[0] = u'R';
  step.offset = 0x0001'2345'6789ULL;
  step.size = 0x02'0000'0010ULL;
  step.type = kStepRegion;
  step.layerIndex = 3;
  step.layerId = -7;
  step.replayable = 1;
  step.stepType = 0x1234;
  step.params[0] = 0xAB;
  step.params[1023] = 0xCD;
  step.paramSize = 5;
  step.heapParams = std::make_shared<const std::vector<std::uint8_t>>(2000, 1);
  std::array<std::uint8_t, HistoryStep::kRecordSize> bytes;
  step.Encode(bytes);
  EXPECT_EQ(LoadLE16(&bytes[0]), u'R');
  EXPECT_EQ(LoadLE32(&bytes[64]), 0x23456789u);
  EXPECT_EQ(LoadLE32(&bytes[68]), 0x10u);
  EXPECT_EQ(bytes[72], 13);
  EXPECT_EQ(bytes[73], 3);
  EXPECT_EQ(LoadLE16(&bytes[74]), 1) << "offset bits 32..47";
  EXPECT_EQ(std::int32_t(LoadLE32(&bytes[76])), -7);
  EXPECT_EQ(bytes[80], 1);
  EXPECT_EQ(bytes[81], 2) << "size bits 32..39";
  EXPECT_EQ(LoadLE16(&bytes[82]), 0x1234);
  EXPECT_EQ(bytes[84], 0xAB);
  EXPECT_EQ(bytes[84 + 1023], 0xCD);
  EXPECT_EQ(LoadLE32(&bytes[1108]), 5u);
  EXPECT_EQ(LoadLE64(&bytes[1112]), 0u);
}

TEST_F(DocHistoryTest, ListenerHearsChangesAndTheRecoveryIndexFromTheSecondStep) {
  MakeBase(doc, 4, 4);
  ASSERT_TRUE(Record(kStepDocument));
  EXPECT_TRUE(listener.indexWrites.empty());
  ASSERT_TRUE(Record(kStepLayerList));
  ASSERT_TRUE(Record(kStepLayerList));
  EXPECT_EQ(listener.indexWrites, (std::vector<int>{2, 3}));
  EXPECT_EQ(listener.changes, 3);
  doc.m_modified = 0;
  ASSERT_TRUE(history.GoToStep(0));
  EXPECT_EQ(listener.changes, 4);
  EXPECT_EQ(doc.m_modified, 1);
  EXPECT_EQ(window.shown, 3) << "the progress indicator shows around every payload write";
  EXPECT_FALSE(window.progressVisible);
}

TEST_F(DocHistoryTest, LayerListStepsRestoreProperties) {
  MakeBase(doc, 8, 8);
  ASSERT_TRUE(doc.InsertLayer(FilledImage(2, 2, kDark), u"top", -1));
  ASSERT_TRUE(Record(kStepDocument));
  CBFLayer& top = *doc.m_layers[1];
  top.m_opacity = 40;
  top.m_visible = 0;
  top.m_x = -3;
  top.SetName(u"renamed");
  doc.m_currentLayer = 0;
  ASSERT_TRUE(Record(kStepLayerList));
  ASSERT_TRUE(history.GoToStep(0));
  EXPECT_EQ(doc.m_layers[1]->m_opacity, 255);
  EXPECT_EQ(doc.m_layers[1]->Name(), u"top");
  EXPECT_EQ(doc.m_currentLayer, 1);
  ASSERT_TRUE(history.GoToStep(1));
  const CBFLayer& redone = *doc.m_layers[1];
  EXPECT_EQ(redone.m_opacity, 40);
  EXPECT_EQ(redone.m_visible, 0);
  EXPECT_EQ(redone.m_x, -3);
  EXPECT_EQ(redone.Name(), u"renamed");
  EXPECT_EQ(doc.m_currentLayer, 0);
}

TEST_F(DocHistoryTest, AnUndoAcrossACropDropsTheSelection) {
  MakeBase(doc, 10, 10);
  ASSERT_TRUE(Record(kStepDocument, u"hisopen"));
  ASSERT_TRUE(doc.m_selection.Create(10, 10));
  std::fill_n(doc.m_selection.pixels, doc.m_selection.byteSize, std::uint8_t{255});
  ASSERT_TRUE(doc.Crop({2, 2, 6, 6}));
  ASSERT_TRUE(Record(kStepDocument, u"hisCrop"));
  EXPECT_FALSE(doc.m_selection.IsEmpty());
  ASSERT_TRUE(history.GoToStep(0));
  EXPECT_EQ(doc.m_width, 10u);
  EXPECT_TRUE(doc.m_selection.IsEmpty());

  ASSERT_TRUE(doc.m_selection.Create(10, 10));
  ASSERT_TRUE(Record(kStepLayerList));
  ASSERT_TRUE(history.GoToStep(0));
  EXPECT_FALSE(doc.m_selection.IsEmpty()) << "an undo that keeps the size keeps the selection";
}

TEST_F(DocHistoryTest, RectanglesAreCutToTheLayer) {
  MakeBase(doc, 8, 8, kDark);
  ASSERT_TRUE(Record(kStepDocument));
  ASSERT_TRUE(Paint(0, {5, 6, 8, 8}, kLight));
  const auto past = HistoryStep::EncodeRectangle({-4, -4, 3, 2});
  FillRect(doc.m_layers[0]->m_image, {0, 0, 3, 2}, kLight);
  ASSERT_TRUE(history.AddStep(kStepRegion, 0, u"past the corner", StepBlock::None, 7, past));
  const auto outside = HistoryStep::EncodeRectangle({20, 20, 30, 30});
  EXPECT_FALSE(history.AddStep(kStepRegion, 0, u"outside", StepBlock::None, 7, outside))
      << "no pixel to store";
  EXPECT_FALSE(history.AddStep(kStepRegion, 0, u"short", StepBlock::None, 7, std::span(past).first(15)));
  EXPECT_FALSE(history.AddStep(kStepRegion, 4, u"no layer", StepBlock::None, 7, past));
  EXPECT_EQ(history.StepCount(), 3);

  ASSERT_TRUE(history.GoToStep(0));
  ASSERT_TRUE(history.GoToStep(2));
  const CBgraImage16& image = doc.m_layers[0]->m_image;
  for (std::uint32_t y = 0; y < 8; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) {
      const bool light = (x < 3 && y < 2) || (x >= 5 && y >= 6);
      EXPECT_EQ(PixelOf(image, x, y), light ? kLight : kDark) << x << "," << y;
    }
  }
}

TEST_F(DocHistoryTest, RestorePixelsCopiesOnlyWhatFitsTheLayerAndTheImageRead) {
  MakeBase(doc, 4, 4, kDark);
  struct Case {
    Rect rectangle;
    std::uint32_t side;  // of the stored image
    std::uint32_t lightPixels;
  };
  for (const Case c : {Case{{3, 3, 11, 11}, 8, 1}, Case{{0, 0, 4, 4}, 2, 4}, Case{{2, 0, 0, 2}, 9, 4}}) {
    doc.m_layers[0]->m_image = FilledImage(4, 4, kDark);
    CMemFile stored;
    ASSERT_TRUE(WritePackedImage16(FilledImage(c.side, c.side, kLight), stored));
    ASSERT_TRUE(stored.Seek(0, CFile::SeekOrigin::Begin));
    ASSERT_TRUE(history.RestorePixels(stored, doc.m_layers[0]->m_id, c.rectangle));
    const CBgraImage16& image = doc.m_layers[0]->m_image;
    std::uint32_t light = 0;
    for (std::uint32_t i = 0; i < image.pixelCount; ++i) light += image.pixels[4 * i] == kLight[0];
    EXPECT_EQ(light, c.lightPixels) << c.rectangle.left << "," << c.rectangle.top;
  }
  CMemFile none;
  EXPECT_FALSE(history.RestorePixels(none, doc.m_layers[0]->m_id + 100, {0, 0, 1, 1}));
}

TEST_F(DocHistoryTest, AFailedReplayStopsAtTheLastGoodStep) {
  MakeBase(doc, 6, 6, kDark);
  ASSERT_TRUE(Record(kStepDocument));
  ASSERT_TRUE(Paint(0, {0, 0, 2, 2}, kLight));
  ASSERT_TRUE(Paint(0, {2, 2, 4, 4}, kLight));
  // Cut the file inside step 2's payload.
  std::filesystem::resize_file(history.FilePath(), history.Steps()[2].offset + 3);
  ASSERT_TRUE(history.GoToStep(0));
  EXPECT_FALSE(history.GoToStep(2));
  EXPECT_EQ(history.CurrentStep(), 1);
  EXPECT_EQ(PixelOf(doc.m_layers[0]->m_image, 0, 0), kLight);
  EXPECT_FALSE(window.framesLocked);
}

TEST_F(DocHistoryTest, RecordingAfterTheListWasFreedStartsAgainAtOffsetZero) {
  MakeBase(doc, 6, 6);
  ASSERT_TRUE(Record(kStepDocument));
  ASSERT_TRUE(Record(kStepLayerList));
  history.FreeSteps();
  EXPECT_EQ(history.CurrentStep(), 1) << "freeing the list leaves the current step";
  ASSERT_TRUE(Paint(0, {0, 0, 1, 1}, kLight));
  ASSERT_EQ(history.StepCount(), 1);
  EXPECT_EQ(history.Steps()[0].type, kStepDocument);
  EXPECT_EQ(history.Steps()[0].offset, 0u);
  EXPECT_EQ(history.CurrentStep(), 0);
}

TEST(DocHistoryOpen, FailuresAreReported) {
  CBFDoc doc;
  MakeBase(doc, 4, 4);
  CDocHistory history;
  EXPECT_FALSE(history.AddStep(kStepDocument, -1, u"x", StepBlock::None, 0, {})) << "not opened";
  EXPECT_FALSE(history.Open(doc, [](std::filesystem::path&, std::u16string_view) { return false; }));
  std::u16string prefix;
  ASSERT_TRUE(history.Open(doc, [&](std::filesystem::path& path, std::u16string_view p) {
    prefix = p;
    path = ScratchDir() / "history";
    return true;
  }));
  EXPECT_EQ(prefix, u"his");
  EXPECT_TRUE(std::filesystem::exists(history.FilePath()));
  std::filesystem::remove(history.FilePath());
  EXPECT_FALSE(history.AddStep(kStepDocument, -1, u"x", StepBlock::None, 0, {})) << "the file went away";
  EXPECT_EQ(history.StepCount(), 0);
}

}  // namespace

namespace {

// Steps as another process left them: each record encoded and decoded.
std::vector<HistoryStep> ThroughRecords(std::span<const HistoryStep> steps) {
  std::vector<HistoryStep> read;
  for (const HistoryStep& step : steps) {
    std::array<std::uint8_t, HistoryStep::kRecordSize> bytes;
    step.Encode(bytes);
    HistoryStep decoded;
    EXPECT_TRUE(HistoryStep::Decode(bytes, decoded));
    read.push_back(decoded);
  }
  return read;
}

}  // namespace

TEST(HistoryStepRecord, DecodeRefusesWhatNoHistoryWritesAndDropsHeapBlocks) {
  HistoryStep step;
  step.name[0] = u'R';
  step.offset = 0x0001'2345'6789ULL;
  step.size = 0x02'0000'0010ULL;
  step.type = kStepRegion;
  step.layerId = -7;
  step.replayable = 1;
  step.stepType = 9;
  step.paramSize = 16;
  step.params[15] = 0xEE;
  std::array<std::uint8_t, HistoryStep::kRecordSize> bytes;
  step.Encode(bytes);
  HistoryStep read;
  ASSERT_TRUE(HistoryStep::Decode(bytes, read));
  EXPECT_EQ(read.Name(), u"R");
  EXPECT_EQ(read.offset, step.offset);
  EXPECT_EQ(read.size, step.size);
  EXPECT_EQ(read.layerId, -7);
  EXPECT_EQ(read.Params().size(), 16u);
  EXPECT_EQ(read.Params()[15], 0xEE);

  const struct {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    bool ok;
  } cases[] = {
      {"unknown type", 72, 7, false},
      {"zero size", 68, 0, false},
      {"negative block size", 1108, 0xFFFF'FFFF, false},
      {"heap block: kept without it", 1108, 2000, true},
  };
  for (const auto& c : cases) {
    auto damaged = bytes;
    if (c.at == 72) {
      damaged[72] = static_cast<std::uint8_t>(c.value);
    } else {
      StoreLE32(&damaged[c.at], c.value);
      if (c.at == 68) damaged[81] = 0;
    }
    HistoryStep out;
    EXPECT_EQ(HistoryStep::Decode(damaged, out), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(out.replayable, 0) << c.what;
      EXPECT_TRUE(out.Params().empty()) << c.what;
    }
  }
  auto unterminated = bytes;
  for (std::size_t i = 0; i < HistoryStep::kNameLength; ++i) StoreLE16(&unterminated[2 * i], u'x');
  EXPECT_FALSE(HistoryStep::Decode(unterminated, read));
}

TEST_F(DocHistoryTest, AdoptedStepsReplayToTheLastAndUndoToTheFirst) {
  MakeBase(doc, 6, 6, kDark);
  ASSERT_TRUE(Record(kStepDocument, u"hisopen"));
  ASSERT_TRUE(Paint(0, {0, 0, 3, 3}, kLight));
  ASSERT_TRUE(Paint(0, {3, 3, 6, 6}, kLight));
  const std::filesystem::path file = history.FilePath();
  const std::vector<HistoryStep> steps = ThroughRecords(history.Steps());

  CBFDoc other;
  CDocHistory adopted;
  ASSERT_TRUE(adopted.Open(other, ScratchFileMaker()));
  ASSERT_TRUE(adopted.AdoptSteps(other, file, steps, ScratchFileMaker()));
  EXPECT_FALSE(std::filesystem::exists(file)) << "taken under a name of this run";
  EXPECT_TRUE(std::filesystem::exists(adopted.FilePath()));
  EXPECT_EQ(adopted.CurrentStep(), 2);
  EXPECT_TRUE(adopted.ChangedSinceSave());
  ASSERT_EQ(other.LayerCount(), 1);
  EXPECT_EQ(PixelOf(other.m_layers[0]->m_image, 0, 0), kLight);
  EXPECT_EQ(PixelOf(other.m_layers[0]->m_image, 5, 5), kLight);
  ASSERT_TRUE(adopted.GoToStep(0));
  EXPECT_EQ(PixelOf(other.m_layers[0]->m_image, 0, 0), kDark);
  EXPECT_EQ(PixelOf(other.m_layers[0]->m_image, 5, 5), kDark);
}

TEST_F(DocHistoryTest, StepsThatDoNotFitTheirFileAreNotAdopted) {
  MakeBase(doc, 6, 6, kDark);
  ASSERT_TRUE(Record(kStepDocument, u"hisopen"));
  ASSERT_TRUE(Paint(0, {0, 0, 3, 3}, kLight));
  const std::filesystem::path file = history.FilePath();
  const std::vector<HistoryStep> good = ThroughRecords(history.Steps());

  std::vector<HistoryStep> pastEnd = good, noSnapshot = good, unknown = good;
  pastEnd[1].size += 1;
  noSnapshot.erase(noSnapshot.begin());
  unknown[1].type = 77;
  const struct {
    const char* what;
    std::vector<HistoryStep> steps;
    std::filesystem::path file;
  } cases[] = {
      {"a payload past the file's end", pastEnd, file},
      {"step 0 not a snapshot", noSnapshot, file},
      {"an unknown step type", unknown, file},
      {"no steps", {}, file},
      {"a missing file", good, file.parent_path() / "missing.bftmp"},
  };
  for (const auto& c : cases) {
    CBFDoc other;
    CDocHistory adopted;
    ASSERT_TRUE(adopted.Open(other, ScratchFileMaker()));
    EXPECT_FALSE(adopted.AdoptSteps(other, c.file, c.steps, ScratchFileMaker())) << c.what;
    EXPECT_EQ(adopted.StepCount(), 0) << c.what;
    EXPECT_TRUE(std::filesystem::exists(file)) << c.what << ": the file stays where it was";
  }
}
