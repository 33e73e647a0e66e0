// The external-editor command line and the exchange file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/ExchangeFile.h"
#include "app/ExternalEditorArguments.h"
#include "image/BgraImage16.h"
#include "platform/LittleEndian.h"
#include "tests/common/FileSizeLimit.h"
#include "tests/common/TestData.h"

namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A file of the format; samples are R, G, B (, A) per pixel, row by row.
std::vector<std::uint8_t> ExchangeBytes(std::int32_t width, std::int32_t height, std::uint8_t channels,
                                        const std::vector<std::uint16_t>& samples) {
  ByteWriter writer;
  writer.I32(width);
  writer.I32(height);
  writer.U8(channels);
  for (std::uint16_t sample : samples) writer.U16(sample);
  return writer.Take();
}

}  // namespace

TEST(ExternalEditorArgumentsTest, ModesAndPathsFromArgv) {
  const std::filesystem::path cwd = std::filesystem::current_path();
  struct Case {
    std::vector<std::u16string> arguments;
    std::int32_t mode;
    std::filesystem::path path;
  };
  const std::u16string longName(600, u'n');
  const Case cases[] = {
      {{}, 0, {}},
      {{u"i0", u"/x/in.bin"}, 1, "/x/in.bin"},
      {{u"i2", u"/tmp/with blanks/a b.bin"}, 3, "/tmp/with blanks/a b.bin"},
      {{u"i4", u"rel/file.bin"}, 5, cwd / "rel/file.bin"},
      {{u"i0"}, 1, {}},
      {{u"i7", u"/x/in.bin"}, 0, {}},
      {{u"o", u"/x/in.bin"}, 0, {}},
      {{u"open"}, 0, {}},
      {{u"\"/x/in.bin\""}, 10, {}},
      {{u"\""}, 10, {}},
      {{u"/u"}, 0, {}},
      {{u"i"}, 0, {}},
      // The whole argument, however long.
      {{u"i1", u"/" + longName}, 2, "/" + std::string(600, 'n')},
  };
  for (const Case& c : cases) {
    const ExternalEditorArguments parsed = ParseExternalEditorArguments(c.arguments);
    const std::string shown =
        c.arguments.empty() ? "(none)" : std::string(c.arguments[0].begin(), c.arguments[0].end());
    EXPECT_EQ(parsed.mode, c.mode) << shown;
    EXPECT_EQ(parsed.exchangePath, c.path) << shown;
  }
}

TEST(ExchangeFileTest, ATwoByOneFileImportsAsWhiteAndBlackAndReturnsWithFourChannels) {
  const std::filesystem::path path = ScratchDir() / "in.bin";
  WriteAll(path, ExchangeBytes(2, 1, 3, {65535, 65535, 65535, 0, 0, 0}));
  CBgraImage16 image;
  ASSERT_TRUE(ReadExchangeFile(path, image));
  EXPECT_FALSE(std::filesystem::exists(path)) << "the import deletes the file";
  ASSERT_EQ(image.width, 2u);
  ASSERT_EQ(image.height, 1u);
  const std::uint16_t* white = image.At(0, 0);
  const std::uint16_t* black = image.At(1, 0);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(white[c], 65535);
    EXPECT_EQ(black[c], 0);
  }
  EXPECT_EQ(white[3], 65535);
  EXPECT_EQ(black[3], 65535);

  ASSERT_TRUE(WriteExchangeFile(path, image));
  // The encoding truncates: 1.055 - 0.055 lies just below 1, so white comes
  // back as 65534.
  EXPECT_EQ(ReadAll(path), ExchangeBytes(2, 1, 4, {65534, 65534, 65534, 65535, 0, 0, 0, 65535}));
}

TEST(ExchangeFileTest, MidGreyStaysGreyAndAlphaPassesUnchanged) {
  const std::filesystem::path path = ScratchDir() / "grey.bin";
  WriteAll(path, ExchangeBytes(1, 1, 4, {32768, 32768, 32768, 1234}));
  CBgraImage16 image;
  ASSERT_TRUE(ReadExchangeFile(path, image));
  const std::uint16_t* pixel = image.At(0, 0);
  EXPECT_EQ(pixel[0], pixel[1]);
  EXPECT_EQ(pixel[2], pixel[1]);
  EXPECT_EQ(pixel[3], 1234);
  ASSERT_TRUE(WriteExchangeFile(path, image));
  const std::vector<std::uint8_t> back = ReadAll(path);
  ASSERT_EQ(back.size(), 9u + 8u);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(LoadLE16(back.data() + 9 + 2 * c), 32768, 2) << c;
  EXPECT_EQ(LoadLE16(back.data() + 15), 1234);
}

// The decoding is flat at the dark end (x / 12.92 below the knee, and
// little steeper above it): one linear step there covers up to 13 sRGB
// codes, so a round trip may move a code by 1 / slope, plus one for each
// truncation. Colours carry more: the truncations of the mixing (weighted
// up to 1.4 by the export's) add some 2.5 linear steps.
namespace {

int RoundTripTolerance(std::uint32_t v, double linearSteps = 1.0) {
  const double x = v / 65535.0;
  const double slope = x < 0.0404499 ? 1 / 12.92 : 2.4 / 1.055 * std::pow((x + 0.055) / 1.055, 1.4);
  return static_cast<int>(linearSteps / slope) + 2;
}

}  // namespace

TEST(ExchangeFileTest, EveryGreyAndAColourTableRoundTripWithinTheQuantisation) {
  const auto& decode = ExchangeDecodeTable();
  const auto& encode = ExchangeEncodeTable();
  for (std::uint32_t v = 0; v < 65536; ++v) {
    std::uint16_t r = decode[v], b = decode[v];
    const std::uint16_t g = decode[v];
    ExchangeImportMix(r, g, b);
    ASSERT_EQ(r, g) << v;
    ASSERT_EQ(b, g) << v;
    ExchangeExportMix(r, g, b);
    const int back = encode[g];
    const int tolerance = RoundTripTolerance(v);
    ASSERT_NEAR(back, static_cast<int>(v), tolerance) << v;
    ASSERT_EQ(encode[r], back) << v;
    ASSERT_EQ(encode[b], back) << v;
  }

  std::vector<std::uint16_t> samples;
  const std::uint16_t levels[] = {0, 3000, 20000, 32768, 50000, 65535};
  for (std::uint16_t r : levels)
    for (std::uint16_t g : levels)
      for (std::uint16_t b : levels) samples.insert(samples.end(), {r, g, b});
  const std::filesystem::path path = ScratchDir() / "table.bin";
  const auto count = static_cast<std::int32_t>(samples.size() / 3);
  WriteAll(path, ExchangeBytes(count, 1, 3, samples));
  CBgraImage16 image;
  ASSERT_TRUE(ReadExchangeFile(path, image));
  ASSERT_TRUE(WriteExchangeFile(path, image));
  const std::vector<std::uint8_t> back = ReadAll(path);
  ASSERT_EQ(back.size(), 9u + 8u * static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) {
      const int given = samples[static_cast<std::size_t>(i) * 3 + c];
      const int returned = LoadLE16(back.data() + 9 + 8 * i + 2 * c);
      EXPECT_NEAR(returned, given, RoundTripTolerance(static_cast<std::uint32_t>(given), 3.5))
          << "colour " << i << " channel " << c;
    }
  }
}

// Damaged files are refused and kept; the image stays as it was.
TEST(ExchangeFileTest, DamagedFilesAreRefusedAndKept) {
  const std::vector<std::uint16_t> twoPixels(8, 1000);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<std::uint8_t> shortHeader = ExchangeBytes(2, 1, 4, {});
  shortHeader.resize(8);
  std::vector<std::uint8_t> shortRows = ExchangeBytes(2, 1, 4, twoPixels);
  shortRows.pop_back();
  const Case cases[] = {
      {"empty", {}},
      {"short header", shortHeader},
      {"channels 0", ExchangeBytes(2, 1, 0, twoPixels)},
      {"channels 2", ExchangeBytes(2, 1, 2, twoPixels)},
      {"channels 5", ExchangeBytes(2, 1, 5, twoPixels)},
      {"width 0", ExchangeBytes(0, 1, 4, twoPixels)},
      {"height 0", ExchangeBytes(2, 0, 4, twoPixels)},
      {"negative width", ExchangeBytes(-2, 1, 4, twoPixels)},
      {"negative height", ExchangeBytes(2, -1, 4, twoPixels)},
      {"width past the limit", ExchangeBytes(20001, 1, 4, twoPixels)},
      {"height past the limit", ExchangeBytes(1, 20001, 4, twoPixels)},
      {"huge both", ExchangeBytes(0x7FFFFFFF, 0x7FFFFFFF, 4, twoPixels)},
      {"short rows", shortRows},
      {"rows of a larger picture", ExchangeBytes(2, 2, 4, twoPixels)},
  };
  const std::filesystem::path path = ScratchDir() / "damaged.bin";
  for (const Case& c : cases) {
    WriteAll(path, c.bytes);
    CBgraImage16 image;
    ASSERT_TRUE(image.Create(3, 3));
    EXPECT_FALSE(ReadExchangeFile(path, image)) << c.what;
    EXPECT_EQ(ReadAll(path), c.bytes) << c.what << ": the host's file stays";
    EXPECT_EQ(image.width, 3u) << c.what;
  }
  CBgraImage16 image;
  EXPECT_FALSE(ReadExchangeFile(ScratchDir() / "missing.bin", image));
}

// A wide picture is read row by row: 20000 pixels of 4 channels are far
// more than any fixed row buffer of 65536 samples.
TEST(ExchangeFileTest, AWideRowImportsWhole) {
  const std::int32_t width = 20000;
  std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * 4, 65535);
  std::fill(samples.end() - 4, samples.end() - 1, 0);  // the last pixel black
  const std::filesystem::path path = ScratchDir() / "wide.bin";
  WriteAll(path, ExchangeBytes(width, 1, 4, samples));
  CBgraImage16 image;
  ASSERT_TRUE(ReadExchangeFile(path, image));
  EXPECT_EQ(image.At(width - 1, 0)[2], 0);
  EXPECT_EQ(image.At(width - 2, 0)[2], 65535);
}

TEST(ExchangeFileTest, AFailedHandBackLeavesTheHostsFile) {
  const std::filesystem::path path = ScratchDir() / "out.bin";
  const std::vector<std::uint8_t> original = ExchangeBytes(1, 1, 3, {1, 2, 3});
  WriteAll(path, original);
  CBgraImage16 image;
  ASSERT_TRUE(image.Create(64, 64));
  {
    FileSizeLimit full(1000);  // the disk fills up part-way through the rows
    EXPECT_FALSE(WriteExchangeFile(path, image));
  }
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_FALSE(WriteExchangeFile(path, CBgraImage16{})) << "nothing to hand back";
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1)
      << "no temporary file left";
}
