#pragma once
// A codec stream over a C file that its creator opened and will close: the
// stream never closes it. Positions are 64-bit inside (fseeko, ftello).

#include <cstdio>

#include "image/codecs/CodecStream.h"

class CCodecFileStream final : public CCodecStream {
public:
  explicit CCodecFileStream(std::FILE* file) : m_file(file) {}
  ~CCodecFileStream() override = default;

  // Leaves the file open for its creator.
  [[nodiscard]] bool Close() override { return true; }
  [[nodiscard]] std::size_t Read(void* buffer, std::size_t itemSize, std::size_t count) override;
  [[nodiscard]] std::size_t Write(const void* buffer, std::size_t itemSize, std::size_t count) override;
  [[nodiscard]] bool Seek(std::int32_t offset, std::int32_t origin) override;
  std::int32_t Tell() override;
  // The file's length; the position is left where it was.
  std::int32_t Size() override;
  [[nodiscard]] bool Flush() override;
  bool Eof() override;
  std::int32_t Error() override;
  [[nodiscard]] bool PutC(std::uint8_t byte) override;
  [[nodiscard]] int GetC() override;

private:
  std::FILE* m_file = nullptr;
};
