#pragma once
// UTF-16 texts: the system keeps every text as UTF-16 and converts to UTF-8
// only where the operating system is called.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// Converts UTF-8 to UTF-16; an invalid sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

// Appends a code point below 0x110000: beyond the BMP as its surrogate pair,
// any other value (a lone surrogate included) as the one unit it is.
void AppendUtf16(std::u16string& out, char32_t c);

std::filesystem::path PathFromUtf16(std::u16string_view text);
std::u16string PathToUtf16(const std::filesystem::path& path);

// Length of a terminated text inside a fixed field, never reading past it.
std::size_t BoundedLength(std::span<const char16_t> field);

// Copies a text into a fixed field of n = destination.size() characters.
// A text of n - 1 or more characters is cut to n - 3 characters and "..";
// a null source gives an empty text. The field is always terminated.
void CopyTextTruncated(std::span<char16_t> destination, const char16_t* source);
void CopyTextTruncated(std::span<char16_t> destination, std::u16string_view source);

// The same cut rule for a text kept as a string that stands for a field of n
// characters: the result is at most n - 1 characters and ends at the first
// NUL of the source.
std::u16string TruncatedText(std::u16string_view text, std::size_t n);

// The small letter of a capital of ASCII, Latin-1, Greek or Cyrillic; any
// other character as it is.
char16_t FoldCase(char16_t c);

// Whether word occurs anywhere in text, letters compared through FoldCase;
// an empty word occurs in every text.
bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view word);

// Orders two texts by UTF-16 code unit with the ASCII letters folded to
// lower case (other letters keep their case): negative, 0 or positive.
int CompareAsciiNoCase(std::u16string_view a, std::u16string_view b);
