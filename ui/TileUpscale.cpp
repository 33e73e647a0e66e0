#include "ui/TileUpscale.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kColourMask = 0x00FFFFFFu;

// Per-byte integer averages of packed pixels, without carries between bytes.
inline std::uint32_t Average2(std::uint32_t a, std::uint32_t b) {
  return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

inline std::uint32_t Average4(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  constexpr std::uint32_t kLanes = 0x00FF00FFu;
  const std::uint32_t low = (a & kLanes) + (b & kLanes) + (c & kLanes) + (d & kLanes);
  const std::uint32_t high =
      ((a >> 8) & kLanes) + ((b >> 8) & kLanes) + ((c >> 8) & kLanes) + ((d >> 8) & kLanes);
  return ((low >> 2) & kLanes) | (((high >> 2) & kLanes) << 8);
}

// Pixel rows are 16-byte aligned and exactly width pixels long.
inline const std::uint32_t* Row(const CBgraImage& image, std::int32_t y) {
  return reinterpret_cast<const std::uint32_t*>(image.Row(static_cast<std::uint32_t>(y)));
}

// The exact case, a source row at a time: two output rows per source row,
// the left neighbours carried along.
void Upscale2xExact(const CBgraImage& source, const Rect& tile, std::uint32_t* out, std::int32_t outStride) {
  for (std::int32_t sy = tile.top; sy < tile.bottom; ++sy) {
    const std::uint32_t* rowC = Row(source, sy);
    const std::uint32_t* rowU = Row(source, sy > 0 ? sy - 1 : sy);
    std::uint32_t* upper = out + static_cast<std::ptrdiff_t>(2 * (sy - tile.top)) * outStride;
    std::uint32_t* lower = upper + outStride;
    const std::int32_t first = tile.left > 0 ? tile.left - 1 : tile.left;
    std::uint32_t l = rowC[first];
    std::uint32_t ul = rowU[first];
    for (std::int32_t sx = tile.left; sx < tile.right; ++sx) {
      const std::uint32_t c = rowC[sx];
      const std::uint32_t u = rowU[sx];
      upper[0] = Average4(ul, u, l, c) & kColourMask;
      upper[1] = Average2(u, c) & kColourMask;
      lower[0] = Average2(l, c) & kColourMask;
      lower[1] = c;
      upper += 2;
      lower += 2;
      l = c;
      ul = u;
    }
  }
}

// The exact case of an even tile: a 3 x 3 block per 2 x 2 source pixels.
void Upscale3Over2Exact(const CBgraImage& source, const Rect& tile, std::uint32_t* out,
                        std::int32_t outStride) {
  for (std::int32_t sy = tile.top; sy < tile.bottom; sy += 2) {
    const std::uint32_t* upper = Row(source, sy);
    const std::uint32_t* lower = Row(source, sy + 1);
    std::uint32_t* o0 = out + static_cast<std::ptrdiff_t>(3 * (sy - tile.top) / 2) * outStride;
    std::uint32_t* o1 = o0 + outStride;
    std::uint32_t* o2 = o1 + outStride;
    for (std::int32_t sx = tile.left; sx < tile.right; sx += 2) {
      const std::uint32_t a = upper[sx], b = upper[sx + 1], c = lower[sx], d = lower[sx + 1];
      const std::uint32_t ac = Average2(a, c), bd = Average2(b, d);
      o0[0] = a & kColourMask;
      o0[1] = Average2(a, b) & kColourMask;
      o0[2] = b & kColourMask;
      o1[0] = ac & kColourMask;
      o1[1] = Average2(ac, bd) & kColourMask;
      o1[2] = bd & kColourMask;
      o2[0] = c & kColourMask;
      o2[1] = Average2(c, d) & kColourMask;
      o2[2] = d & kColourMask;
      o0 += 3;
      o1 += 3;
      o2 += 3;
    }
  }
}

}  // namespace

void UpscaleTile2x(const CBgraImage& source, const Rect& tile, std::uint32_t* out, std::int32_t outWidth,
                   std::int32_t outHeight, std::int32_t outStride) {
  if (source.IsEmpty() || tile.IsEmpty() || !out) return;
  if (outWidth == 2 * tile.Width() && outHeight == 2 * tile.Height()) {
    Upscale2xExact(source, tile, out, outStride);
    return;
  }
  for (std::int32_t oy = 0; oy < outHeight; ++oy) {
    const std::int32_t sy = std::min(tile.top + oy / 2, tile.bottom - 1);
    const std::uint32_t* rowC = Row(source, sy);
    const std::uint32_t* rowU = Row(source, sy > 0 ? sy - 1 : sy);
    std::uint32_t* target = out + static_cast<std::ptrdiff_t>(oy) * outStride;
    const bool lowerRow = (oy & 1) != 0;
    for (std::int32_t ox = 0; ox < outWidth; ox += 2) {
      const std::int32_t sx = std::min(tile.left + ox / 2, tile.right - 1);
      const std::int32_t lx = sx > 0 ? sx - 1 : sx;
      const std::uint32_t c = rowC[sx];
      const std::uint32_t l = rowC[lx];
      std::uint32_t first, second;
      if (lowerRow) {
        first = Average2(l, c) & kColourMask;
        second = c;
      } else {
        const std::uint32_t u = rowU[sx];
        first = Average4(rowU[lx], u, l, c) & kColourMask;
        second = Average2(u, c) & kColourMask;
      }
      target[ox] = first;
      if (ox + 1 < outWidth) target[ox + 1] = second;
    }
  }
}

void UpscaleTile3Over2(const CBgraImage& source, const Rect& tile, std::uint32_t* out, std::int32_t outWidth,
                       std::int32_t outHeight, std::int32_t outStride) {
  if (source.IsEmpty() || tile.IsEmpty() || !out) return;
  if (tile.Width() % 2 == 0 && tile.Height() % 2 == 0 && outWidth == tile.Width() / 2 * 3 &&
      outHeight == tile.Height() / 2 * 3) {
    Upscale3Over2Exact(source, tile, out, outStride);
    return;
  }
  const std::int32_t lastPairColumn = std::max(tile.right - 2, tile.left);
  for (std::int32_t oy = 0; oy < outHeight; ++oy) {
    const std::int32_t sy = std::min(tile.top + 2 * (oy / 3), tile.bottom - 1);
    const std::int32_t sy2 = std::min(sy + 1, tile.bottom - 1);
    const std::uint32_t* upper = Row(source, sy);
    const std::uint32_t* lower = Row(source, sy2);
    const int part = oy % 3;
    std::uint32_t* target = out + static_cast<std::ptrdiff_t>(oy) * outStride;
    for (std::int32_t ox = 0; ox < outWidth; ox += 3) {
      const std::int32_t sx = std::min(tile.left + 2 * (ox / 3), lastPairColumn);
      const std::int32_t sx2 = std::min(sx + 1, tile.right - 1);
      std::uint32_t left, right;
      if (part == 0) {
        left = upper[sx];
        right = upper[sx2];
      } else if (part == 2) {
        left = lower[sx];
        right = lower[sx2];
      } else {
        left = Average2(upper[sx], lower[sx]);
        right = Average2(upper[sx2], lower[sx2]);
      }
      target[ox] = left & kColourMask;
      if (ox + 1 < outWidth) target[ox + 1] = Average2(left, right) & kColourMask;
      if (ox + 2 < outWidth) target[ox + 2] = right & kColourMask;
    }
  }
}
