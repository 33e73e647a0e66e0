#include "output/JpegOptimizeSteps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "image/BgraImage.h"
#include "image/ColorModel.h"
#include "image/ImageCodec.h"
#include "image/PixelBlock.h"
#include "image/codecs/CodecImage.h"

const std::array<std::uint32_t, 64> kStandardLumaTable = {
    16, 11,  10,  16, 24, 40, 51, 61, 12,  12,  14,  19,  26, 58, 60, 55,  14,  13,  16,  24, 40, 57,
    69, 56,  14,  17, 22, 29, 51, 87, 80,  62,  18,  22,  37, 56, 68, 109, 103, 77,  24,  35, 55, 64,
    81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};

const std::array<std::uint8_t, 64> kZigzagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

constexpr std::uint8_t kYByte = 2;  // Y sits in the red byte of B, G, R, A

std::uint32_t ClampSide(std::int64_t side, std::int64_t floor) {
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(side, floor, std::numeric_limits<std::int32_t>::max()));
}

// 13-bit fixed-point constants of the accurate integer DCT.
constexpr std::int64_t kF0298 = 2446, kF0390 = 3196, kF0541 = 4433, kF0765 = 6270, kF0899 = 7373,
                       kF1175 = 9633, kF1501 = 12299, kF1847 = 15137, kF1961 = 16069, kF2053 = 16819,
                       kF2562 = 20995, kF3072 = 25172;

std::int64_t Round(std::int64_t x, int shift) { return (x + (std::int64_t{1} << (shift - 1))) >> shift; }

// One 1-D forward pass over 8 values d, into out; even terms 0 and 4 shifted
// by evenShift (0: unshifted), the rest by oddShift.
void ForwardPass(const std::int64_t* d, std::int64_t* out, int evenShift, int oddShift) {
  const std::int64_t tmp0 = d[0] + d[7], tmp7 = d[0] - d[7], tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
  const std::int64_t tmp2 = d[2] + d[5], tmp5 = d[2] - d[5], tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];
  const std::int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  out[0] = evenShift ? Round(tmp10 + tmp11, evenShift) : tmp10 + tmp11;
  out[4] = evenShift ? Round(tmp10 - tmp11, evenShift) : tmp10 - tmp11;
  const std::int64_t z1 = (tmp12 + tmp13) * kF0541;
  out[2] = Round(z1 + tmp13 * kF0765, oddShift);
  out[6] = Round(z1 - tmp12 * kF1847, oddShift);
  const std::int64_t z5 = (tmp4 + tmp6 + tmp5 + tmp7) * kF1175;
  const std::int64_t a1 = -(tmp4 + tmp7) * kF0899, a2 = -(tmp5 + tmp6) * kF2562;
  const std::int64_t a3 = -(tmp4 + tmp6) * kF1961 + z5, a4 = -(tmp5 + tmp7) * kF0390 + z5;
  out[7] = Round(tmp4 * kF0298 + a1 + a3, oddShift);
  out[5] = Round(tmp5 * kF2053 + a2 + a4, oddShift);
  out[3] = Round(tmp6 * kF3072 + a2 + a3, oddShift);
  out[1] = Round(tmp7 * kF1501 + a1 + a4, oddShift);
}

// One 1-D inverse pass over 8 coefficients c into out, shifted by shift.
void InversePass(const std::int64_t* c, std::int64_t* out, int shift) {
  const std::int64_t z1 = (c[2] + c[6]) * kF0541;
  const std::int64_t tmp2 = z1 - c[6] * kF1847, tmp3 = z1 + c[2] * kF0765;
  const std::int64_t tmp0 = (c[0] + c[4]) * 8192, tmp1 = (c[0] - c[4]) * 8192;
  const std::int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  std::int64_t o0 = c[7], o1 = c[5], o2 = c[3], o3 = c[1];
  const std::int64_t z5 = (o0 + o2 + o1 + o3) * kF1175;
  const std::int64_t a1 = -(o0 + o3) * kF0899, a2 = -(o1 + o2) * kF2562;
  const std::int64_t a3 = -(o0 + o2) * kF1961 + z5, a4 = -(o1 + o3) * kF0390 + z5;
  o0 = o0 * kF0298 + a1 + a3;
  o1 = o1 * kF2053 + a2 + a4;
  o2 = o2 * kF3072 + a2 + a3;
  o3 = o3 * kF1501 + a1 + a4;
  out[0] = Round(tmp10 + o3, shift);
  out[7] = Round(tmp10 - o3, shift);
  out[1] = Round(tmp11 + o2, shift);
  out[6] = Round(tmp11 - o2, shift);
  out[2] = Round(tmp12 + o1, shift);
  out[5] = Round(tmp12 - o1, shift);
  out[3] = Round(tmp13 + o0, shift);
  out[4] = Round(tmp13 - o0, shift);
}

}  // namespace

int JpegLimitSize(std::uint8_t sizeMode, std::int32_t sizeValue, std::uint32_t w, std::uint32_t h,
                  std::uint32_t& newWidth, std::uint32_t& newHeight) {
  if (sizeValue < 1 || w == 0 || h == 0) return 0;
  const std::int64_t v = sizeValue, sw = w, sh = h;
  std::int64_t nw = 0, nh = 0, floor = 1;
  switch (sizeMode) {
    case 1:
      if (sw <= v) return 0;
      nw = v;
      nh = v * sh / sw;
      break;
    case 2:
      if (sh <= v) return 0;
      nw = v * sw / sh;
      nh = v;
      break;
    case 3:
      if (std::max(sw, sh) <= v) return 0;
      if (sw > sh) {
        nw = v;
        nh = v * sh / sw;
      } else {
        nw = v * sw / sh;
        nh = v;
      }
      break;
    case 4: {
      if (sw * sh <= v) return 0;
      const double s = std::sqrt(static_cast<double>(v) / static_cast<double>(sw * sh));
      nw = static_cast<std::int64_t>(static_cast<double>(sw) * s);
      nh = static_cast<std::int64_t>(static_cast<double>(sh) * s);
      floor = 10;
      break;
    }
    default:
      return 0;
  }
  newWidth = ClampSide(nw, floor);
  newHeight = ClampSide(nh, floor);
  return 1;
}

int DetectFullChroma(const CBgraImage& image) {
  const std::uint32_t w = image.width, h = image.height;
  if (image.IsEmpty() || w < 4 || h < 4) return 1;
  // Three converted rows at a time instead of a Y/Cb/Cr copy of the picture.
  std::vector<std::uint8_t> rows[3];
  for (auto& row : rows) row.resize(std::size_t{w} * 4);
  std::uint64_t count = 0;
  for (std::uint32_t y = 0; y + 2 < h; y += 2) {
    for (std::uint32_t r = 0; r < 3; ++r) {
      std::copy_n(image.Row(y + r), std::size_t{w} * 4, rows[r].begin());
      RgbToYccPixels8(rows[r].data(), w);
    }
    for (std::uint32_t x = 0; x + 2 < w; x += 2) {
      int largest = 0;
      for (int channel : {1, 0}) {  // Cb in the green byte, Cr in the blue byte
        const auto p = [&](std::uint32_t px, std::uint32_t r) {
          return static_cast<int>(rows[r][std::size_t{px} * 4 + static_cast<std::size_t>(channel)]);
        };
        largest = std::max(largest, std::abs((p(x, 0) + p(x + 2, 0)) / 2 - p(x + 1, 0)));
        largest = std::max(largest, std::abs((p(x, 0) + p(x, 2)) / 2 - p(x, 1)));
      }
      if (largest > 20) ++count;
    }
  }
  return count > std::uint64_t{w} * h / 2000 + 10 ? 1 : 0;
}

int SoftenImage(CBgraImage& image, std::int32_t strength) {
  if (strength <= 0 || image.IsEmpty()) return 1;
  strength = std::min(strength, 100);
  const std::int64_t w = image.width, h = image.height;
  if (w < 3 || h < 3) return 1;  // every pixel is on the border
  // The kernel is the outer product of [1 2 2 2 1] plus 4 at the centre:
  // a horizontal pass into rows of sums, then the vertical pass.
  constexpr int kTaps[5] = {1, 2, 2, 2, 1};
  auto horizontal = AllocWorkArray<std::uint16_t>(static_cast<std::uint64_t>(w * h * 3));
  if (!horizontal) return 0;
  for (std::int64_t y = 0; y < h; ++y) {
    const std::uint8_t* row = image.Row(static_cast<std::uint32_t>(y));
    std::uint16_t* out = horizontal.get() + y * w * 3;
    for (std::int64_t x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int t = 0; t < 5; ++t)
          sum += kTaps[t] * row[std::clamp<std::int64_t>(x + t - 2, 0, w - 1) * 4 + c];
        out[x * 3 + c] = static_cast<std::uint16_t>(sum);
      }
    }
  }
  // Rows above y - 1 are no longer read once row y is written: the vertical
  // pass reads the horizontal sums only, and the centre from a saved row.
  std::vector<std::uint8_t> original(static_cast<std::size_t>(w) * 4);
  for (std::int64_t y = 1; y + 1 < h; ++y) {
    std::uint8_t* row = image.Row(static_cast<std::uint32_t>(y));
    std::copy_n(row, original.size(), original.begin());
    for (std::int64_t x = 1; x + 1 < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 4 * original[static_cast<std::size_t>(x * 4 + c)];
        for (int t = 0; t < 5; ++t)
          sum += kTaps[t] * horizontal[(std::clamp<std::int64_t>(y + t - 2, 0, h - 1) * w + x) * 3 + c];
        const int filtered = (sum + 34) / 68;
        row[x * 4 + c] = static_cast<std::uint8_t>(
            ((100 - strength) * original[static_cast<std::size_t>(x * 4 + c)] + strength * filtered) / 100);
      }
    }
  }
  return 1;
}

void ForwardDct8x8(const std::uint8_t* y, std::size_t stride, std::array<std::int16_t, 64>& zigzag) {
  std::int64_t work[64];
  for (int r = 0; r < 8; ++r) {
    std::int64_t d[8];
    for (int c = 0; c < 8; ++c)
      d[c] = y[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(c) * 4];
    ForwardPass(d, work + r * 8, 0, 13);
  }
  std::int64_t natural[64];
  for (int c = 0; c < 8; ++c) {
    std::int64_t d[8], out[8];
    for (int r = 0; r < 8; ++r) d[r] = work[r * 8 + c];
    ForwardPass(d, out, 3, 16);
    for (int r = 0; r < 8; ++r) natural[r * 8 + c] = out[r];
  }
  for (int k = 0; k < 64; ++k) {
    zigzag[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(std::clamp<std::int64_t>(
        natural[kZigzagToNatural[static_cast<std::size_t>(k)]], INT16_MIN, INT16_MAX));
  }
}

void InverseDct8x8(const std::array<std::int16_t, 64>& zigzag, std::uint8_t* y, std::size_t stride) {
  std::int64_t natural[64];
  for (int k = 0; k < 64; ++k)
    natural[kZigzagToNatural[static_cast<std::size_t>(k)]] = zigzag[static_cast<std::size_t>(k)];
  std::int64_t work[64];
  for (int c = 0; c < 8; ++c) {
    std::int64_t in[8], out[8];
    for (int r = 0; r < 8; ++r) in[r] = natural[r * 8 + c];
    InversePass(in, out, 13);
    for (int r = 0; r < 8; ++r) work[r * 8 + c] = out[r];
  }
  for (int r = 0; r < 8; ++r) {
    std::int64_t out[8];
    InversePass(work + r * 8, out, 16);
    for (int c = 0; c < 8; ++c) {
      y[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(c) * 4] =
          static_cast<std::uint8_t>(std::clamp<std::int64_t>(out[c], 0, 255));
    }
  }
}

void AttenuateBlock(std::array<std::int16_t, 64>& zigzag) {
  const int mean = zigzag[0] / 8;
  const double b = mean > 128 ? (mean - 128) / 128.0 : (128 - mean) / 256.0;
  const double b3 = b * b * b;
  for (int k = 1; k < 64; ++k) {
    const int t = static_cast<int>(std::sqrt(static_cast<double>(k)) * 4 * b3);
    const int c = zigzag[static_cast<std::size_t>(k)];
    const int magnitude = std::max(std::abs(c) - t, 0);
    zigzag[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(c < 0 ? -magnitude : magnitude);
  }
}

std::uint64_t RunDctPass(CBgraImage& ycc, bool optimiseMore, std::array<std::uint16_t, 64>& averages,
                         DctRowProgress progress, void* context) {
  averages.fill(0);
  const std::uint32_t columns = ycc.width / 8, rows = ycc.height / 8;
  std::array<std::uint64_t, 64> sums{};
  const std::size_t stride = ycc.Stride();
  std::array<std::int16_t, 64> block{};
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t c = 0; c < columns; ++c) {
      std::uint8_t* y = ycc.At(c * 8, r * 8) + kYByte;
      ForwardDct8x8(y, stride, block);
      if (optimiseMore) {
        AttenuateBlock(block);
        InverseDct8x8(block, y, stride);
      }
      for (std::size_t k = 1; k < 64; ++k) sums[k] += static_cast<std::uint64_t>(std::abs(int{block[k]}));
    }
    if (progress) progress(context, r, rows);
  }
  const std::uint64_t blocks = std::uint64_t{columns} * rows;
  if (blocks == 0) return 0;
  for (std::size_t k = 1; k < 64; ++k) averages[k] = static_cast<std::uint16_t>(sums[k] / blocks);
  return blocks;
}

void BuildAdaptiveTable(const std::array<std::uint16_t, 64>& averages, std::uint64_t blocks, bool adaptive,
                        std::array<std::uint32_t, 64>& table) {
  table = kStandardLumaTable;
  const std::uint16_t largest = *std::max_element(averages.begin(), averages.end());
  if (!adaptive || blocks == 0 || largest == 0) return;
  std::array<std::uint8_t, 64> zigzagOf{};
  for (std::uint8_t k = 0; k < 64; ++k) zigzagOf[kZigzagToNatural[k]] = k;
  for (std::size_t n = 1; n < 64; ++n) {
    const std::uint16_t average = averages[zigzagOf[n]];
    if (average == 0) {
      table[n] = 255;
      continue;
    }
    const double row = static_cast<double>(n / 8), column = static_cast<double>(n % 8);
    const double r = std::sqrt(row * row + column * column);
    const double d = static_cast<double>(kStandardLumaTable[n]) * largest / (r * average);
    table[n] = static_cast<std::uint32_t>(std::min(d, 255.0) + 0.5);
  }
}

int PrepareJpegTrial(const CBgraImage& image, CCodecImage& prepared) {
  return !image.IsEmpty() && image.ToCodecImageRgb(prepared) ? 1 : 0;
}

std::uint32_t EncodeJpegTrial(CCodecImage& prepared, std::int32_t quality,
                              const std::array<std::uint32_t, 64>* table,
                              std::vector<std::uint8_t>& encoded) {
  encoded.clear();
  if (prepared.IsEmpty()) return 0;
  CCodecImage codec;
  codec.ShareFrom(prepared);  // this trial's own attributes over the shared pixels
  if (quality > 100) {
    codec.attributes.jpegSubsampling = false;
    quality %= 100;
  }
  if (quality == 0) quality = 100;
  // Below 2 the library's lowest quality, 1.
  codec.attributes.quality = static_cast<std::uint8_t>(quality < 2 ? 0 : quality);
  if (table && (*table)[0] != 0) codec.attributes.jpegLumaTable = *table;
  PixelBlock block;
  std::uint32_t size = 0;
  if (!codec.Encode(block, size) || !block || size == 0) return 0;
  encoded.assign(block.get(), block.get() + size);
  return size;
}

std::uint32_t EncodeJpegTrial(const CBgraImage& image, std::int32_t quality,
                              const std::array<std::uint32_t, 64>* table, std::vector<std::uint8_t>& encoded,
                              CBgraImage* decoded) {
  encoded.clear();
  CCodecImage prepared;
  if (!PrepareJpegTrial(image, prepared)) return 0;
  const std::uint32_t size = EncodeJpegTrial(prepared, quality, table, encoded);
  if (size == 0 || (decoded && !DecodeJpegFromMemory(encoded, *decoded))) return 0;
  return size;
}
