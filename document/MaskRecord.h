#pragma once
// MaskRecord: one saved mask of a document: a plane cropped to its non-zero
// bytes, placed at a document position, with a name, a small preview built by
// the mask panel (never stored) and the document size it was made for.
//
// Stored form inside a full document body, little-endian:
//   0 64 bytes name (32 UTF-16 units)   64 i32 x   68 i32 y
//   72 u32 document width   76 u32 document height
//   80 64 bytes name again (the reader keeps this copy)
//   144 the plane as a PackedPlaneRecord

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/BgraImage.h"
#include "image/Plane8.h"

class CFile;

struct MaskRecord {
  static constexpr std::size_t kNameLength = 32;
  static constexpr std::size_t kFixedBytes = 144;

  CPlane8 plane;
  std::array<char16_t, kNameLength> name{};  // terminated, zero after the text
  std::int32_t x = 0;
  std::int32_t y = 0;
  CBgraImage thumbnail;  // at most 40 x 40
  std::uint32_t documentWidth = 0;
  std::uint32_t documentHeight = 0;

  std::u16string Name() const;
  // 31 characters or more become 29 and "..".
  void SetName(std::u16string_view text);

  // A deep copy of plane, position, name, document size and thumbnail; 0
  // when memory is short (this record is then unchanged).
  [[nodiscard]] int CopyFrom(const MaskRecord& source);

  // The stored record (no thumbnail). 0 when the plane cannot be written.
  [[nodiscard]] int Write(CFile& stream) const;
  // Fills a record from the stream; 0 on a short read or a bad plane (the
  // record is then unchanged). Names are cut at their first zero and always
  // end in one.
  [[nodiscard]] static int Read(CFile& stream, MaskRecord& record);
};
