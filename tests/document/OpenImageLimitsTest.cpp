// Opening a file whose picture is above the size limits: every road refuses
// it from the header, before pixel memory is asked for, leaves the document
// as it was and tells why.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "document/BFDoc.h"
#include "image/ImageLoadError.h"
#include "tests/common/PixelBlockFailure.h"
#include "tests/common/TestData.h"
#include "tests/document/DocumentTestSupport.h"
#include "tests/image/ClaimingFiles.h"
#include "tests/image/DngFixture.h"

namespace {

TEST(OpenImageLimits, PicturesAboveTheLimitsAreRefusedWithTheirReason) {
  const std::filesystem::path folder = ScratchDir();
  // One file per road: JPEG straight into 16 bits, PNG and TIFF through the
  // codec classes, camera RAW through LibRaw.
  WriteFileBytes(folder / "wide.jpg", claiming::Jpeg(30000, 13000));
  WriteFileBytes(folder / "wide.png", claiming::GreyPng(30000, 13000, 1));
  claiming::WriteTiff(folder / "wide.tif", 30000, 13000);
  WriteDng(folder / "wide.dng", PreviewForm::Jpeg, DngShape{.width = 30000, .height = 64, .cutShort = true});
  for (const char* name : {"wide.jpg", "wide.png", "wide.tif", "wide.dng"}) {
    SCOPED_TRACE(name);
    CBFDoc doc;
    MakeBase(doc, 5, 5);
    doc.SetPath(u"/kept.png");
    SetImageLoadError("stale");
    const PixelBlockFailure watch(-1);
    EXPECT_EQ(doc.OpenImageFile(folder / name), 0);
    EXPECT_EQ(ImageLoadError(), kImageTooLarge);
    EXPECT_EQ(watch.Requested(), 0) << "largest block asked for: " << watch.Largest();
    EXPECT_EQ(doc.LayerCount(), 1);
    EXPECT_EQ(doc.m_width, 5u);
    EXPECT_EQ(doc.Path(), u"/kept.png");
  }
}

}  // namespace
