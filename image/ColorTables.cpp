#include "image/ColorTables.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

std::array<std::uint16_t, 256> g_srgbToLinear{};
std::array<std::uint8_t, 65536> g_linearToSrgb{};
std::array<std::uint16_t, 256> g_adobeGammaToLinear{};
std::once_flag g_built;

void Build() {
  for (int i = 0; i < 256; ++i) {
    const double x = i / 256.0;
    const double v = x < 0.0404499 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    g_srgbToLinear[i] = static_cast<std::uint16_t>(v * 65536 + 0.5);
    g_adobeGammaToLinear[i] = static_cast<std::uint16_t>(std::pow(x, 563.0 / 256.0) * 65536 + 0.5);
  }
  for (int j = 0; j < 65536; ++j) {
    const double x = j / 65536.0;
    const double v = x < 0.0031308 ? x * 12.92 : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
    g_linearToSrgb[j] = static_cast<std::uint8_t>(std::min(static_cast<int>(v * 256 + 0.5), 255));
  }
}

}  // namespace

const std::array<std::uint16_t, 256>& SrgbToLinearTable = g_srgbToLinear;
const std::array<std::uint8_t, 65536>& LinearToSrgbTable = g_linearToSrgb;
const std::array<std::uint16_t, 256>& AdobeGammaToLinearTable = g_adobeGammaToLinear;

void BuildGammaTables() { std::call_once(g_built, Build); }
