#pragma once
// Little-endian records, field by field: nothing is ever written as a raw
// struct, so layouts do not depend on the compiler or on pointer width.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline void StoreLE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreLE64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t LoadLE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadLE64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLE32(p)) | (static_cast<std::uint64_t>(LoadLE32(p + 4)) << 32);
}

// Appends fields to a byte buffer.
class ByteWriter {
public:
  void U8(std::uint8_t v) { m_bytes.push_back(v); }
  void U16(std::uint16_t v) {
    Grow(2, [&](std::uint8_t* p) { StoreLE16(p, v); });
  }
  void U32(std::uint32_t v) {
    Grow(4, [&](std::uint8_t* p) { StoreLE32(p, v); });
  }
  void U64(std::uint64_t v) {
    Grow(8, [&](std::uint8_t* p) { StoreLE64(p, v); });
  }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void F32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    U32(bits);
  }
  void F64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    U64(bits);
  }
  void Bytes(std::span<const std::uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
  }
  void Zeros(std::size_t count) { m_bytes.resize(m_bytes.size() + count, 0); }
  // A fixed field of n UTF-16 units, zero-filled after the text.
  void Text16(std::u16string_view text, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) U16(i < text.size() ? text[i] : 0);
  }

  const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
  std::vector<std::uint8_t> Take() { return std::move(m_bytes); }
  std::size_t size() const { return m_bytes.size(); }

private:
  template <typename F>
  void Grow(std::size_t n, F&& store) {
    // Stored aside and appended: storing into a freshly resized vector draws
    // a false -Wstringop-overflow from GCC 12 when the vector starts empty.
    std::uint8_t field[8];
    store(field);
    m_bytes.insert(m_bytes.end(), field, field + n);
  }
  std::vector<std::uint8_t> m_bytes;
};

// Reads fields from bytes with bounds checks: a read past the end sets the
// failed flag and yields zeros, so a parser checks ok() once at the end.
class ByteReader {
public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  std::uint8_t U8() { return Take(1) ? m_bytes[m_pos - 1] : 0; }
  std::uint16_t U16() { return Take(2) ? LoadLE16(&m_bytes[m_pos - 2]) : 0; }
  std::uint32_t U32() { return Take(4) ? LoadLE32(&m_bytes[m_pos - 4]) : 0; }
  std::uint64_t U64() { return Take(8) ? LoadLE64(&m_bytes[m_pos - 8]) : 0; }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  float F32() {
    const std::uint32_t bits = U32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  double F64() {
    const std::uint64_t bits = U64();
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  std::span<const std::uint8_t> Bytes(std::size_t n) {
    return Take(n) ? m_bytes.subspan(m_pos - n, n) : std::span<const std::uint8_t>();
  }
  // A short skip sets the failed flag that ok() reports.
  void Skip(std::size_t n) { static_cast<void>(Take(n)); }
  // A fixed field of n UTF-16 units; the text ends at the first zero or at
  // the end of the field, whichever comes first.
  std::u16string Text16(std::size_t n) {
    std::u16string text;
    bool ended = false;
    for (std::size_t i = 0; i < n; ++i) {
      const char16_t c = U16();
      if (c == 0) ended = true;
      if (!ended) text += c;
    }
    return text;
  }

  bool ok() const { return !m_failed; }
  std::size_t position() const { return m_pos; }
  std::size_t remaining() const { return m_bytes.size() - m_pos; }

private:
  [[nodiscard]] bool Take(std::size_t n) {
    if (m_failed || n > m_bytes.size() - m_pos) {
      m_failed = true;
      return false;
    }
    m_pos += n;
    return true;
  }
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
  bool m_failed = false;
};
