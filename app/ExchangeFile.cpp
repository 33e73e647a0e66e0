#include "app/ExchangeFile.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <system_error>
#include <vector>

#include "image/BgraImage16.h"
#include "image/PixelBlock.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace {

std::uint16_t ClampSample(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 65535.0) return 65535;
  return static_cast<std::uint16_t>(value);
}

std::array<std::uint16_t, 65536> BuildDecodeTable() {
  std::array<std::uint16_t, 65536> table{};
  for (std::size_t v = 0; v < table.size(); ++v) {
    const double x = static_cast<double>(v) / 65535.0;
    const double linear = x < 0.0404499 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    table[v] = ClampSample(linear * 65535.0);
  }
  return table;
}

std::array<std::uint16_t, 65536> BuildEncodeTable() {
  std::array<std::uint16_t, 65536> table{};
  for (std::size_t v = 0; v < table.size(); ++v) {
    const double x = static_cast<double>(v) / 65535.0;
    const double encoded = x < 0.0031308 ? x * 12.92 : 1.055 * std::pow(x, 0.4166666666666667) - 0.055;
    table[v] = ClampSample(encoded * 65535.0);
  }
  return table;
}

// The whole picture's length in 64 bits; 0 when a side is out of range.
std::uint64_t PixelDataBytes(std::int32_t width, std::int32_t height, std::uint32_t channels) {
  if (width < 1 || height < 1 || static_cast<std::uint32_t>(width) > kMaxImageSide ||
      static_cast<std::uint32_t>(height) > kMaxImageSide) {
    return 0;
  }
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels > kMaxImagePixels) return 0;
  return pixels * channels * 2;
}

}  // namespace

const std::array<std::uint16_t, 65536>& ExchangeDecodeTable() {
  static const std::array<std::uint16_t, 65536> table = BuildDecodeTable();
  return table;
}

const std::array<std::uint16_t, 65536>& ExchangeEncodeTable() {
  static const std::array<std::uint16_t, 65536> table = BuildEncodeTable();
  return table;
}

void ExchangeImportMix(std::uint16_t& r, std::uint16_t g, std::uint16_t& b) {
  r = ClampSample(0.715146 * r + 0.284856 * g);
  b = ClampSample(0.958839 * b + 0.041166 * g);
}

void ExchangeExportMix(std::uint16_t& r, std::uint16_t g, std::uint16_t& b) {
  const std::int32_t red = r;
  const std::int32_t blue = b;
  const std::int32_t green = g;
  r = ClampSample(std::trunc((red - green) * 0.39832 + red));
  b = ClampSample(std::trunc((blue - green) * 0.0429289 + blue));
}

bool ReadExchangeFile(const std::filesystem::path& path, CBgraImage16& image) {
  CFile file;
  if (!file.Open(path, CFile::OpenMode::Read)) return false;
  std::uint8_t header[kExchangeHeaderBytes];
  if (!file.ReadExact(header, sizeof header)) return false;
  const auto width = static_cast<std::int32_t>(LoadLE32(header));
  const auto height = static_cast<std::int32_t>(LoadLE32(header + 4));
  const std::uint32_t channels = header[8];
  if (channels != 3 && channels != 4) return false;
  const std::uint64_t dataBytes = PixelDataBytes(width, height, channels);
  if (dataBytes == 0) return false;
  const std::int64_t length = file.GetLength();
  if (length < 0 || static_cast<std::uint64_t>(length) - kExchangeHeaderBytes < dataBytes) return false;

  CBgraImage16 read;
  if (!read.Create(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height))) return false;
  // One row at a time: a row is at most kMaxImageSide x 4 samples.
  const std::size_t rowBytes = std::size_t(width) * channels * 2;
  std::vector<std::uint8_t> row(rowBytes);
  const std::array<std::uint16_t, 65536>& decode = ExchangeDecodeTable();
  for (std::uint32_t y = 0; y < read.height; ++y) {
    if (!file.ReadExact(row.data(), rowBytes)) return false;
    std::uint16_t* out = read.Row(y);
    const std::uint8_t* in = row.data();
    for (std::uint32_t x = 0; x < read.width; ++x, in += channels * 2, out += 4) {
      std::uint16_t r = decode[LoadLE16(in)];
      const std::uint16_t g = decode[LoadLE16(in + 2)];
      std::uint16_t b = decode[LoadLE16(in + 4)];
      ExchangeImportMix(r, g, b);
      out[0] = b;
      out[1] = g;
      out[2] = r;
      out[3] = channels == 4 ? LoadLE16(in + 6) : 65535;
    }
  }
  file.Close();
  std::error_code ignored;
  // The host owns the file; one that cannot be deleted has still been read.
  std::filesystem::remove(path, ignored);
  image = std::move(read);
  return true;
}

bool WriteExchangeFile(const std::filesystem::path& path, const CBgraImage16& image) {
  if (image.IsEmpty()) return false;
  CAtomicFile file;
  if (!file.Open(path)) return false;
  std::uint8_t header[kExchangeHeaderBytes];
  StoreLE32(header, image.width);
  StoreLE32(header + 4, image.height);
  header[8] = 4;
  if (!file.Write(header, sizeof header)) return false;
  const std::array<std::uint16_t, 65536>& encode = ExchangeEncodeTable();
  std::vector<std::uint8_t> row(std::size_t(image.width) * 8);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint16_t* in = image.Row(y);
    std::uint8_t* out = row.data();
    for (std::uint32_t x = 0; x < image.width; ++x, in += 4, out += 8) {
      std::uint16_t r = in[2];
      const std::uint16_t g = in[1];
      std::uint16_t b = in[0];
      ExchangeExportMix(r, g, b);
      StoreLE16(out, encode[r]);
      StoreLE16(out + 2, encode[g]);
      StoreLE16(out + 4, encode[b]);
      StoreLE16(out + 6, in[3]);
    }
    if (!file.Write(row.data(), row.size())) return false;
  }
  return file.Commit();
}
