#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "image/ImageInfo.h"
#include "output/JpegSaveSettings.h"
#include "output/LastFolder.h"
#include "platform/Registry.h"
#include "tests/common/TestData.h"

namespace {

// A record with one item of length bytes.
void AddItem(ImageInfo& info, std::uint32_t id, std::size_t length) {
  auto record = std::make_unique<ImagePropertyRecord>();
  record->id = id;
  record->type = 7;
  std::vector<std::uint8_t> value(length, 1);
  ASSERT_EQ(record->SetData(value), 1);
  info.properties.push_back(std::move(record));
}

TEST(JpegSaveSettings, TheTargetLessTheMetadataNeverWrapsAndKeepsOneKilobyte) {
  EXPECT_EQ(JpegPictureTargetKb(300, 0), 300);
  EXPECT_EQ(JpegPictureTargetKb(300, 512), 299) << "rounded down: the whole file stays within the target";
  EXPECT_EQ(JpegPictureTargetKb(300, 1024), 299);
  EXPECT_EQ(JpegPictureTargetKb(1, 100000), 1) << "an estimate above the target keeps 1 KB";
  EXPECT_EQ(JpegPictureTargetKb(0, 0), 1);

  ImageInfo info;
  AddItem(info, 37500, 60000);  // a large maker note
  JpegSaveSettings settings;
  settings.policy = kPolicyQuality;
  settings.targetKb = 20;  // less than the estimate
  JpegOptimizeParams block;
  settings.FillBlock(block, &info, "/out/a.jpg", kRunEncode);
  EXPECT_EQ(block.targetKb, 1);
  EXPECT_EQ(block.sizePolicy, kPolicyQuality) << "the limit stays on";
  EXPECT_EQ(block.runFlags, kRunEncode);
  EXPECT_EQ(std::u16string(block.path.data()), u"/out/a.jpg");
  settings.FillBlock(block, nullptr, {}, kRunEncode | kRunMeasure);
  EXPECT_EQ(block.targetKb, 20);
  EXPECT_EQ(block.path[0], u'\0');
}

TEST(JpegSaveSettings, ProposedNamesCarryUntitledTheSizeAndTheExpectedKilobytes) {
  const std::filesystem::path config = ScratchDir() / "config";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  JpegSaveSettings settings;
  EXPECT_EQ(ProposedJpegName({}, u"untitled", 400, 300, 400, 300, settings, 5000, nullptr), "untitled");
  EXPECT_EQ(ProposedJpegName("/photos/beach.png", u"untitled", 400, 300, 200, 150, settings, 5000, nullptr),
            "/photos/beach-200x150");
  EXPECT_EQ(ProposedJpegName({}, u"untitled", 400, 300, 300, 400, settings, 5000, nullptr), "untitled")
      << "the same pixel count";
  settings.policy = kPolicyShrink;
  EXPECT_EQ(ProposedJpegName({}, u"untitled", 400, 300, 400, 300, settings, 300 * 1024 - 512, nullptr),
            "untitled-300K");
  ImageInfo info;
  settings.metadataMode = kMetadataNone;
  EXPECT_EQ(ProposedJpegName({}, u"untitled", 400, 300, 400, 300, settings, 100 * 1024, &info),
            "untitled-100K");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(JpegSaveSettings, FittingAtTheTopSetsNinetyNineAndRatiosNeverDivideByZero) {
  EXPECT_EQ(AdjustedQuality(0), 99);
  EXPECT_EQ(AdjustedQuality(57), 57);
  EXPECT_DOUBLE_EQ(CompressionRatio(1000, 0), 1.0);
  EXPECT_DOUBLE_EQ(CompressionRatio(1000, 300), 10.0);
  EXPECT_DOUBLE_EQ(CompressionRatio(10, 3000), 1.0);
}

}  // namespace
