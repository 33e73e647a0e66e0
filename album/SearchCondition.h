#pragma once
// SearchCondition: one condition slot of a search, as catalogs and place
// names store it (140 bytes in a file: kind, low, high, a 64-character
// text). Tested against one property of a photo.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

class ByteWriter;

enum class ConditionKind : std::uint32_t {
  None = 0,
  Equal = 1,
  Range = 2,  // low <= v < high
  DateRange = 3,
  Words = 4,
  Near = 6,  // centre low (0: any), tolerance high
};

struct SearchCondition {
  static constexpr std::size_t kBytes = 140;
  static constexpr std::size_t kTextLength = 64;

  std::uint32_t kind = 0;
  std::int32_t low = 0;
  std::int32_t high = 0;
  std::array<char16_t, kTextLength> text{};

  // The text up to its terminator.
  std::u16string_view Text() const;
  void SetText(std::u16string_view words);
  bool IsSet() const { return kind != 0; }

  // Whether value (and, for a word condition, text) passes. A word
  // condition given no text fails unless it holds no word; unknown kinds
  // pass. Differences are taken in 64 bits, so bounds read from a file
  // cannot overflow them.
  bool Test(std::int64_t value, const std::u16string_view* valueText) const;

  void Write(ByteWriter& out) const;
  // Reads kBytes from the start of bytes (which must hold them).
  void Read(std::span<const std::uint8_t> bytes);

  static SearchCondition Make(ConditionKind kind, std::int32_t low, std::int32_t high);
};
