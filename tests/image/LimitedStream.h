#pragma once
// A memory stream that takes at most a given number of bytes, then refuses
// every write, as a full disk does. Short writes are refused whole.

#include <cstdint>

#include "image/codecs/CodecMemStream.h"

class LimitedStream final : public CCodecStream {
public:
  explicit LimitedStream(std::uint64_t limit) : m_limit(limit) {}

  [[nodiscard]] bool Close() override { return m_memory.Close(); }
  [[nodiscard]] std::size_t Read(void* buffer, std::size_t itemSize, std::size_t count) override {
    return m_memory.Read(buffer, itemSize, count);
  }
  [[nodiscard]] std::size_t Write(const void* buffer, std::size_t itemSize, std::size_t count) override {
    const auto end = static_cast<std::uint64_t>(m_memory.Tell()) + std::uint64_t{itemSize} * count;
    if (end > m_limit) return 0;
    return m_memory.Write(buffer, itemSize, count);
  }
  [[nodiscard]] bool Seek(std::int32_t offset, std::int32_t origin) override {
    return m_memory.Seek(offset, origin);
  }
  std::int32_t Tell() override { return m_memory.Tell(); }
  std::int32_t Size() override { return m_memory.Size(); }
  [[nodiscard]] bool Flush() override { return m_memory.Flush(); }
  bool Eof() override { return m_memory.Eof(); }
  std::int32_t Error() override { return m_memory.Error(); }
  [[nodiscard]] bool PutC(std::uint8_t byte) override { return Write(&byte, 1, 1) == 1; }
  [[nodiscard]] int GetC() override { return m_memory.GetC(); }

private:
  CCodecMemStream m_memory;
  std::uint64_t m_limit;
};
