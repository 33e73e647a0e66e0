#pragma once
// CUITheme: where the skin pictures are and the seven theme colours. The
// default theme uses the data folder's "skin" and "basic" folders; a skin
// variant V uses "skin.V" and "basic.V" when "basic.V/config.txt" gives its
// colours (a bad or missing file keeps the default theme).
//
// config.txt: UTF-16 little-endian without a byte-order mark (a mark would
// be read into the first number); the first 4096 bytes count. Nine integers
// separated by commas (empty fields between commas are skipped); each field
// has at most 4 characters, line breaks included, so the values stay on one
// line; each reads as a decimal integer (leading blanks and a sign allowed,
// other characters end it, no digits give 0) taken modulo 256. Values 1 to 5
// are the greys of colours 0 to 4, value 6 the grey of colour 5; when value
// 6 is not 0, values 7, 8, 9 are the R, G, B of the accent colour 6. Text
// after the ninth value is ignored: the ninth field ends with its number.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

inline constexpr std::size_t kThemeColorCount = 7;
// Colour 6 tints accent shapes (the tab title background).
inline constexpr std::size_t kThemeAccent = 6;

// An opaque colour as a u32 of B, G, R, A (blue in the low byte).
constexpr std::uint32_t OpaqueColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return 0xFF000000u | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
}

// The grey of a colour, (6 G + 3 R + B) / 10, and that grey as an opaque
// colour; widgets draw in the greys of theme colours.
constexpr std::uint8_t GreyOf(std::uint32_t color) {
  return static_cast<std::uint8_t>((6 * ((color >> 8) & 0xFF) + 3 * ((color >> 16) & 0xFF) + (color & 0xFF)) /
                                   10);
}
constexpr std::uint32_t GreyColor(std::uint32_t color) {
  const std::uint8_t grey = GreyOf(color);
  return OpaqueColor(grey, grey, grey);
}

class CUITheme {
public:
  static constexpr std::array<std::uint32_t, kThemeColorCount> kDefaultColors = {
      OpaqueColor(235, 235, 235), OpaqueColor(192, 192, 192), OpaqueColor(140, 140, 140),
      OpaqueColor(64, 64, 64),    OpaqueColor(255, 255, 255), OpaqueColor(0, 0, 0),
      OpaqueColor(120, 200, 250)};

  // Default folders below programFolder and default colours; then a
  // non-empty variant's colours and folders when its config.txt is good.
  void Init(const std::filesystem::path& programFolder, std::u16string_view variant);
  // Applies the colours of a config.txt; false (nothing changed) when the
  // file is missing or does not hold nine good values.
  [[nodiscard]] bool ReadColors(const std::filesystem::path& path);
  // The nine values of a config.txt text; false when it does not hold them.
  [[nodiscard]] static bool ParseColorValues(std::u16string_view text, std::array<std::uint8_t, 9>& values);

  std::filesystem::path skinFolder;
  std::filesystem::path basicFolder;
  std::array<std::uint32_t, kThemeColorCount> colors{};
};
