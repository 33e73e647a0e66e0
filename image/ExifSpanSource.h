#pragma once
// A metadata block held in memory.

#include <cstring>

#include "image/ExifSource.h"

class CExifSpanSource final : public CExifSource {
public:
  explicit CExifSpanSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  std::uint64_t Size() const override { return m_bytes.size(); }
  [[nodiscard]] bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), m_bytes.data() + offset, out.size());
    return true;
  }

private:
  std::span<const std::uint8_t> m_bytes;
};
