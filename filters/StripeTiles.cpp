#include "filters/StripeTiles.h"

#include <algorithm>
#include <cstddef>

#include "algorithms/Algorithm.h"
#include "image/ColorTables.h"

namespace {

// value + 0.5 truncated and held to 0..255.
std::uint8_t ToCode(double value) {
  const double v = value + 0.5;
  if (!(v > 0.0)) return 0;
  return v >= 255.0 ? std::uint8_t{255} : static_cast<std::uint8_t>(v);
}

}  // namespace

void FillTileFromStripe(const CBgraImage16& stripe, std::int32_t channel, std::int64_t left, FftGrid& grid) {
  if (stripe.IsEmpty() || grid.IsEmpty() || channel < 0 || channel > 3) return;
  const auto n = static_cast<std::size_t>(grid.N());
  const std::int64_t w = stripe.width, h = stripe.height;
  std::size_t offset[1u << kMaxFftLog2];
  for (std::size_t c = 0; c < n; ++c) {
    offset[c] =
        static_cast<std::size_t>(EdgeSourceRow(left + static_cast<std::int64_t>(c), w, kEdgeMirror)) * 4 +
        static_cast<std::size_t>(channel);
  }
  for (std::size_t r = 0; r < n; ++r) {
    const std::uint16_t* line = stripe.Row(static_cast<std::uint32_t>(std::min<std::int64_t>(r, h - 1)));
    double* values = grid.Row(static_cast<std::int32_t>(r));
    for (std::size_t c = 0; c < n; ++c) values[c] = LinearToSrgbTable[line[offset[c]]];
  }
}

void StoreTileInStripe(const FftGrid& grid, std::int32_t channel, std::int64_t left, CBgraImage16& stripe) {
  if (stripe.IsEmpty() || grid.IsEmpty() || channel < 0 || channel > 3) return;
  const std::int64_t n = grid.N(), w = stripe.width;
  const std::int64_t rows = std::min<std::int64_t>(n, stripe.height);
  const std::int64_t from = std::max<std::int64_t>(0, -left), to = std::min<std::int64_t>(n, w - left);
  for (std::int64_t r = 0; r < rows; ++r) {
    std::uint16_t* line = stripe.Row(static_cast<std::uint32_t>(r));
    const double* values = grid.Row(static_cast<std::int32_t>(r));
    for (std::int64_t c = from; c < to; ++c) {
      line[static_cast<std::size_t>(left + c) * 4 + static_cast<std::size_t>(channel)] =
          SrgbToLinearTable[ToCode(values[c])];
    }
  }
}
