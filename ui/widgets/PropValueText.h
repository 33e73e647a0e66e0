#pragma once
// The texts of the property list's number rows: how a stored rational reads,
// and how a text the user typed or pasted into a row becomes the row's new
// text or is refused. Typed text is outside input: every number is read in
// 64 bits or as a double and checked before it is converted or formatted.

#include <cstdint>
#include <string>
#include <string_view>

enum class EditedValueCheck : std::uint8_t {
  Ok,
  NotANumber,  // the row refuses with "propUpdateErr"
  OutOfRange,  // the row refuses with "dlgUpdateRange" and the number read
};

struct EditedValue {
  EditedValueCheck check = EditedValueCheck::NotANumber;
  std::int64_t number = 0;  // the integer read (integer rows)
  std::u16string text;      // the row's new text when Ok
};

// A rational's text: its quotient with one decimal ("%.1f") when above 1,
// else the pair reduced to one over a whole number ("%d/%d"), or "0" for a
// zero numerator. Empty for a zero denominator (no value).
std::u16string RationalText(std::int32_t numerator, std::int32_t denominator);

// An integer row's edit: the leading integer of the text in 64 bits. A
// result of 0 from a text that is neither empty nor starts with "0", "+" or
// "-" is no number; a value outside minimum..maximum is out of range;
// otherwise the text becomes the decimal value.
[[nodiscard]] EditedValue ReadIntegerValue(std::u16string_view text, std::int64_t minimum,
                                           std::int64_t maximum);

// A rational row's edit, read with ParseFraction: a quotient above 1 is kept
// with one decimal, others as the nearest ten-thousandth reduced to one over
// a whole number (RationalText). Refused as no number when ParseFraction
// fails or the value cannot be stored as a 32-bit rational: a quotient above
// INT32_MAX, or ten-thousandths beyond the 32-bit range.
[[nodiscard]] EditedValue ReadRationalValue(std::u16string_view text);
