#pragma once
// Small JPEG, PNG and TIFF files with metadata for the write-back tests:
// real encoded pixels, so that what a rewrite must keep byte for byte is
// there, and a camera-like EXIF block made with ExifBlockBuilder.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/BgraImage.h"
#include "image/ExifReader.h"
#include "image/ExifSpanSource.h"
#include "image/MetadataImage.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "image/codecs/TiffStream.h"
#include "tests/image/CodecTestSupport.h"
#include "tests/image/ExifFixture.h"
#include "tests/image/JpegFileParts.h"

// Paints a picture of width x height with colours that differ from pixel to pixel;
// `shade` moves every colour, so two calls can give different pictures.
inline void PaintGradient(CCodecImage& image, std::uint32_t width, std::uint32_t height, int shade = 0) {
  EXPECT_TRUE(image.Create(width, height, 24, CodecFormat::Bmp));
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      image.SetPixelColor(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                          Bgr((7 * x + shade) % 256, (5 * y + shade) % 256, (3 * (x + y) + shade) % 256));
    }
  }
}

inline Bytes EncodedPicture(std::uint32_t width, std::uint32_t height, CodecFormat format, int shade = 0) {
  CCodecImage image;
  PaintGradient(image, width, height, shade);
  image.attributes.quality = 90;
  return EncodeAs(image, format);
}

// The JPEG with an "Exif" APP1 segment holding block, after its JFIF segment.
inline Bytes WithExifSegment(const Bytes& jpeg, const Bytes& block) {
  const auto segments = jpegparts::Segments(jpeg);
  const jpegparts::Segment* app0 = jpegparts::Find(segments, 0xE0);
  const std::size_t at = app0 ? app0->offset + 4 + app0->body.size() : 2;
  const std::size_t length = block.size() + 8;
  Bytes out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(at));
  out.insert(out.end(), {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                         static_cast<std::uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0});
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
  return out;
}

// The bytes from the JPEG's first scan header to its end.
inline Bytes ScanOf(const Bytes& jpeg) {
  const auto segments = jpegparts::Segments(jpeg);
  const jpegparts::Segment* sos = jpegparts::Find(segments, 0xDA);
  if (!sos) return {};
  return Bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(sos->offset), jpeg.end());
}

// The bytes from the PNG's first IDAT chunk to its end.
inline Bytes ImageDataOf(const Bytes& png) {
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                               std::size_t{png[at + 2]} << 8 | png[at + 3];
    if (std::string(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                    png.begin() + static_cast<std::ptrdiff_t>(at + 8)) == "IDAT") {
      return Bytes(png.begin() + static_cast<std::ptrdiff_t>(at), png.end());
    }
    at += 12 + length;
  }
  return {};
}

// A camera's EXIF block: texts, exposure, dates, an Adobe RGB colour space,
// an orientation, a maker note and a user comment, a GPS position and a
// thumbnail (a JPEG of thumbnailWidth x thumbnailHeight) unless it is 0 x 0.
inline Bytes CameraExif(std::uint32_t thumbnailWidth = 16, std::uint32_t thumbnailHeight = 12,
                        bool bigEndian = false) {
  ExifBlockBuilder b(bigEndian);
  b.Ascii(ExifDirectory::Ifd0, 271, "Camera Maker")
      .Ascii(ExifDirectory::Ifd0, 272, "Model 7")
      .Ascii(ExifDirectory::Ifd0, 305, "Firmware 1.0")
      .Short(ExifDirectory::Ifd0, 274, 6)
      .Ascii(ExifDirectory::Ifd0, 306, "2010:07:04 12:30:59")
      .Rational(ExifDirectory::Exif, 33434, 1, 125)
      .Rational(ExifDirectory::Exif, 33437, 28, 10)
      .Rational(ExifDirectory::Exif, 37378, 3, 1)
      .Rational(ExifDirectory::Exif, 37377, 7, 1, 10)
      .Short(ExifDirectory::Exif, 34855, 400)
      .Rational(ExifDirectory::Exif, 37380, 0xFFFFFFFF, 3, 10)
      .Ascii(ExifDirectory::Exif, 36867, "2010:07:04 12:30:59")
      .Short(ExifDirectory::Exif, 40961, 0xFFFF)
      .Long(ExifDirectory::Exif, 40962, 64)
      .Undefined(ExifDirectory::Exif, 37500, Bytes(40, 0x5A))
      .Undefined(ExifDirectory::Exif, 37510, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'})
      .Ascii(ExifDirectory::Gps, 1, "N")
      .Rationals(ExifDirectory::Gps, 2, {52, 1, 30, 1, 1234, 100})
      .Ascii(ExifDirectory::Gps, 3, "E")
      .Rationals(ExifDirectory::Gps, 4, {13, 1, 24, 1, 0, 1});
  if (thumbnailWidth && thumbnailHeight) {
    b.Thumbnail(EncodedPicture(thumbnailWidth, thumbnailHeight, CodecFormat::Jpeg, 100));
  }
  return b.Build();
}

// A TIFF file of pages RGB pictures 8 x 6 (each shaded by its index) with
// Make and Software in every directory; mode "w" little-endian, "wb" big.
inline Bytes TiffPages(int pages, const char* mode) {
  CCodecMemStream stream;
  {
    const TiffHandle tif = TiffStreamOpen(stream, mode);
    EXPECT_TRUE(tif);
    if (!tif) return {};
    TIFF* t = tif.get();
    for (int page = 0; page < pages; ++page) {
      constexpr std::uint32_t kWidth = 8;
      constexpr std::uint32_t kHeight = 6;
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2);
      TIFFSetField(t, TIFFTAG_MAKE, "Scanner Maker");
      TIFFSetField(t, TIFFTAG_SOFTWARE, "Scan 2");
      Bytes row(kWidth * 3);
      for (std::uint32_t y = 0; y < kHeight; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i)
          row[i] = static_cast<std::uint8_t>(40 * page + 9 * y + i);
        EXPECT_EQ(TIFFWriteScanline(t, row.data(), y, 0), 1);
      }
      EXPECT_TRUE(TIFFWriteDirectory(t));
    }
  }
  const auto bytes = stream.Bytes();
  return {bytes.begin(), bytes.end()};
}

// A PNG whose eXIf chunk holds the items of CameraExif.
inline Bytes PngWithExif() {
  std::vector<ExifItem> items;
  const Bytes block = CameraExif();
  CExifSpanSource source(block);
  EXPECT_TRUE(CExifReader::Read(source, items));
  CMetadataImage image;
  EXPECT_EQ(image.Load(EncodedPicture(24, 16, CodecFormat::Png)), 1);
  for (ExifItem& item : items) image.SetPropertyItem(std::move(item));
  Bytes png;
  EXPECT_EQ(image.Save(png), 1);
  return png;
}
