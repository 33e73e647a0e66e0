#pragma once
// Small image files whose headers claim large pictures, for tests of the
// size limits: a loader must refuse them, or fail, without first taking the
// memory the header asks for.

#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "image/PixelBlock.h"
#include "image/codecs/CodecImage.h"
#include "tests/image/JpegFileParts.h"

namespace claiming {

using Bytes = std::vector<std::uint8_t>;

// JPEG and PNG store their numbers big-endian.
inline void StoreBE(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) at[i] = static_cast<std::uint8_t>(value);
}

// The data of a 16 x 16 JPEG under a frame header that claims width x
// height; the decoder fills the rows its data does not reach.
inline Bytes Jpeg(std::uint16_t width, std::uint16_t height) {
  CCodecImage picture;
  EXPECT_NE(picture.Create(16, 16, 24, CodecFormat::Bmp), nullptr);
  PixelBlock block;
  std::uint32_t size = 0;
  EXPECT_TRUE(picture.Encode(block, size));
  Bytes jpeg(block.get(), block.get() + size);
  const auto segments = jpegparts::Segments(jpeg);
  const jpegparts::Segment* frame = jpegparts::Find(segments, 0xC0);
  EXPECT_NE(frame, nullptr);
  if (!frame) return {};
  const std::size_t at = frame->offset + 5;  // marker, length, precision
  StoreBE(&jpeg[at], height, 2);
  StoreBE(&jpeg[at + 2], width, 2);
  return jpeg;
}

inline void AppendPngChunk(Bytes& png, const char* type, const Bytes& data) {
  std::uint8_t length[4];
  StoreBE(length, static_cast<std::uint32_t>(data.size()), 4);
  png.insert(png.end(), length, length + 4);
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  std::uint8_t crc[4];
  StoreBE(crc, static_cast<std::uint32_t>(crc32(0, &png[start], static_cast<uInt>(png.size() - start))), 4);
  png.insert(png.end(), crc, crc + 4);
}

// An 8-bit grey PNG of width x height whose every row is 0, its data
// compressed at zlib's best; with rowsStored below height the compressed
// stream ends after that many rows.
inline Bytes GreyPng(std::uint32_t width, std::uint32_t height, std::uint32_t rowsStored) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header(13, 0);
  StoreBE(&header[0], width, 4);
  StoreBE(&header[4], height, 4);
  header[8] = 8;  // bit depth; colour type 0 (grey), no interlace
  AppendPngChunk(png, "IHDR", header);
  const Bytes rows((std::uint64_t{width} + 1) * rowsStored, 0);
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  Bytes packed(packedSize);
  EXPECT_EQ(compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9), Z_OK);
  packed.resize(packedSize);
  AppendPngChunk(png, "IDAT", packed);
  AppendPngChunk(png, "IEND", {});
  return png;
}

// An 8-bit RGB TIFF whose header claims width x height in one strip, of
// which the file holds 16 bytes.
inline void WriteTiff(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
  std::uint8_t data[16] = {};
  ASSERT_GT(TIFFWriteRawStrip(tiff, 0, data, sizeof data), 0);
  ASSERT_TRUE(TIFFWriteDirectory(tiff));
  TIFFClose(tiff);
}

}  // namespace claiming
