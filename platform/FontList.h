#pragma once
// The font families installed on the system, as fontconfig lists them: only
// scalable faces, and only those that have the Latin letters A-Z and a-z
// (symbol and picture faces, and faces for other scripts only, are left
// out). Each family once, in fontconfig's order; names as UTF-16.

#include <string>
#include <vector>

[[nodiscard]] std::vector<std::u16string> ListFontFamilies();
