#pragma once
// A codec stream over memory: either a caller's block to decode from, or a
// block the stream grows itself while a codec writes (an encode to memory).
//
// A caller's block is never written nor freed: the first write copies it into
// a block of the stream's own, which then grows. Growth doubles the capacity
// (at least to the next multiple of 4096 bytes), so a long series of small
// writes costs linear time. Memory beyond the written bytes is zero, so a
// seek past the end followed by a write leaves zeros in the gap. The stream
// holds at most 2^31 - 1 bytes, the reach of its 32-bit positions.

#include <cstdint>
#include <span>

#include "image/PixelBlock.h"
#include "image/codecs/CodecStream.h"

class CCodecMemStream final : public CCodecStream {
public:
  static constexpr std::uint32_t kGrowStep = 4096;
  static constexpr std::uint32_t kMaxBytes = INT32_MAX;

  // An empty stream for writing; it owns the block it grows.
  CCodecMemStream() : m_open(true), m_ownsBuffer(true) {}
  // A stream over a caller's block; a null block, or one longer than
  // kMaxBytes, gives no stream.
  explicit CCodecMemStream(std::span<const std::uint8_t> block);
  ~CCodecMemStream() override = default;

  // Frees the block when it is the stream's own; the stream then has none.
  [[nodiscard]] bool Close() override;
  [[nodiscard]] std::size_t Read(void* buffer, std::size_t itemSize, std::size_t count) override;
  [[nodiscard]] std::size_t Write(const void* buffer, std::size_t itemSize, std::size_t count) override;
  // The position may be set beyond the data, not below 0 nor beyond kMaxBytes.
  [[nodiscard]] bool Seek(std::int32_t offset, std::int32_t origin) override;
  std::int32_t Tell() override { return m_open ? m_position : -1; }
  std::int32_t Size() override { return m_open ? static_cast<std::int32_t>(m_size) : -1; }
  [[nodiscard]] bool Flush() override { return m_open; }
  bool Eof() override { return !m_open || m_position >= static_cast<std::int64_t>(m_size); }
  // 1 when the position lies beyond the data; a short read is no error.
  std::int32_t Error() override;
  [[nodiscard]] bool PutC(std::uint8_t byte) override { return Write(&byte, 1, 1) == 1; }
  [[nodiscard]] int GetC() override;

  // The valid bytes (empty without a stream).
  std::span<const std::uint8_t> Bytes() const;
  std::uint32_t Capacity() const { return m_capacity; }
  // Hands the stream's own block and its valid byte count to the caller and
  // leaves the stream without a block. Null (size 0) when the stream has no
  // block of its own.
  [[nodiscard]] PixelBlock TakeBuffer(std::uint32_t& size);

private:
  // Makes the stream's own block hold at least needed bytes.
  [[nodiscard]] bool Reserve(std::uint64_t needed);

  PixelBlock m_owned;                      // the stream's own block, when it has one
  const std::uint8_t* m_buffer = nullptr;  // m_owned or the caller's block
  bool m_open = false;
  bool m_ownsBuffer = false;
  std::uint32_t m_size = 0;
  std::int32_t m_position = 0;
  std::uint32_t m_capacity = 0;
};
