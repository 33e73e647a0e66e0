#pragma once
// The byte stream every codec reads and writes through, so that one decoder
// serves a file on disk and a block in memory. Positions and sizes are 32-bit
// at this interface; a stream whose position or length does not fit reports
// -1 rather than a wrapped value.

#include <cstddef>
#include <cstdint>

class CCodecStream {
public:
  // Seek origins.
  static constexpr std::int32_t kFromStart = 0;
  static constexpr std::int32_t kFromCurrent = 1;
  static constexpr std::int32_t kFromEnd = 2;

  virtual ~CCodecStream() = default;
  CCodecStream(const CCodecStream&) = delete;
  CCodecStream& operator=(const CCodecStream&) = delete;

  [[nodiscard]] virtual bool Close() = 0;
  // Returns the number of whole items read.
  [[nodiscard]] virtual std::size_t Read(void* buffer, std::size_t itemSize, std::size_t count) = 0;
  // Returns the number of items written.
  [[nodiscard]] virtual std::size_t Write(const void* buffer, std::size_t itemSize, std::size_t count) = 0;
  [[nodiscard]] virtual bool Seek(std::int32_t offset, std::int32_t origin) = 0;
  virtual std::int32_t Tell() = 0;
  virtual std::int32_t Size() = 0;
  [[nodiscard]] virtual bool Flush() = 0;
  virtual bool Eof() = 0;
  // Non-zero when the stream is in error.
  virtual std::int32_t Error() = 0;
  [[nodiscard]] virtual bool PutC(std::uint8_t byte);
  // The next byte as 0..255, or -1 at the end.
  [[nodiscard]] virtual int GetC() = 0;

protected:
  CCodecStream() = default;
};
