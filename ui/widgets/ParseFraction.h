#pragma once
// Reads a number the user typed: a decimal number ("3", "-2.5", "1e3") or a
// fraction of two ("1/4"). Fails when the first character's code is 58 or
// more (letters and most symbols), when the denominator's magnitude is below
// 1e-8, and when the result is not finite ("1e400"). The numerator is the
// number at the start of the text, what follows it up to the first "/" is
// ignored; the denominator is the number after that "/", up to the next "/"
// or the end. Numbers are read in the "C" locale's form.

#include <string_view>

[[nodiscard]] bool ParseFraction(std::u16string_view text, double& result);
