#pragma once
// Reading and writing the program's settings values (see RegistryProfile.h).
// Writers go to the current user's values; readers may ask the user's or
// the machine-wide ones. Failures are silent: readers fall back to their
// default, writers return false.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/RegistryProfile.h"

// The longest text a reader accepts; a longer stored text counts as absent.
inline constexpr std::size_t kMaxRegTextLength = 511;

[[nodiscard]] bool SetRegDword(std::u16string_view section, std::u16string_view valueName,
                               std::uint32_t value);
// The text is stored up to its first NUL.
[[nodiscard]] bool SetRegString(std::u16string_view section, std::u16string_view valueName,
                                std::u16string_view text);

// out becomes the default, then the stored text, each cut to a field of
// outLength characters (a text of outLength - 1 or more keeps outLength - 3
// characters followed by ".."). True when the stored text was read.
[[nodiscard]] bool GetRegString(std::u16string_view section, std::u16string_view valueName,
                                std::u16string_view defaultText, std::u16string& out, std::size_t outLength,
                                bool currentUser);
[[nodiscard]] bool GetRegString(const RegTextValue& value, std::u16string& out, bool currentUser);

// The stored number, or defaultValue when it is missing or not a number.
std::uint32_t GetRegDword(std::u16string_view section, std::u16string_view valueName,
                          std::uint32_t defaultValue, bool currentUser);
std::uint32_t GetRegDword(const RegDwordValue& value, bool currentUser);
// True with the stored number in value; false, value untouched, when it is
// missing or not a number.
[[nodiscard]] bool QueryRegDword(std::u16string_view section, std::u16string_view valueName,
                                 std::uint32_t& value, bool currentUser);
