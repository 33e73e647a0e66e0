#pragma once
// The bytes of a TIFF-structured metadata block (an EXIF APP1 payload, a PNG
// eXIf chunk or a whole TIFF file), read at offsets from its start. Every
// read is checked against Size() by the caller and again here.

#include <cstdint>
#include <span>

class CExifSource {
public:
  virtual ~CExifSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Fills out with the bytes at offset; false when they are not all there.
  [[nodiscard]] virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

protected:
  CExifSource() = default;
  CExifSource(const CExifSource&) = default;
  CExifSource& operator=(const CExifSource&) = default;
};
