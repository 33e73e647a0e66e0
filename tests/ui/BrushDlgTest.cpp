// The brush and its dialog: stamps of softness 0 and 50 against the
// formulas written out plainly, the preview centred or scaled down with the
// size written on it, values out of range, the dialog's sliders changing
// the brush and its preview at once, size-only mode, the anchor, and Cancel.

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "algorithms/GaussBlur.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/PaintBrush.h"
#include "ui/dialogs/BrushDlg.h"
#include "ui/widgets/SliderSprite.h"

namespace {

// The stamp as the formulas give it, one pixel at a time.
std::vector<std::uint8_t> ReferenceStamp(std::int32_t size, std::int32_t softness, std::uint32_t& side) {
  side = static_cast<std::uint32_t>((softness / 80.0 + 1) * size + 1);
  const double r = size * 0.5;
  const double c = (softness / 80.0 + 1) * size * 0.5;
  CPlane8 disc;
  EXPECT_TRUE(disc.Create(side, side));
  for (std::uint32_t y = 0; y < side; ++y) {
    for (std::uint32_t x = 0; x < side; ++x) {
      const double t = std::sqrt((x - c) * (x - c) + (y - c) * (y - c));
      int v = 255;
      if (t > r + 0.5)
        v = 0;
      else if (t > r - 0.5)
        v = 255 - static_cast<int>((t - r + 0.5) * 255);
      disc.Row(y)[x] = static_cast<std::uint8_t>(v);
    }
  }
  if (softness > 0) {
    CGaussBlur blur;
    CPlane8 blurred;
    EXPECT_TRUE(blur.BlurPlane(disc, blurred, softness * size / 400.0));
    disc = std::move(blurred);
  }
  std::vector<std::uint8_t> out(disc.pixels, disc.pixels + disc.byteSize);
  for (std::uint8_t& value : out) {
    const int v = value;
    const int o = v < 128 ? 128 - v : 0;
    value = static_cast<std::uint8_t>((128 - o * o / 128) * v / 128);
  }
  return out;
}

class BrushDlgTest : public DialogFixture {
public:
  static CBrushDlg& Of(CDialogSprite& dialog) { return dynamic_cast<CBrushDlg&>(dialog); }
  static std::int32_t Value(const CSliderSprite* slider) {
    std::lock_guard guard(slider->lock);
    return slider->value;
  }
};

TEST_F(BrushDlgTest, StampsFollowTheFormulas) {
  for (const std::int32_t softness : {0, 50}) {
    for (const std::int32_t size : {1, 2, 7, 20, 33, 120}) {
      SCOPED_TRACE(testing::Message() << "softness " << softness << ", size " << size);
      PaintBrush brush;
      brush.size = size;
      brush.softness = softness;
      ASSERT_TRUE(brush.BuildStamp());
      std::uint32_t side = 0;
      const std::vector<std::uint8_t> expected = ReferenceStamp(size, softness, side);
      ASSERT_EQ(brush.stamp.width, side);
      ASSERT_EQ(brush.stamp.height, side);
      ASSERT_EQ(std::vector<std::uint8_t>(brush.stamp.pixels, brush.stamp.pixels + brush.stamp.byteSize),
                expected);
      // A hard brush is solid inside.
      if (softness == 0 && size >= 7) {
        EXPECT_EQ(brush.stamp.Row(side / 2)[side / 2], 255);
      }
    }
  }
}

TEST_F(BrushDlgTest, ValuesOutOfRangeAreHeld) {
  PaintBrush brush;
  brush.size = -4;
  brush.softness = 400;
  brush.opacity = -1;
  ASSERT_TRUE(brush.BuildStamp());
  EXPECT_EQ(brush.size, 1);
  EXPECT_EQ(brush.softness, 100);
  EXPECT_EQ(brush.opacity, 0);
}

TEST_F(BrushDlgTest, APreviewHoldsTheStampCentredOrScaledWithItsSize) {
  PaintBrush brush;
  brush.size = 10;
  brush.softness = 0;
  brush.opacity = 45;
  ASSERT_TRUE(brush.BuildPreview(35));  // builds the stamp too
  const std::uint32_t side = brush.stamp.width;
  ASSERT_EQ(brush.preview.width, 35u);
  const std::uint32_t offset = (35 - side) / 2;
  for (std::uint32_t y = 0; y < 35; ++y) {
    for (std::uint32_t x = 0; x < 35; ++x) {
      const std::uint8_t* p = brush.preview.At(x, y);
      const bool on = x >= offset && y >= offset && x < offset + side && y < offset + side;
      const int v = on ? brush.stamp.Row(y - offset)[x - offset] : 0;
      const int alpha = static_cast<int>(std::sqrt(v / 255.0) * 255) * (45 + 10) / 110;
      ASSERT_EQ(p[3], alpha) << x << "," << y;
      if (on) {
        ASSERT_EQ(p[0], 240);
      }
    }
  }
  // A stamp larger than the preview: scaled down, the size written in the
  // theme's colour 1 over the top-left corner, where the brush is clear.
  brush.size = 80;
  ASSERT_TRUE(brush.BuildStamp());
  ASSERT_TRUE(brush.BuildPreview(35));
  ASSERT_EQ(brush.preview.width, 35u);
  int written = 0;
  for (std::uint32_t y = 0; y < 10; ++y)
    for (std::uint32_t x = 0; x < 14; ++x)
      if (brush.preview.At(x, y)[3] > 0 && brush.preview.At(x, y)[0] != 240) ++written;
  EXPECT_GT(written, 5);
  EXPECT_EQ(brush.preview.At(17, 17)[0], 240);  // the middle of the brush
}

TEST_F(BrushDlgTest, SlidersChangeTheBrushAndItsPreviewAtOnce) {
  PaintBrush brush;
  brush.size = 12;
  brush.softness = 30;
  brush.opacity = 70;
  CDialogScript script;
  script.Next(CBrushDlg::kTemplateId)
      .Call([](CDialogSprite& d) {
        CBrushDlg& dialog = Of(d);
        EXPECT_EQ(Value(dialog.sizeSlider), 12);
        EXPECT_EQ(dialog.sizeSlider->maximum, 200);
        EXPECT_EQ(Value(dialog.softnessSlider), 30);
        EXPECT_EQ(Value(dialog.opacitySlider), 70);
        EXPECT_EQ(dialog.previewRect.Width(), dialog.previewRect.Height());
        EXPECT_EQ(dialog.brush.preview.width, static_cast<std::uint32_t>(dialog.previewRect.Width()));
        dialog.sizeSlider->SetSliderValue(150, true);
      })
      .Call([](CDialogSprite& d) {
        CBrushDlg& dialog = Of(d);
        EXPECT_EQ(dialog.brush.size, 150);
        EXPECT_EQ(dialog.brush.stamp.width, static_cast<std::uint32_t>((30 / 80.0 + 1) * 150 + 1));
        EXPECT_TRUE(dialog.dirty);
        // The next frame shows the preview on black.
        d.UpdateSurface(TickCount());
        const Rect r = dialog.previewRect;
        const std::uint8_t* corner =
            d.surface.At(static_cast<std::uint32_t>(r.left), static_cast<std::uint32_t>(r.top));
        EXPECT_LT(corner[1], 60);  // the size's digits may lie here: never the brush's 240
        const std::uint8_t* middle = d.surface.At(static_cast<std::uint32_t>((r.left + r.right) / 2),
                                                  static_cast<std::uint32_t>((r.top + r.bottom) / 2));
        EXPECT_EQ(middle[1], 240 * (255 * 80 / 110) / 255);  // opacity 70 over black
        dialog.opacitySlider->SetSliderValue(20, true);
        dialog.softnessSlider->SetSliderValue(0, true);
      })
      .Press(1);
  EXPECT_TRUE(brush.EditWithDialog(200, {-1, 0}, 0));
  ExpectAnswered(script);
  EXPECT_EQ(brush.size, 150);
  EXPECT_EQ(brush.softness, 0);
  EXPECT_EQ(brush.opacity, 20);
  EXPECT_EQ(brush.stamp.width, 151u);
}

TEST_F(BrushDlgTest, SizeOnlyKeepsSoftnessAndOpacityAtTheAnchor) {
  PaintBrush brush;
  brush.size = 5;
  brush.softness = 37;
  brush.opacity = 64;
  CDialogScript script;
  script.Next(CBrushDlg::kTemplateId)
      .Call([](CDialogSprite& d) {
        CBrushDlg& dialog = Of(d);
        EXPECT_FALSE(dialog.softnessSlider->IsEnabled());
        EXPECT_FALSE(dialog.opacitySlider->IsEnabled());
        EXPECT_EQ(d.rect.left, 30);
        EXPECT_EQ(d.rect.top, 44);
        // The largest size offered is at most 512.
        EXPECT_EQ(dialog.sizeSlider->maximum, 512);
        dialog.sizeSlider->SetSliderValue(9, true);
      })
      .Press(1);
  EXPECT_TRUE(brush.EditWithDialog(5000, {30, 44}, 1));
  ExpectAnswered(script);
  EXPECT_EQ(brush.size, 9);
  EXPECT_EQ(brush.softness, 37);
  EXPECT_EQ(brush.opacity, 64);
}

TEST_F(BrushDlgTest, CancelLeavesTheBrush) {
  PaintBrush brush;
  brush.size = 5;
  CDialogScript script;
  script.Next(CBrushDlg::kTemplateId)
      .Call([](CDialogSprite& d) { Of(d).sizeSlider->SetSliderValue(90, true); })
      .Press(2);
  EXPECT_FALSE(brush.EditWithDialog(256, {-1, -1}, 0));
  ExpectAnswered(script);
  EXPECT_EQ(brush.size, 5);
  EXPECT_TRUE(brush.stamp.IsEmpty());
}

}  // namespace
