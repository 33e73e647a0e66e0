// A random run of edits, each recorded as a step (with undos in between that
// drop redo steps), then every recorded state revisited through the history
// in several orders, twice.
//
// Layer pixels go through the lossy packed record. A replayed pixel comes
// from the last payload that covered it, so it is the recorded pixel packed
// once, or the recorded pixel itself when that was already read back from
// the history (an undo during the run) and not painted since. Nothing else
// is allowed, so walking the history never drifts.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "document/BFDoc.h"
#include "document/BlendMode.h"
#include "document/DocHistory.h"
#include "document/TextLayer.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/document/HistoryTestSupport.h"

namespace {

struct RecordedState {
  std::unique_ptr<CBFDoc> doc;
  std::vector<std::int32_t> ids;  // copies take new ids; the history keeps the old ones
};

// Each pixel of got is the recorded pixel or the recorded pixel packed.
::testing::AssertionResult WithinPackingLoss(const CBgraImage16& got, const CBgraImage16& recorded) {
  if (got.width != recorded.width || got.height != recorded.height) {
    return ::testing::AssertionFailure() << "size " << got.width << "x" << got.height << ", recorded "
                                         << recorded.width << "x" << recorded.height;
  }
  const CBgraImage16 packed = Packed(recorded);
  for (std::uint32_t i = 0; i < got.pixelCount; ++i) {
    const std::uint16_t* g = got.pixels + 4 * std::size_t{i};
    if (!std::equal(g, g + 4, recorded.pixels + 4 * std::size_t{i}) &&
        !std::equal(g, g + 4, packed.pixels + 4 * std::size_t{i})) {
      return ::testing::AssertionFailure() << "pixel " << i % got.width << "," << i / got.width << " is "
                                           << g[0] << " " << g[1] << " " << g[2] << " " << g[3];
    }
  }
  return ::testing::AssertionSuccess();
}

class RandomEdits {
public:
  explicit RandomEdits(std::uint32_t seed) : m_rng(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
  int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
  std::uint16_t Sample() { return static_cast<std::uint16_t>(Below(65536)); }
  Pixel16 AnyPixel(bool translucent) {
    return {Sample(), Sample(), Sample(), translucent ? Sample() : std::uint16_t{65535}};
  }

  void Noise(CBgraImage16& image, const Rect& r) {
    const bool translucent = Below(3) == 0;
    for (std::int32_t y = r.top; y < r.bottom; ++y)
      for (std::int32_t x = r.left; x < r.right; ++x)
        SetPixel(image, std::uint32_t(x), std::uint32_t(y), AnyPixel(translucent));
  }

  CBgraImage16 NoiseImage(std::uint32_t w, std::uint32_t h) {
    CBgraImage16 image = FilledImage(w, h, kClear);
    Noise(image, {0, 0, std::int32_t(w), std::int32_t(h)});
    return image;
  }

private:
  std::mt19937 m_rng;
};

class HistoryProperty : public ::testing::TestWithParam<std::uint32_t> {
protected:
  void SetUp() override {
    OpenHistory(history, doc, window, listener);
    ASSERT_TRUE(doc.InsertLayer(edits.NoiseImage(20, 12), u"base", -1));
    auto text = std::make_unique<CTextLayer>();
    text->m_image = edits.NoiseImage(6, 5);
    text->m_x = 3;
    text->m_y = 2;
    text->SetText(u"caption");
    doc.m_layers.push_back(std::move(text));
    ASSERT_TRUE(doc.InsertLayer(edits.NoiseImage(8, 6), u"floating", -1));
    Record(kStepDocument, -1);
  }

  void Record(HistoryStepType type, int layer, std::span<const std::uint8_t> params = {}) {
    ASSERT_TRUE(history.AddStep(type, layer, u"edit", StepBlock::None, 0, params))
        << "step " << history.StepCount();
    // Recording after an undo dropped the redo steps.
    recorded.resize(std::min(recorded.size(), static_cast<std::size_t>(history.CurrentStep())));
    RecordedState state{std::make_unique<CBFDoc>(), {}};
    ASSERT_TRUE(state.doc->CopyFrom(doc));
    for (const auto& l : doc.m_layers) state.ids.push_back(l->m_id);
    recorded.push_back(std::move(state));
    ASSERT_EQ(recorded.size(), history.Steps().size());
  }

  void EditRectangle() {
    const int index = edits.Below(doc.LayerCount());
    CBgraImage16& image = doc.m_layers[std::size_t(index)]->m_image;
    const int w = int(image.width), h = int(image.height);
    // A rectangle that may reach past the layer and may come reversed.
    const int x = edits.Below(w), y = edits.Below(h);
    Rect r{edits.Between(x - 3, x), edits.Between(y - 3, y), edits.Between(x + 1, x + 4),
           edits.Between(y + 1, y + 4)};
    const Rect inside{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, w), std::min(r.bottom, h)};
    edits.Noise(image, inside);
    if (edits.Below(2)) std::swap(r.left, r.right);
    if (edits.Below(2)) std::swap(r.top, r.bottom);
    const auto bytes = HistoryStep::EncodeRectangle(r);
    Record(kStepRegion, index, bytes);
  }

  void EditWholeLayer() {
    const int index = edits.Below(doc.LayerCount());
    CBFLayer& layer = *doc.m_layers[std::size_t(index)];
    layer.m_image = edits.NoiseImage(layer.m_image.width, layer.m_image.height);
    if (auto* text = dynamic_cast<CTextLayer*>(&layer))
      text->SetText(u"text " + std::u16string(1, u'a' + char16_t(edits.Below(26))));
    Record(kStepLayer, index);
  }

  void EditProperties() {
    CBFLayer& layer = *doc.m_layers[std::size_t(edits.Below(doc.LayerCount()))];
    switch (edits.Below(6)) {
      case 0:
        layer.m_opacity = std::uint8_t(edits.Below(256));
        break;
      case 1:
        layer.m_visible = layer.m_visible ? 0 : 1;
        break;
      case 2:
        layer.m_blendMode = std::uint8_t(edits.Below(kBlendModeLast + 1));
        break;
      case 3:
        layer.SetName(u"name " + std::u16string(1, u'A' + char16_t(edits.Below(26))));
        break;
      case 4:
        layer.m_x += edits.Between(-4, 4);
        layer.m_y += edits.Between(-4, 4);
        break;
      default:
        doc.m_currentLayer = edits.Below(doc.LayerCount());
        break;
    }
    Record(kStepLayerList, -1);
  }

  void EditDocument() {
    switch (edits.Below(6)) {
      case 0:
        if (doc.LayerCount() < 5) {
          ASSERT_TRUE(doc.InsertLayer(
              edits.NoiseImage(std::uint32_t(edits.Between(1, 9)), std::uint32_t(edits.Between(1, 9))),
              u"inserted", edits.Below(2) ? -1 : 1));
        }
        break;
      case 1:
        if (doc.LayerCount() > 1) doc.DeleteLayer(edits.Between(1, doc.LayerCount() - 1));
        break;
      case 2:
        if (doc.LayerCount() > 1) {
          ASSERT_TRUE(doc.MergeLayerDown(edits.Between(1, doc.LayerCount() - 1)));
        }
        break;
      case 3:
        ASSERT_TRUE(edits.Below(2) ? doc.RotateRight() : doc.FlipHorizontal());
        break;
      case 4:
        if (doc.m_width > 8 && doc.m_height > 8) {
          const int left = edits.Below(3), top = edits.Below(3);
          ASSERT_TRUE(doc.Crop(
              {left, top, int(doc.m_width) - 1 - edits.Below(3), int(doc.m_height) - 1 - edits.Below(3)}));
        }
        break;
      default:
        if (doc.m_width < 30 && doc.m_height < 30) {
          ASSERT_TRUE(
              doc.ResizeCanvas(int(doc.m_width) + 2, int(doc.m_height) + 1, 1, 0, 0xFFFF'1234'5678'9ABCULL));
        }
        break;
    }
    Record(kStepDocument, -1);
  }

  void Undo() {
    const int current = history.CurrentStep();
    if (current < 1) return;
    const int target = current - edits.Between(1, std::min(current, 3));
    ASSERT_TRUE(history.GoToStep(target));
    ExpectRecorded(target, "undo during the run");
  }

  void ExpectRecorded(int index, const std::string& where) {
    SCOPED_TRACE(where + ", step " + std::to_string(index) + " of " + std::to_string(recorded.size()));
    const RecordedState& state = recorded[std::size_t(index)];
    const CBFDoc& want = *state.doc;
    ASSERT_EQ(history.CurrentStep(), index);
    ASSERT_EQ(doc.m_width, want.m_width);
    ASSERT_EQ(doc.m_height, want.m_height);
    ASSERT_EQ(doc.LayerCount(), want.LayerCount());
    EXPECT_EQ(doc.m_currentLayer, want.m_currentLayer);
    for (std::size_t i = 0; i < doc.m_layers.size(); ++i) {
      const CBFLayer& got = *doc.m_layers[i];
      const CBFLayer& exp = *want.m_layers[i];
      SCOPED_TRACE("layer " + std::to_string(i));
      EXPECT_EQ(got.m_id, state.ids[i]);
      EXPECT_EQ(got.m_kind, exp.m_kind);
      EXPECT_EQ(got.m_x, exp.m_x);
      EXPECT_EQ(got.m_y, exp.m_y);
      EXPECT_EQ(got.m_opacity, exp.m_opacity);
      EXPECT_EQ(got.m_blendMode, exp.m_blendMode);
      EXPECT_EQ(got.m_visible, exp.m_visible);
      EXPECT_EQ(got.m_floating, exp.m_floating);
      EXPECT_EQ(got.Name(), exp.Name());
      EXPECT_TRUE(WithinPackingLoss(got.m_image, exp.m_image));
      if (exp.m_kind == kLayerText) {
        EXPECT_EQ(static_cast<const CTextLayer&>(got).Text(), static_cast<const CTextLayer&>(exp).Text());
      }
    }
  }

  // Every later visit of a step gives exactly the pixels of the first.
  void ExpectNoDrift(int index, const std::string& where) {
    auto& first = walked[std::size_t(index)];
    if (!first) {
      first = std::make_unique<CBFDoc>();
      ASSERT_TRUE(first->CopyFrom(doc));
      return;
    }
    for (std::size_t i = 0; i < doc.m_layers.size(); ++i) {
      EXPECT_TRUE(SamePixels(doc.m_layers[i]->m_image, first->m_layers[i]->m_image))
          << where << ", step " << index << ", layer " << i;
    }
  }

  void Walk(const std::vector<int>& order, const std::string& name) {
    walked.resize(recorded.size());
    for (int index : order) {
      const int replays = window.replays;
      ASSERT_TRUE(history.GoToStep(index)) << name << " to " << index;
      ExpectRecorded(index, name);
      // Staying on the live state replays nothing; only read-back states count.
      if (window.replays > replays) ExpectNoDrift(index, name);
      if (HasFatalFailure()) return;
    }
  }

  RandomEdits edits{GetParam()};
  CBFDoc doc;
  CDocHistory history;
  RecordingWindow window;
  RecordingListener listener;
  std::vector<RecordedState> recorded;
  std::vector<std::unique_ptr<CBFDoc>> walked;  // each step as first visited
};

TEST_P(HistoryProperty, EveryStepGivesBackTheStateRecordedThen) {
  for (int i = 0; i < 60 && !HasFatalFailure(); ++i) {
    const int pick = edits.Below(20);
    if (pick < 7) {
      EditRectangle();
    } else if (pick < 11) {
      EditWholeLayer();
    } else if (pick < 15) {
      EditProperties();
    } else if (pick < 18) {
      EditDocument();
    } else {
      Undo();
    }
  }
  ASSERT_FALSE(HasFatalFailure());
  const int count = history.StepCount();
  ASSERT_GE(count, 20);

  std::vector<int> up(static_cast<std::size_t>(count));
  std::iota(up.begin(), up.end(), 0);
  const std::vector<int> down(up.rbegin(), up.rend());
  std::vector<int> shuffled = up;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(GetParam() + 1));
  Walk(down, "undo to the start");
  Walk(up, "redo to the end");
  Walk(shuffled, "jumps");
  Walk(down, "second undo walk");
  Walk(shuffled, "second jumps");
}

INSTANTIATE_TEST_SUITE_P(Seeds, HistoryProperty, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
