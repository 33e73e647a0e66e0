// The stored parameter blocks of the tone and colour adjustments: each is its
// own memory image on this little-endian machine, reads back field for
// field, takes a shorter block's fields over the defaults, and holds every
// field of a damaged one to its range.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "algorithms/tone/AFilmAdjust.h"
#include "algorithms/tone/BrightnessContrast.h"
#include "algorithms/tone/ColorAdjust.h"
#include "algorithms/tone/ColorContrast.h"
#include "algorithms/tone/ColorMixer.h"
#include "algorithms/tone/SpotMetering.h"
#include "algorithms/tone/WhiteBalance.h"
#include "platform/LittleEndian.h"
#include "tests/algorithms/ToneTestSupport.h"

namespace {

TEST(ToneParams, EveryBlockReadsBackFieldForField) {
  WhiteBalanceParams balance{1000, 2000, 3000, WhiteBalanceMode::kGivenColour};
  ExpectRoundTrip(balance, WhiteBalanceParamsToBytes, WhiteBalanceParamsFromBytes);
  ExpectRoundTrip(SpotMeteringParams{11, 22, 33, 44}, SpotMeteringParamsToBytes, SpotMeteringParamsFromBytes);

  AFilmAdjustParams film;
  film.exposure = -7;
  film.dynamicRange = 25;
  film.temperature = -1200;
  film.colourBoost = 33;
  film.grain = 80;
  film.sharpness = -40;
  ExpectRoundTrip(film, AFilmAdjustParamsToBytes, AFilmAdjustParamsFromBytes);

  BrightnessContrastParams bricon;
  bricon.brightness = -55;
  bricon.contrast = 66;
  ExpectRoundTrip(bricon, BrightnessContrastParamsToBytes, BrightnessContrastParamsFromBytes);

  ColorMixerParams mixer;
  mixer.mode = 1;
  mixer.redOut = {1, 2, 3, 4};
  mixer.greenOut = {-5, 6, -7, 8};
  mixer.blueOut = {9, 10, 11, -12};
  mixer.lumaOut = {13, 14, 15, 16};
  ExpectRoundTrip(mixer, ColorMixerParamsToBytes, ColorMixerParamsFromBytes);

  ColorAdjustParams adjust;
  adjust.mode = 1;
  adjust.redShift = 1;
  adjust.greenShift = -2;
  adjust.blueShift = 3;
  adjust.hue = -4;
  adjust.saturation = 5;
  adjust.lightness = -6;
  adjust.hueRange = 1;
  adjust.handles[0] = 10;
  adjust.handles[1] = 20;
  adjust.handles[2] = 30;
  adjust.handles[3] = 40;
  adjust.hueOffset = 50;
  ExpectRoundTrip(adjust, ColorAdjustParamsToBytes, ColorAdjustParamsFromBytes);

  ColorContrastParams contrast;
  contrast.amount = 150;
  ExpectRoundTrip(contrast, ColorContrastParamsToBytes, ColorContrastParamsFromBytes);
}

// A block stored with a smaller size word (an older version, or a scheme
// step of size 0) keeps the defaults of the fields it does not hold.
TEST(ToneParams, ShortBlocksKeepTheDefaults) {
  std::vector<std::uint8_t> bytes(72, 0);
  StoreLE16(bytes.data(), 12);
  StoreLE32(bytes.data() + 4, 1);    // mixer mode
  StoreLE32(bytes.data() + 8, 77);   // red row, red weight
  StoreLE32(bytes.data() + 12, 99);  // not held: the size word stops before it
  ColorMixerParams mixer;
  ASSERT_EQ(ColorMixerParamsFromBytes(bytes, mixer), 1);
  EXPECT_EQ(mixer.size, 72);
  EXPECT_EQ(mixer.mode, 1);
  EXPECT_EQ(mixer.redOut.red, 77);
  EXPECT_EQ(mixer.redOut.green, 0);
  EXPECT_EQ(mixer.lumaOut.green, 60);

  StoreLE16(bytes.data(), 0);
  AFilmAdjustParams film;
  film.exposure = 9;
  ASSERT_EQ(AFilmAdjustParamsFromBytes(std::span(bytes).first(2), film), 1);
  EXPECT_EQ(film.size, 28);
  EXPECT_EQ(film.exposure, 0);

  // A size word beyond the bytes given is refused.
  StoreLE16(bytes.data(), 12);
  BrightnessContrastParams bricon;
  EXPECT_EQ(BrightnessContrastParamsFromBytes(std::span(bytes).first(11), bricon), 0);
}

// Nonsense values as a damaged file or scheme holds them.
TEST(ToneParams, DamagedFieldsAreHeldToTheirRanges) {
  struct Case {
    const char* name;
    std::size_t offset;
    std::int32_t stored;
    std::int32_t read;
  };
  const auto film = [](std::size_t offset, std::int32_t stored) {
    std::array<std::uint8_t, 28> b = AFilmAdjustParamsToBytes(AFilmAdjustParams{});
    StoreLE32(b.data() + offset, static_cast<std::uint32_t>(stored));
    AFilmAdjustParams p;
    EXPECT_EQ(AFilmAdjustParamsFromBytes(b, p), 1);
    std::int32_t v;
    std::memcpy(&v, reinterpret_cast<const std::uint8_t*>(&p) + offset, 4);
    return v;
  };
  const Case filmCases[] = {
      {"exposure", 4, INT32_MIN, -100},
      {"exposure", 4, 1000, 100},
      {"dynamic range", 8, -5000, -300},
      {"temperature", 12, INT32_MIN, -10000},
      {"temperature", 12, 40000, 10000},
      {"boost", 16, -51, -50},
      {"boost", 16, 64, 50},
      {"grain", 20, -1, 0},
      {"grain", 20, 8129, 8128},
      {"grain", 20, INT32_MAX, 8128},
      {"sharpness", 24, 500, 100},
      {"grain", 20, 70, 70},
  };
  for (const Case& c : filmCases) EXPECT_EQ(film(c.offset, c.stored), c.read) << c.name << " " << c.stored;

  BrightnessContrastParams bricon;
  bricon.brightness = -101;
  bricon.contrast = INT32_MIN;
  ValidateBrightnessContrastParams(bricon);
  EXPECT_EQ(bricon.brightness, -100);
  EXPECT_EQ(bricon.contrast, -100);

  ColorMixerParams mixer;
  mixer.mode = -3;
  mixer.redOut = {201, -201, INT32_MAX, INT32_MIN};
  ValidateColorMixerParams(mixer);
  EXPECT_EQ(mixer.mode, 1);
  EXPECT_EQ(mixer.redOut.red, 200);
  EXPECT_EQ(mixer.redOut.green, -200);
  EXPECT_EQ(mixer.redOut.blue, 200);
  EXPECT_EQ(mixer.redOut.constant, -200);

  ColorAdjustParams adjust;
  adjust.mode = 7;
  adjust.redShift = 128;  // would wrap the 16-bit reference colour
  adjust.saturation = -500;
  adjust.hueRange = -1;
  adjust.handles[0] = 70000;
  adjust.handles[1] = -5;
  adjust.handles[2] = 300;
  adjust.handles[3] = 200;
  adjust.hueOffset = -1;
  ValidateColorAdjustParams(adjust);
  EXPECT_EQ(adjust.mode, 1);
  EXPECT_EQ(adjust.redShift, 100);
  EXPECT_EQ(adjust.saturation, -100);
  EXPECT_EQ(adjust.hueRange, 1);
  EXPECT_EQ((std::array{adjust.handles[0], adjust.handles[1], adjust.handles[2], adjust.handles[3]}),
            (std::array{0, 200, 300, 65535}));
  EXPECT_EQ(adjust.hueOffset, 65535);

  ColorContrastParams contrast;
  contrast.amount = INT32_MAX;
  ValidateColorContrastParams(contrast);
  EXPECT_EQ(contrast.amount, 1000);

  WhiteBalanceParams balance{1, 2, 3, static_cast<WhiteBalanceMode>(3)};
  ValidateWhiteBalanceParams(balance);
  EXPECT_EQ(balance.mode, WhiteBalanceMode::kGivenColour);
  for (WhiteBalanceMode kept :
       {WhiteBalanceMode::kAutomatic, WhiteBalanceMode::kAutomaticHalfway, WhiteBalanceMode::kNoChange}) {
    balance.mode = kept;
    ValidateWhiteBalanceParams(balance);
    EXPECT_EQ(balance.mode, kept);
  }
}

// Process validates the block it copies, as a reader of stored bytes does.
TEST(ToneParams, ProcessHoldsTheBlockItCopies) {
  const CBgraImage16 image = PixelRow({{10000, 20000, 30000, 1}});
  BrightnessContrastParams wild;
  wild.brightness = 1000;
  BrightnessContrastParams most;
  most.brightness = 100;
  EXPECT_TRUE(SamePixels(RunWith<CBrightnessContrast>(image, wild).target,
                         RunWith<CBrightnessContrast>(image, most).target));
}

}  // namespace
