#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <numbers>
#include <vector>

#include "algorithms/AlgorithmThread.h"
#include "filters/ImageInpainting.h"

namespace {

using PixelFn = std::function<void(std::uint32_t x, std::uint32_t y, std::uint16_t* bgra)>;

CBgraImage16 MakeImage(std::uint32_t w, std::uint32_t h, const PixelFn& fn) {
  CBgraImage16 image;
  EXPECT_TRUE(image.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      std::uint16_t* p = image.At(x, y);
      p[3] = 65535;
      fn(x, y, p);
    }
  }
  return image;
}

// A texture periodic in 12 columns and 10 rows, different in each channel.
void Stripes(std::uint32_t x, std::uint32_t y, std::uint16_t* p) {
  const double a = 2 * std::numbers::pi * (x % 12) / 12.0, b = 2 * std::numbers::pi * (y % 10) / 10.0;
  p[0] = static_cast<std::uint16_t>(30000 + 15000 * std::sin(a) + 8000 * std::cos(b));
  p[1] = static_cast<std::uint16_t>(25000 + 12000 * std::cos(a) - 6000 * std::sin(b));
  p[2] = static_cast<std::uint16_t>(35000 + 9000 * std::sin(a + b));
}

CPlane8 MakeMask(std::uint32_t w, std::uint32_t h,
                 const std::function<std::uint8_t(std::int32_t, std::int32_t)>& fn) {
  CPlane8 mask;
  EXPECT_TRUE(mask.Create(w, h));
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      mask.Row(y)[x] = fn(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    }
  }
  return mask;
}

CPlane8 RectMask(std::uint32_t w, std::uint32_t h, std::int32_t left, std::int32_t top, std::int32_t right,
                 std::int32_t bottom) {
  return MakeMask(w, h, [=](std::int32_t x, std::int32_t y) -> std::uint8_t {
    return x >= left && x < right && y >= top && y < bottom ? 255 : 0;
  });
}

// The source with the masked pixels spoiled (a bright red), so that a pixel
// the fill does not reach shows.
CBgraImage16 Spoiled(const CBgraImage16& clean, const CPlane8& mask) {
  CBgraImage16 image;
  EXPECT_TRUE(image.CopyFrom(clean));
  for (std::uint32_t i = 0; i < image.pixelCount; ++i) {
    if (mask.pixels[i] >= 128) {
      image.pixels[4 * i] = 0;
      image.pixels[4 * i + 1] = 0;
      image.pixels[4 * i + 2] = 65535;
    }
  }
  return image;
}

int Inpaint(const CBgraImage16& source, CBgraImage16& target, CPlane8& mask, std::int32_t patchSize,
            std::int32_t edgePatchesOnly = 0, std::int32_t softenMask = 0) {
  CImageInpainting inpainting;
  InpaintingParams params;
  params.mask = &mask;
  params.patchSize = patchSize;
  params.edgePatchesOnly = edgePatchesOnly;
  params.softenMask = softenMask;
  inpainting.m_source = const_cast<CBgraImage16*>(&source);
  inpainting.m_target = &target;
  inpainting.m_params = &params;
  return inpainting.Process();
}

// PSNR over the colour samples of the pixels the mask marks for filling, on
// the 16-bit scale.
double HolePsnr(const CBgraImage16& result, const CBgraImage16& clean, const CPlane8& mask) {
  double sum = 0;
  std::size_t n = 0;
  for (std::uint32_t i = 0; i < clean.pixelCount; ++i) {
    if (mask.pixels[i] < 128) continue;
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(result.pixels[4 * i + c]) - clean.pixels[4 * i + c];
      sum += d * d;
      ++n;
    }
  }
  return 10 * std::log10(65535.0 * 65535.0 / std::max(sum / static_cast<double>(n), 1e-9));
}

bool SamePixels(const CBgraImage16& a, const CBgraImage16& b) {
  return a.width == b.width && a.height == b.height && std::memcmp(a.pixels, b.pixels, a.byteSize) == 0;
}

// The three search modes: full resolution (below 12), half scale (12 to 24)
// and third scale.
constexpr std::int32_t kPatchSizes[] = {8, 16, 32};

// Every candidate over a flat area matches perfectly (score 0): the hole is
// filled with the flat colour, exactly.
TEST(ImageInpainting, FillsAFlatHoleExactly) {
  const CBgraImage16 clean = MakeImage(200, 160, [](std::uint32_t, std::uint32_t, std::uint16_t* p) {
    p[0] = 12000;
    p[1] = 23000;
    p[2] = 34000;
  });
  for (const std::int32_t c : kPatchSizes) {
    SCOPED_TRACE(c);
    CPlane8 mask = RectMask(200, 160, 80, 60, 120, 95);
    const CBgraImage16 source = Spoiled(clean, mask);
    CBgraImage16 target;
    ASSERT_EQ(Inpaint(source, target, mask, c), 1);
    EXPECT_TRUE(SamePixels(target, clean));
  }
}

TEST(ImageInpainting, RebuildsPeriodicStripes) {
  const CBgraImage16 clean = MakeImage(240, 200, Stripes);
  for (const std::int32_t c : kPatchSizes) {
    SCOPED_TRACE(c);
    CPlane8 mask = MakeMask(240, 200, [](std::int32_t x, std::int32_t y) -> std::uint8_t {
      return (x - 120) * (x - 120) + (y - 100) * (y - 100) <= 22 * 22 ? 255 : 0;
    });
    const CBgraImage16 source = Spoiled(clean, mask);
    CBgraImage16 target;
    ASSERT_EQ(Inpaint(source, target, mask, c), 1);
    const double psnr = HolePsnr(target, clean, mask);
    EXPECT_GE(psnr, 35.0);
    // Known pixels are never written.
    for (std::uint32_t i = 0; i < clean.pixelCount; ++i) {
      if (mask.pixels[i] == 0) {
        ASSERT_EQ(std::memcmp(target.pixels + 4 * i, source.pixels + 4 * i, 8), 0) << i;
      }
    }
  }
}

// A vertical edge between two colours runs through the hole: each side is
// continued with its own colour.
TEST(ImageInpainting, KeepsEachSideOfAnEdge) {
  constexpr std::uint32_t kEdge = 100;
  const CBgraImage16 clean = MakeImage(200, 160, [](std::uint32_t x, std::uint32_t, std::uint16_t* p) {
    p[0] = x < kEdge ? 8000 : 50000;
    p[1] = x < kEdge ? 40000 : 20000;
    p[2] = x < kEdge ? 10000 : 30000;
  });
  for (const std::int32_t c : kPatchSizes) {
    SCOPED_TRACE(c);
    CPlane8 mask = RectMask(200, 160, 78, 58, 122, 100);
    const CBgraImage16 source = Spoiled(clean, mask);
    CBgraImage16 target;
    ASSERT_EQ(Inpaint(source, target, mask, c), 1);
    std::size_t holes = 0, kept = 0;
    for (std::uint32_t i = 0; i < clean.pixelCount; ++i) {
      if (mask.pixels[i] < 128) continue;
      ++holes;
      kept += std::memcmp(target.pixels + 4 * i, clean.pixels + 4 * i, 6) == 0;
    }
    EXPECT_GE(kept, holes * 95 / 100) << kept << " of " << holes;
  }
}

// Holes at the border are filled on a copy padded with the picture mirrored:
// the stripes go on up to the edge, with no dark padding pasted in, and the
// result keeps the picture's size.
TEST(ImageInpainting, FillsHolesAtTheBorderFromTheMirroredPicture) {
  const CBgraImage16 clean = MakeImage(180, 150, Stripes);
  struct Case {
    std::int32_t left, top, right, bottom;
  };
  for (const std::int32_t c : kPatchSizes) {
    for (const Case& r :
         {Case{0, 50, 20, 90}, Case{150, 0, 180, 25}, Case{0, 120, 30, 150}, Case{80, 140, 110, 150}}) {
      SCOPED_TRACE(testing::Message() << "patch " << c << ", hole " << r.left << "," << r.top);
      CPlane8 mask = RectMask(180, 150, r.left, r.top, r.right, r.bottom);
      const CBgraImage16 source = Spoiled(clean, mask);
      CBgraImage16 target;
      ASSERT_EQ(Inpaint(source, target, mask, c), 1);
      ASSERT_EQ(target.width, 180u);
      ASSERT_EQ(target.height, 150u);
      EXPECT_GE(HolePsnr(target, clean, mask), 35.0);
    }
  }
}

// Small patches have a margin larger than a fifth of them, and every patch
// size its own padding test: holes at every distance from every border,
// with patch sizes from 1 up, read and write only inside the picture (the
// sanitizers watch) and fill the hole. A 1-pixel patch lies inside every
// window of its search (4 pixels around, windows of 5), so it never finds a
// candidate and the run fails.
TEST(ImageInpainting, WindowsStayInsideThePictureNearTheBorder) {
  const CBgraImage16 clean =
      MakeImage(72, 60, [](std::uint32_t, std::uint32_t, std::uint16_t* p) { p[0] = p[1] = p[2] = 21000; });
  for (const std::int32_t c : {1, 2, 3, 4, 5, 7, 9, 10, 13, 25}) {
    for (std::int32_t d = 0; d <= c / 2 + 8; ++d) {
      SCOPED_TRACE(testing::Message() << "patch " << c << ", distance " << d);
      for (const bool far : {false, true}) {
        // A hole d pixels from the top-left or the bottom-right corner: 6 x 5,
        // or 3 x 3 for the smallest patches, whose search reaches 4 patches
        // around them only.
        const std::int32_t w = c < 4 ? 3 : 6, h = c < 4 ? 3 : 5;
        const std::int32_t left = far ? 72 - d - w : d, top = far ? 60 - d - h : d;
        CPlane8 mask = RectMask(72, 60, left, top, left + w, top + h);
        const CBgraImage16 source = Spoiled(clean, mask);
        CBgraImage16 target;
        if (c == 1) {
          EXPECT_EQ(Inpaint(source, target, mask, c), 0);
          continue;
        }
        ASSERT_EQ(Inpaint(source, target, mask, c), 1);
        EXPECT_TRUE(SamePixels(target, clean));
      }
    }
  }
}

TEST(ImageInpainting, RejectsBadBlocksAndMasksOverAThird) {
  const CBgraImage16 source = MakeImage(90, 60, Stripes);
  CBgraImage16 untouched = MakeImage(5, 5, Stripes);
  const auto rejected = [&](CPlane8* mask, std::int32_t patchSize, std::int32_t edgePatchesOnly) {
    CImageInpainting inpainting;
    InpaintingParams params;
    params.mask = mask;
    params.patchSize = patchSize;
    params.edgePatchesOnly = edgePatchesOnly;
    CBgraImage16 target;
    EXPECT_TRUE(target.CopyFrom(untouched));
    inpainting.m_source = const_cast<CBgraImage16*>(&source);
    inpainting.m_target = &target;
    inpainting.m_params = &params;
    return inpainting.Process() == 0 && SamePixels(target, untouched);
  };
  CPlane8 small = RectMask(40, 60, 10, 10, 20, 20);
  CPlane8 hole = RectMask(90, 60, 40, 20, 50, 30);
  EXPECT_TRUE(rejected(nullptr, 16, 0));
  EXPECT_TRUE(rejected(&small, 16, 0));  // another size than the picture
  for (const std::int32_t c : {0, -1, -2147483647 - 1, 20001}) EXPECT_TRUE(rejected(&hole, c, 0)) << c;

  // 1801 of 5400 pixels is more than a third; 1800 is not.
  CPlane8 third = MakeMask(
      90, 60, [](std::int32_t x, std::int32_t y) -> std::uint8_t { return y * 90 + x < 1801 ? 255 : 0; });
  EXPECT_TRUE(rejected(&third, 16, 0));
  third.pixels[1800] = 0;
  CBgraImage16 target;
  EXPECT_EQ(Inpaint(source, target, third, 16), 1);
}

// With edgePatchesOnly a mask of any size is taken, and only the patches on
// its soft edge are filled (besides the first one chosen).
TEST(ImageInpainting, EdgePatchesOnlyFillsTheSoftEdge) {
  const CBgraImage16 clean = MakeImage(300, 240, Stripes);
  // Full inside a 200 x 160 box, falling off over 24 pixels around it.
  CPlane8 mask = MakeMask(300, 240, [](std::int32_t x, std::int32_t y) -> std::uint8_t {
    const std::int32_t dx = std::max({60 - x, x - 239, 0}), dy = std::max({50 - y, y - 189, 0});
    const double d = std::hypot(dx, dy);
    return static_cast<std::uint8_t>(std::clamp(255.0 - d * 255.0 / 24.0, 0.0, 255.0));
  });
  const CBgraImage16 source = Spoiled(clean, mask);
  CBgraImage16 target;
  ASSERT_EQ(Inpaint(source, target, mask, 32, 0), 0);  // over a third
  ASSERT_EQ(Inpaint(source, target, mask, 32, 1), 1);
  // The centre stays as it was; the hole's rim is rebuilt.
  EXPECT_EQ(std::memcmp(target.At(150, 120), source.At(150, 120), 8), 0);
  std::size_t rim = 0, rebuilt = 0;
  for (std::uint32_t y = 50; y < 190; ++y) {
    for (const std::uint32_t x : {61u, 62u, 237u, 238u}) {
      ++rim;
      rebuilt += std::memcmp(target.At(x, y), source.At(x, y), 8) != 0;
    }
  }
  EXPECT_GE(rebuilt, rim * 9 / 10);
}

// When no window near a patch is fully known, the run fails; with
// edgePatchesOnly the patch is skipped and the run ends normally.
TEST(ImageInpainting, PatchWithoutCandidatesFailsOrIsSkipped) {
  const CBgraImage16 source = MakeImage(100, 100, Stripes);
  // A dot every 8 pixels: every window of a 16-pixel patch (22 with its
  // margin) holds one; the dots are 1 / 64 of the picture.
  CPlane8 dots = MakeMask(100, 100, [](std::int32_t x, std::int32_t y) -> std::uint8_t {
    return x % 8 == 4 && y % 8 == 4 ? 255 : 0;
  });
  CBgraImage16 target;
  EXPECT_EQ(Inpaint(source, target, dots, 16, 0), 0);
  EXPECT_EQ(Inpaint(source, target, dots, 16, 1), 1);
}

TEST(ImageInpainting, EmptyOrSingleLineMasksCopyTheSource) {
  const CBgraImage16 source = MakeImage(80, 70, Stripes);
  struct Box {
    std::int32_t left, top, right, bottom;
  };
  for (const Box& b : {Box{0, 0, 0, 0}, Box{40, 10, 41, 50}, Box{10, 30, 60, 31}}) {
    CPlane8 mask = RectMask(80, 70, b.left, b.top, b.right, b.bottom);
    CBgraImage16 target;
    ASSERT_EQ(Inpaint(source, target, mask, 16), 1);
    EXPECT_TRUE(SamePixels(target, source));
  }
}

// softenMask blurs the caller's mask before the fill (on a run away from the
// border; a padded run blurs its own copy).
TEST(ImageInpainting, SoftenMaskBlursTheCallersMask) {
  const CBgraImage16 source = MakeImage(200, 160, Stripes);
  CPlane8 mask = RectMask(200, 160, 80, 60, 120, 100);
  CBgraImage16 target;
  ASSERT_EQ(Inpaint(source, target, mask, 16, 0, 1), 1);
  EXPECT_EQ(mask.Row(80)[100], 255);
  EXPECT_GT(mask.Row(80)[80], 0);
  EXPECT_LT(mask.Row(80)[80], 255);
  EXPECT_GT(mask.Row(80)[79], 0);

  CPlane8 border = RectMask(200, 160, 0, 60, 30, 100);
  CPlane8 before;
  ASSERT_TRUE(before.CopyFrom(border));
  ASSERT_EQ(Inpaint(source, target, border, 16, 0, 1), 1);
  EXPECT_EQ(std::memcmp(border.pixels, before.pixels, border.byteSize), 0);
}

TEST(ImageInpainting, MeasureMaskThickness) {
  struct Case {
    const char* name;
    std::function<std::uint8_t(std::int32_t, std::int32_t)> shape;
    std::int32_t low, high;
  };
  const auto disc = [](std::int32_t radius) {
    return [radius](std::int32_t x, std::int32_t y) -> std::uint8_t {
      return (x - 200) * (x - 200) + (y - 200) * (y - 200) <= radius * radius ? 255 : 0;
    };
  };
  for (const Case& c : {
           Case{"thin line",
                [](std::int32_t, std::int32_t y) -> std::uint8_t { return y >= 100 && y < 104 ? 255 : 0; }, 8,
                8},
           Case{"empty", [](std::int32_t, std::int32_t) -> std::uint8_t { return 0; }, 8, 8},
           Case{"soft values below 128", [](std::int32_t, std::int32_t) -> std::uint8_t { return 127; }, 8,
                8},
           Case{"disc of radius 30", disc(30), 9, 62},
           Case{"large blob",
                [](std::int32_t x, std::int32_t y) -> std::uint8_t {
                  return x >= 20 && x < 380 && y >= 20 && y < 380 ? 255 : 0;
                },
                63, 63},
       }) {
    SCOPED_TRACE(c.name);
    CPlane8 mask = MakeMask(400, 400, c.shape);
    CPlane8 before;
    ASSERT_TRUE(before.CopyFrom(mask));
    const std::int32_t t = MeasureMaskThickness(mask);
    EXPECT_GE(t, c.low);
    EXPECT_LE(t, c.high);
    EXPECT_EQ(std::memcmp(mask.pixels, before.pixels, mask.byteSize), 0);
  }
  // Thicker masks give larger patches.
  CPlane8 narrow = MakeMask(400, 400, disc(20)), wide = MakeMask(400, 400, disc(60));
  EXPECT_LT(MeasureMaskThickness(narrow), MeasureMaskThickness(wide));
}

// Cancels the running job once it has filled some patches, and records the
// result.
class CancellingSink : public IAlgorithmMessageSink {
public:
  int PostSpriteMessage(std::uint64_t, std::int32_t, std::uint64_t wparam, std::uint64_t lparam) override {
    std::lock_guard lock(m_mutex);
    if (wparam < kAlgorithmCompletionBase) {
      if (wparam >= 8 && !cancelled) {
        cancelled = true;
        theAlgorithmThread.Cancel();
      }
      last = wparam;
    } else {
      result = static_cast<std::int64_t>(lparam);
    }
    return 1;
  }
  std::mutex m_mutex;
  bool cancelled = false;
  std::uint64_t last = 0;
  std::int64_t result = -1;
};

// A 12-megapixel picture with a 5 % hole, run as the job of the algorithm
// thread: the cancel ends it after the current patch, with result 1, the
// picture's size and part of the hole filled.
TEST(ImageInpainting, CancelStopsALargeRunAfterTheCurrentPatch) {
  constexpr std::uint32_t kW = 4000, kH = 3000;
  const CBgraImage16 clean = MakeImage(kW, kH, Stripes);
  // A disc of 5 % of the picture.
  const std::int32_t radius = static_cast<std::int32_t>(std::sqrt(0.05 * kW * kH / std::numbers::pi));
  CPlane8 mask = MakeMask(kW, kH, [radius](std::int32_t x, std::int32_t y) -> std::uint8_t {
    return (x - 2000) * (x - 2000) + (y - 1500) * (y - 1500) <= radius * radius ? 255 : 0;
  });
  const CBgraImage16 source = Spoiled(clean, mask);
  CBgraImage16 target;
  InpaintingParams params;
  params.mask = &mask;
  params.patchSize = 32;
  CImageInpainting inpainting;
  CancellingSink sink;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&inpainting, const_cast<CBgraImage16*>(&source), &target,
                                                   &params, 7, {&sink, 1}),
            1);
  theAlgorithmThread.WaitWhileBusy();
  std::lock_guard lock(sink.m_mutex);
  EXPECT_TRUE(sink.cancelled);
  EXPECT_EQ(sink.result, 1);
  EXPECT_LT(sink.last, 20u);
  ASSERT_EQ(target.width, kW);
  ASSERT_EQ(target.height, kH);
  std::size_t filled = 0, left = 0;
  for (std::uint32_t i = 0; i < target.pixelCount; ++i) {
    if (mask.pixels[i] < 128) continue;
    (std::memcmp(target.pixels + 4 * i, source.pixels + 4 * i, 8) == 0 ? left : filled) += 1;
  }
  EXPECT_GT(filled, 0u);
  EXPECT_GT(left, filled);
}

}  // namespace
