#pragma once
// Hand-made EXIF blocks for the metadata tests: a TIFF block of either byte
// order with IFD0, the EXIF and GPS directories and IFD1, laid out as
// cameras do (directories first, each followed by its longer values), and
// the files that carry such a block.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using ExifBytes = std::vector<std::uint8_t>;

enum class ExifDirectory { Ifd0 = 0, Exif = 1, Gps = 2, Ifd1 = 3 };

class ExifBlockBuilder {
public:
  explicit ExifBlockBuilder(bool bigEndian = false) : m_bigEndian(bigEndian) {}

  // An entry whose value is given little-endian, element by element of the
  // type's size; the block stores it in its own byte order.
  ExifBlockBuilder& Add(ExifDirectory directory, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                        ExifBytes littleEndianValue) {
    m_entries[int(directory)].push_back({tag, type, count, std::move(littleEndianValue)});
    return *this;
  }
  ExifBlockBuilder& Ascii(ExifDirectory d, std::uint16_t tag, std::string_view text) {
    ExifBytes value(text.begin(), text.end());
    value.push_back(0);
    return Add(d, tag, 2, static_cast<std::uint32_t>(value.size()), value);
  }
  ExifBlockBuilder& Short(ExifDirectory d, std::uint16_t tag, std::uint16_t v) {
    return Add(d, tag, 3, 1, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
  }
  ExifBlockBuilder& Long(ExifDirectory d, std::uint16_t tag, std::uint32_t v) {
    return Add(d, tag, 4, 1, Le32(v));
  }
  ExifBlockBuilder& Rational(ExifDirectory d, std::uint16_t tag, std::uint32_t num, std::uint32_t den,
                             std::uint16_t type = 5) {
    ExifBytes value = Le32(num);
    const ExifBytes low = Le32(den);
    value.insert(value.end(), low.begin(), low.end());
    return Add(d, tag, type, 1, value);
  }
  ExifBlockBuilder& Rationals(ExifDirectory d, std::uint16_t tag, std::vector<std::uint32_t> pairs) {
    ExifBytes value;
    for (std::uint32_t v : pairs) {
      const ExifBytes b = Le32(v);
      value.insert(value.end(), b.begin(), b.end());
    }
    return Add(d, tag, 5, static_cast<std::uint32_t>(pairs.size() / 2), value);
  }
  ExifBlockBuilder& Undefined(ExifDirectory d, std::uint16_t tag, ExifBytes bytes) {
    const auto count = static_cast<std::uint32_t>(bytes.size());
    return Add(d, tag, 7, count, std::move(bytes));
  }
  // IFD1's JPEGInterchangeFormat and its length, pointing at these bytes.
  ExifBlockBuilder& Thumbnail(ExifBytes bytes) {
    m_thumbnail = std::move(bytes);
    return *this;
  }

  ExifBytes Build() const {
    ExifBytes out = m_bigEndian ? ExifBytes{'M', 'M', 0, 42} : ExifBytes{'I', 'I', 42, 0};
    Put32(out, 8);
    std::vector<Entry> dirs[4] = {m_entries[0], m_entries[1], m_entries[2], m_entries[3]};
    if (!m_thumbnail.empty()) {
      dirs[3].push_back({513, 4, 1, Le32(0)});  // the offset is patched below
      dirs[3].push_back({514, 4, 1, Le32(static_cast<std::uint32_t>(m_thumbnail.size()))});
    }
    // IFD0 points at the EXIF and GPS directories when they have entries.
    if (!dirs[1].empty()) dirs[0].push_back({0x8769, 4, 1, Le32(0)});
    if (!dirs[2].empty()) dirs[0].push_back({0x8825, 4, 1, Le32(0)});
    std::size_t ifd0Next = 0;
    std::size_t pointerAt[4] = {};
    std::size_t thumbnailAt = 0;
    for (int d : {0, 1, 2, 3}) {
      if (dirs[d].empty()) continue;
      const std::size_t start = out.size();
      if (d == 1) Patch32(out, pointerAt[1], start);
      if (d == 2) Patch32(out, pointerAt[2], start);
      if (d == 3 && ifd0Next) Patch32(out, ifd0Next, start);
      Put16(out, static_cast<std::uint16_t>(dirs[d].size()));
      std::size_t valuesAt = start + 2 + 12 * dirs[d].size() + 4;
      std::vector<std::pair<std::size_t, const Entry*>> outOfLine;
      for (const Entry& e : dirs[d]) {
        Put16(out, e.tag);
        Put16(out, e.type);
        Put32(out, e.count);
        const ExifBytes value = FileOrder(e);
        if (d == 0 && e.tag == 0x8769) pointerAt[1] = out.size();
        if (d == 0 && e.tag == 0x8825) pointerAt[2] = out.size();
        if (d == 3 && e.tag == 513) thumbnailAt = out.size();
        if (value.size() <= 4) {
          ExifBytes field = value;
          field.resize(4, 0);
          out.insert(out.end(), field.begin(), field.end());
        } else {
          Put32(out, static_cast<std::uint32_t>(valuesAt));
          outOfLine.push_back({valuesAt, &e});
          valuesAt += value.size() + (value.size() & 1);
        }
      }
      if (d == 0) ifd0Next = out.size();
      Put32(out, 0);
      for (const auto& [at, e] : outOfLine) {
        out.resize(at);
        const ExifBytes value = FileOrder(*e);
        out.insert(out.end(), value.begin(), value.end());
        if (value.size() & 1) out.push_back(0);
      }
    }
    if (!m_thumbnail.empty()) {
      Patch32(out, thumbnailAt, out.size());
      out.insert(out.end(), m_thumbnail.begin(), m_thumbnail.end());
    }
    return out;
  }

  static ExifBytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  }

private:
  struct Entry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    ExifBytes value;  // little-endian
  };

  static std::size_t ElementSize(std::uint16_t type) {
    switch (type) {
      case 3:
      case 8:
        return 2;
      case 4:
      case 9:
      case 11:
      case 5:  // swapped as two 32-bit halves
      case 10:
        return 4;
      case 12:
        return 8;
      default:
        return 1;
    }
  }
  ExifBytes FileOrder(const Entry& e) const {
    ExifBytes value = e.value;
    const std::size_t size = ElementSize(e.type);
    if (m_bigEndian && size > 1) {
      for (std::size_t i = 0; i + size <= value.size(); i += size) {
        std::reverse(value.begin() + static_cast<std::ptrdiff_t>(i),
                     value.begin() + static_cast<std::ptrdiff_t>(i + size));
      }
    }
    return value;
  }
  void Put16(ExifBytes& out, std::uint16_t v) const {
    if (m_bigEndian) {
      out.push_back(static_cast<std::uint8_t>(v >> 8));
      out.push_back(static_cast<std::uint8_t>(v));
    } else {
      out.push_back(static_cast<std::uint8_t>(v));
      out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  }
  void Put32(ExifBytes& out, std::uint32_t v) const {
    ExifBytes b = Le32(v);
    if (m_bigEndian) std::reverse(b.begin(), b.end());
    out.insert(out.end(), b.begin(), b.end());
  }
  void Patch32(ExifBytes& out, std::size_t at, std::size_t v) const {
    ExifBytes b = Le32(static_cast<std::uint32_t>(v));
    if (m_bigEndian) std::reverse(b.begin(), b.end());
    std::copy(b.begin(), b.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
  }

  bool m_bigEndian;
  std::vector<Entry> m_entries[4];
  ExifBytes m_thumbnail;
};

// A JPEG of width x height pixels as far as the metadata reader goes: SOI,
// the EXIF block in APP1, a frame header, a scan header and EOI (no
// entropy-coded data).
inline ExifBytes JpegWithExif(const ExifBytes& block, std::uint16_t width = 64, std::uint16_t height = 48) {
  ExifBytes out = {0xFF, 0xD8};
  if (!block.empty()) {
    const std::size_t length = block.size() + 8;
    out.insert(out.end(), {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0});
    out.insert(out.end(), block.begin(), block.end());
  }
  out.insert(out.end(),
             {0xFF, 0xC0, 0, 11, 8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
              static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width), 1, 1, 0x11, 0});
  out.insert(out.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}
