#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <mutex>

#include "FilterPictures.h"
#include "algorithms/AlgorithmThread.h"
#include "filters/PurpleFringe.h"
#include "image/ColorModel.h"
#include "platform/LittleEndian.h"

namespace {

using namespace filter_pictures;

void Paint(CBgraImage16& image, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1,
           std::array<std::uint16_t, 3> bgr) {
  for (std::uint32_t y = y0; y < y1; ++y) {
    for (std::uint32_t x = x0; x < x1; ++x) std::copy(bgr.begin(), bgr.end(), image.At(x, y));
  }
}

std::uint16_t Saturation(const CBgraImage16& image, std::uint32_t x, std::uint32_t y) {
  std::uint16_t p[4];
  std::copy_n(image.At(x, y), 4, p);
  RgbToHsl16(p, 1);
  return p[1];
}

// The mean saturation of a box.
double MeanSaturation(const CBgraImage16& image, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                      std::uint32_t y1) {
  double sum = 0;
  for (std::uint32_t y = y0; y < y1; ++y) {
    for (std::uint32_t x = x0; x < x1; ++x) sum += Saturation(image, x, y);
  }
  return sum / ((x1 - x0) * (y1 - y0));
}

CBgraImage16 Fringe(const CBgraImage16& source, PurpleFringeParams params, int expected = 1) {
  CPurpleFringe fringe;
  CBgraImage16 target;
  fringe.m_source = const_cast<CBgraImage16*>(&source);
  fringe.m_target = &target;
  fringe.m_params = &params;
  EXPECT_EQ(fringe.Process(), expected);
  return target;
}

// A dark field meeting a bright one at column 150, with a purple halo along
// the edge above row 100 and a cyan one below, and a purple square far from
// the edge.
CBgraImage16 HaloScene() {
  CBgraImage16 image = Flat(300, 200, 1500);
  Paint(image, 150, 0, 300, 200, {50000, 50000, 50000});
  Paint(image, 146, 0, 150, 100, {30000, 3000, 16000});
  Paint(image, 146, 100, 150, 200, {20000, 20000, 3000});
  Paint(image, 20, 140, 60, 180, {30000, 3000, 16000});
  return image;
}

TEST(PurpleFringe, DesaturatesFringeColouredEdgesOnly) {
  const CBgraImage16 scene = HaloScene();
  const CBgraImage16 result = Fringe(scene, {});
  // The purple halo loses most of its colour ...
  EXPECT_LT(MeanSaturation(result, 146, 10, 150, 90), 0.3 * MeanSaturation(scene, 146, 10, 150, 90));
  // ... a halo of another hue and purple away from edges keep theirs.
  EXPECT_GT(MeanSaturation(result, 146, 110, 150, 190), 0.95 * MeanSaturation(scene, 146, 110, 150, 190));
  EXPECT_GT(MeanSaturation(result, 30, 150, 50, 170), 0.99 * MeanSaturation(scene, 30, 150, 50, 170));

  // A flat picture has no edges: only the round trip through HSL.
  const CBgraImage16 flat = Flat(64, 48, 0);
  CBgraImage16 purple = Copy(flat);
  Paint(purple, 0, 0, 64, 48, {30000, 3000, 16000});
  CBgraImage16 roundTrip = Copy(purple);
  RgbToHsl16(roundTrip.pixels, roundTrip.pixelCount);
  HslToRgb16(roundTrip.pixels, roundTrip.pixelCount);
  EXPECT_TRUE(SamePixels(Fringe(purple, {}), roundTrip));
}

// Full weight near the fringe colour's hue and its opposite, none far away.
TEST(PurpleFringe, HueWeights) {
  const std::array<std::uint16_t, 4> colour = {40000, 0, 20000, 65535};
  std::uint16_t hsl[4] = {colour[0], colour[1], colour[2], colour[3]};
  RgbToHsl16(hsl, 1);
  const std::int32_t hue = hsl[2];
  std::array<std::uint8_t, 65536> weights{};
  CPurpleFringe::BuildHueWeights(colour, weights);
  const auto at = [&](std::int32_t offset) {
    return weights[static_cast<std::size_t>((hue + offset) & 0xFFFF)];
  };
  EXPECT_EQ(at(0), 255);
  EXPECT_EQ(at(0x8000), 255);
  EXPECT_EQ(at(-3999), 255);
  EXPECT_EQ(at(0x8000 + 6000), 127);
  EXPECT_EQ(at(-8000), 0);
  EXPECT_EQ(at(0x4000), 0);
}

// The picture's grey blobs at a real position, in linear light.
double Blobs(double x, double y) {
  const double gx = std::fmod(x + 1000, 20.0) - 10, gy = std::fmod(y + 1000, 20.0) - 10;
  return 4000 + 40000 * std::exp(-(gx * gx + gy * gy) / 18);
}

// A grey picture whose red channel was scaled radially by -scale / 10000
// (the filter's own model): red scale +scale lines it up with green again,
// better than edge desaturation alone; the opposite scale makes it worse.
TEST(PurpleFringe, ChromaticAberrationRealignsRed) {
  constexpr std::uint32_t w = 400, h = 300;
  constexpr double d = 0.01;
  CBgraImage16 image = Flat(w, h, 0);
  const double cx = w / 2.0, cy = h / 2.0, diagonal = std::hypot(w, h);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const double u = (x - cx) / diagonal, v = (y - cy) / diagonal;
      const double s = 1 - d * std::pow(u * u + v * v, 0.3);
      std::uint16_t* p = image.At(x, y);
      p[0] = p[1] = static_cast<std::uint16_t>(Blobs(x, y));
      p[2] = static_cast<std::uint16_t>(Blobs((x - cx) * s + cx, (y - cy) * s + cy));
    }
  }
  const auto misfit = [&](const CBgraImage16& picture) {
    double sum = 0;
    for (std::uint32_t y = 2; y + 2 < h; ++y) {
      for (std::uint32_t x = 2; x + 2 < w; ++x) sum += std::abs(picture.At(x, y)[2] - picture.At(x, y)[1]);
    }
    return sum;
  };
  PurpleFringeParams params;
  params.mode = 1;
  const double desaturated = misfit(Fringe(image, params));
  params.redScale = 100;
  const double aligned = misfit(Fringe(image, params));
  params.redScale = -100;
  const double worse = misfit(Fringe(image, params));
  EXPECT_LT(aligned, 0.5 * desaturated);
  EXPECT_GT(worse, desaturated);
  EXPECT_LT(desaturated, misfit(image));
}

// With both scales 0 only edges move toward grey; the outermost ring and
// flat areas keep their colour.
TEST(PurpleFringe, ChromaticAberrationWithoutScalesDesaturatesEdges) {
  const CBgraImage16 scene = HaloScene();
  PurpleFringeParams params;
  params.mode = 1;
  const CBgraImage16 result = Fringe(scene, params);
  EXPECT_LT(Saturation(result, 149, 150), Saturation(scene, 149, 150));
  EXPECT_EQ(Saturation(result, 40, 160), Saturation(scene, 40, 160));
  for (std::uint32_t x = 0; x < scene.width; ++x) {
    EXPECT_EQ(std::memcmp(result.At(x, 0), scene.At(x, 0), 8), 0);
    EXPECT_EQ(std::memcmp(result.At(x, 199), scene.At(x, 199), 8), 0);
  }
}

// Cancels the running job once the picture is in HSL, before any stripe.
class CancelBeforeStripes : public IAlgorithmMessageSink {
public:
  int PostSpriteMessage(std::uint64_t, std::int32_t, std::uint64_t wparam, std::uint64_t lparam) override {
    std::lock_guard lock(mutex);
    if (wparam < kAlgorithmCompletionBase) {
      if (wparam >= 20) theAlgorithmThread.Cancel();
    } else {
      result = static_cast<std::int64_t>(lparam);
    }
    return 1;
  }
  std::mutex mutex;
  std::int64_t result = -1;
};

// A cancel that skips every stripe leaves no row in HSL: the target holds
// the source's colours.
TEST(PurpleFringe, CancelledStripesLeaveNoRowInHsl) {
  CBgraImage16 source = Noise(1000, 960, 4);
  Paint(source, 0, 0, 1000, 960, {30000, 3000, 16000});
  Paint(source, 500, 0, 1000, 960, {50000, 50000, 50000});
  PurpleFringeParams params;
  CBgraImage16 target;
  CPurpleFringe fringe;
  CancelBeforeStripes sink;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&fringe, &source, &target, &params, 3, {&sink, 1}), 1);
  theAlgorithmThread.WaitWhileBusy();
  EXPECT_EQ(sink.result, 1);
  EXPECT_TRUE(SamePixels(target, source));
}

TEST(PurpleFringe, StoredRecord) {
  PurpleFringeParams block;
  block.mode = 1;
  block.redScale = -40;
  block.blueScale = 70;
  block.fringeColour = {1, 2, 3, 4};
  const auto bytes = PurpleFringeParamsToBytes(block);
  EXPECT_EQ(LoadLE16(bytes.data()), 24);
  EXPECT_EQ(LoadLE64(bytes.data() + 16), 0x0004000300020001u);
  PurpleFringeParams read;
  ASSERT_EQ(PurpleFringeParamsFromBytes(bytes, read), 1);
  EXPECT_EQ(read.mode, 1);
  EXPECT_EQ(read.redScale, -40);
  EXPECT_EQ(read.blueScale, 70);
  EXPECT_EQ(read.fringeColour, block.fringeColour);
  EXPECT_EQ(PurpleFringeParamsFromBytes(std::span(bytes).first(23), read), 0);
  auto odd = bytes;
  StoreLE32(odd.data() + 8, 0x7FFFFFFF);
  StoreLE32(odd.data() + 12, 0x80000000u);
  ASSERT_EQ(PurpleFringeParamsFromBytes(odd, read), 1);
  EXPECT_EQ(read.redScale, 100);
  EXPECT_EQ(read.blueScale, -100);
}

}  // namespace
