#include "algorithms/ToneTable.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Scaled values are clamped to this before they become integers: far beyond
// any result that survives the final clamp, far within 64 bits.
constexpr double kScaledLimit = 1099511627776.0;  // 2^40

// trunc(x), for a finite x.
std::int64_t Truncate(double x) {
  return static_cast<std::int64_t>(std::clamp(x, -kScaledLimit, kScaledLimit));
}

std::uint16_t Clamp16(std::int64_t v) {
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, 65535));
}

}  // namespace

void FillIdentity(ToneTableSpan table) { std::iota(table.begin(), table.end(), std::uint16_t{0}); }

int ApplyLutGain(ToneTableSpan table, double factor, std::int32_t knee) {
  if (!std::isfinite(factor)) return 0;
  const std::int64_t kneeStart = 65535 - std::int64_t{knee};
  for (std::uint16_t& entry : table) {
    const std::int64_t v = entry;
    const std::int64_t scaled = Truncate(static_cast<double>(v) * factor + 0.5);
    std::int64_t result = scaled;
    if (v > kneeStart) {  // only with knee > 0
      const std::int64_t c = (v - kneeStart) * 256 / knee;
      result = (v * c + scaled * (256 - c)) >> 8;
    }
    // Negative factors reach here from later callers: clamp both ways.
    entry = Clamp16(result);
  }
  return 1;
}

int ApplyLutContrast(ToneTableSpan table, double factor, std::int32_t knee) {
  if (!std::isfinite(factor)) return 0;
  const std::int64_t shoulder = std::min<std::int64_t>(knee, 32766);
  const std::int64_t plain = 32768 - shoulder;  // distances up to here are only scaled
  for (std::uint16_t& entry : table) {
    const std::int64_t v = entry;
    const std::int64_t d = v >= 32768 ? v - 32768 : 32768 - v;
    const std::int64_t scaled = Truncate(static_cast<double>(d) * factor + 0.5);
    std::int64_t r = scaled;
    if (shoulder > 0 && d > plain) {
      const std::int64_t c = (d - plain) * 256 / shoulder;
      r = (d * c + scaled * (256 - c)) >> 8;
    }
    r = std::min<std::int64_t>(r, 32767);
    entry = Clamp16(v >= 32768 ? 32768 + r : 32768 - r);
  }
  return 1;
}

int ApplyLutSine(ToneTableSpan table, double amount) {
  if (!std::isfinite(amount)) return 0;
  for (std::uint16_t& entry : table) {
    const double a = entry / 65536.0;
    const double bent = (amount * std::sin(a * 6.283) + a) * 65536.0;
    entry = static_cast<std::uint16_t>(std::clamp(bent, 0.0, 65535.0));
  }
  return 1;
}

double SrgbEncode(double linear) {
  return linear < 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

double SrgbDecode(double encoded) {
  return encoded < 0.0404499 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

void BuildLevelsLutSrgb(ToneTableSpan table, std::int32_t black, std::int32_t white) {
  const double low = SrgbEncode(black / 65535.0);
  const double high = SrgbEncode(white / 65535.0);
  for (std::size_t v = 0; v < kToneTableSize; ++v) {
    const double x = SrgbEncode(static_cast<double>(v) / 65535.0);
    if (x <= low) {
      table[v] = 0;
    } else if (x >= high) {
      table[v] = 65535;
    } else {
      table[v] = Clamp16(Truncate(SrgbDecode((x - low) / (high - low)) * 65535.0 + 0.5));
    }
  }
}
