// The busy indicator: the rings' coverage (none at the centre), the
// percentage made of the skin's digit glyphs at its two sizes, "05" and the
// sliver of "100", and when the percentage picture is rebuilt.

#include <cmath>
#include <mutex>

#include "tests/ui/WidgetTestSupport.h"
#include "ui/UIResources.h"
#include "ui/widgets/SProgress.h"

namespace {

class ProgressTest : public WidgetFixture {
public:
  ProgressTest() : WidgetFixture({640, 480}) {}
  CSProgress& Indicator() { return window.progress; }
  void Show(std::int32_t side) { window.ShowProgress({10, 10, 10 + side, 10 + side}); }
  // The coverage of a digit glyph's cell at (x, y).
  static std::uint8_t Glyph(std::size_t digit, std::uint32_t x, std::uint32_t y) {
    return UIResources().skins.digits.At(digit)->At(x, y)[2];
  }
};

TEST(BusyRingCoverage, RingsBandsAndGaps) {
  struct Case {
    const char* name;
    double x, y;
    std::int64_t spin, gapAngle;
    std::int32_t expected;
  };
  // Radius 100. On the negative x axis the angle is 180 + atan(0) = 180;
  // on the positive y axis 270, on the negative y axis 90.
  const Case cases[] = {
      {"the centre", 0, 0, 0, 0, 0},
      {"the centre, other times", 0, 0, 37, 211, 0},
      {"the inner ring", -38.5, 0, 0, 100, 192},
      {"the inner ring in a gap", -38.5, 0, 0, 0, 0},
      {"the inner ring in the gap's other half", -38.5, 0, 0, 175, 0},
      {"inside the inner ring", -30, 0, 0, 100, 0},
      {"between inner ring and band", -45, 0, 0, 100, 0},
      {"the band", -60, 0, 50, 0, 144},
      {"the band's gap", -60, 0, 5, 0, 0},
      {"the band's gap's far edge", -60, 0, 170, 0, 0},
      {"between band and outer ring", -77, 0, 50, 100, 0},
      {"the outer ring", -90, 0, 50, 100, 96},
      {"the outer ring in a gap", -90, 0, 50, 0, 0},
      {"the rim", -100, 0, 50, 100, 0},
      {"outside", -150, 0, 50, 100, 0},
      {"on the y axis", 0, 90, 0, 100, 96},
      {"on the y axis, in the gap", 0, 90, 0, 265, 0},
      {"on the negative y axis", 0, -38.5, 0, 0, 192},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BusyRingCoverage(c.x, c.y, 100.0, c.spin, c.gapAngle), c.expected) << c.name;
  }
  // No radius at all draws nothing, the centre included.
  EXPECT_EQ(BusyRingCoverage(0, 0, 0, 0, 0), 0);
}

TEST_F(ProgressTest, DigitsAtNaturalSizeOrResampled) {
  struct Case {
    std::int32_t side;
    std::uint32_t width, height;
  };
  // s = side x 16 / 50: 64 shows the 42 x 27 picture, 38 resamples it.
  for (const Case& c : {Case{200, 42, 27}, Case{120, 38, 19}, Case{169, 42, 27}, Case{168, 53, 26}}) {
    SCOPED_TRACE(c.side);
    Show(c.side);
    Indicator().SetPercent(5);
    {
      std::lock_guard guard(Indicator().lock);
      EXPECT_EQ(Indicator().percentImage.width, c.width);
      EXPECT_EQ(Indicator().percentImage.height, c.height);
    }
    window.HideProgress();
    EXPECT_TRUE(Indicator().percentImage.IsEmpty());
  }
}

TEST_F(ProgressTest, PercentagesAreTwoDigitGlyphsAndTheSliverOfAThird) {
  Show(200);
  const std::uint32_t colour = UIResources().theme.colors[1] & 0xFFFFFFu;
  struct Case {
    std::int32_t percent;
    std::size_t digits[3];  // the third shows its first two columns
  };
  for (const Case& c : {Case{5, {0, 5, 99}}, Case{100, {1, 0, 0}}, Case{42, {4, 2, 99}}}) {
    SCOPED_TRACE(c.percent);
    Indicator().SetPercent(c.percent);
    std::lock_guard guard(Indicator().lock);
    const CBgraImage& picture = Indicator().percentImage;
    ASSERT_EQ(picture.width, 42u);
    for (std::uint32_t y = 0; y < 27; ++y) {
      for (std::uint32_t x = 0; x < 42; ++x) {
        const std::size_t digit = c.digits[x / 20];
        const std::uint8_t coverage = digit == 99 ? 0 : Glyph(digit, x % 20, y);
        ASSERT_EQ(PixelAt(picture, x, y), colour | (std::uint32_t{coverage} << 24)) << x << "," << y;
      }
    }
  }
}

TEST_F(ProgressTest, APercentageIsBuiltOncePerShowing) {
  Indicator().SetPercent(30);
  EXPECT_EQ(Indicator().lastPercent, -1) << "nothing while hidden";
  EXPECT_TRUE(Indicator().percentImage.IsEmpty());
  Show(200);
  Indicator().SetPercent(30);
  auto mark = [&](std::uint8_t value) {
    std::lock_guard guard(Indicator().lock);
    Indicator().percentImage.pixels[0] = value;
  };
  auto marked = [&] {
    std::lock_guard guard(Indicator().lock);
    return Indicator().percentImage.pixels[0];
  };
  mark(77);
  Indicator().SetPercent(30);
  EXPECT_EQ(marked(), 77) << "the same value rebuilds nothing";
  window.HideProgress();
  EXPECT_EQ(Indicator().lastPercent, -1);
  Show(200);
  Indicator().SetPercent(30);
  EXPECT_NE(marked(), 77) << "after hiding, the same value is drawn again";
}

TEST_F(ProgressTest, TheIndicatorDrawsRingsWithTheDigitsInTheMiddle) {
  Show(200);
  Indicator().SetPercent(88);
  Frame();
  const std::uint32_t now = TickCount();
  std::lock_guard guard(Indicator().lock);
  const CBgraImage& surface = Indicator().surface;
  // The centre has no ring: the digits' fully covered pixels show plainly.
  const std::uint32_t digitColour = UIResources().theme.colors[1] | 0xFF000000u;
  int solid = 0;
  for (std::uint32_t y = 0; y < 27; ++y) {
    for (std::uint32_t x = 0; x < 40; ++x) {
      if (Glyph(8, x % 20, y) != 255) continue;
      ASSERT_EQ(PixelAt(surface, 79 + x, 86 + y), digitColour) << x << "," << y;
      ++solid;
    }
  }
  EXPECT_GT(solid, 20);
  // Elsewhere each pixel is theme colour 4 at the mean of four samples.
  const std::uint32_t white = UIResources().theme.colors[4] & 0xFFFFFFu;
  for (const Point p : {Point{10, 100}, Point{100, 5}, Point{140, 100}, Point{100, 160}, Point{0, 0}}) {
    const double x = p.x - 100, y = p.y - 100;
    std::int32_t sum = 0;
    for (const double dx : {0.5, 0.0}) {
      for (const double dy : {0.5, 0.0})
        sum += BusyRingCoverage(x + dx, y + dy, 100, now / 100, (now / 50) % 360);
    }
    EXPECT_EQ(PixelAt(surface, p.x, p.y), white | (static_cast<std::uint32_t>(sum / 4) << 24))
        << p.x << "," << p.y;
  }
}

}  // namespace
