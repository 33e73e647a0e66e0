#pragma once
// Logical pixels per inch of the display, as desktop settings give it: the
// X resource Xft.dpi, 96 when it is absent, or the value of the environment
// variable TESSERA_DPI (for tests and for users who want another size).

#include <string_view>

inline constexpr int kDefaultDpi = 96;

// The Xft.dpi entry of an X resource database text, or 0 when it has none or
// its value is not a sane resolution (24 to 960).
[[nodiscard]] int ParseXftDpi(std::string_view resources);
// A TESSERA_DPI value: the same range, 0 when unusable.
[[nodiscard]] int ParseDpiOverride(const char* value);
// The override, else Xft.dpi of the display, else 96.
int QueryDisplayDpi();
