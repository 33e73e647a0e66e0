#include "image/codecs/CodecFileStream.h"

#include <sys/types.h>

#include <cstdint>

namespace {

// A 64-bit file position as the 32-bit value of the stream interface: -1
// for an error or a position the interface cannot express.
std::int32_t ToStreamPosition(off_t position) {
  return position < 0 || position > INT32_MAX ? -1 : static_cast<std::int32_t>(position);
}

}  // namespace

std::size_t CCodecFileStream::Read(void* buffer, std::size_t itemSize, std::size_t count) {
  if (!m_file || !buffer) return 0;
  return std::fread(buffer, itemSize, count, m_file);
}

std::size_t CCodecFileStream::Write(const void* buffer, std::size_t itemSize, std::size_t count) {
  if (!m_file || !buffer) return 0;
  return std::fwrite(buffer, itemSize, count, m_file);
}

bool CCodecFileStream::Seek(std::int32_t offset, std::int32_t origin) {
  if (!m_file) return false;
  int whence;
  switch (origin) {
    case kFromStart:
      whence = SEEK_SET;
      break;
    case kFromCurrent:
      whence = SEEK_CUR;
      break;
    case kFromEnd:
      whence = SEEK_END;
      break;
    default:
      return false;
  }
  return ::fseeko(m_file, static_cast<off_t>(offset), whence) == 0;
}

std::int32_t CCodecFileStream::Tell() {
  if (!m_file) return 0;
  return ToStreamPosition(::ftello(m_file));
}

std::int32_t CCodecFileStream::Size() {
  if (!m_file) return -1;
  const off_t position = ::ftello(m_file);
  if (position < 0 || ::fseeko(m_file, 0, SEEK_END) != 0) return -1;
  const off_t size = ::ftello(m_file);
  if (::fseeko(m_file, position, SEEK_SET) != 0) return -1;
  return ToStreamPosition(size);
}

bool CCodecFileStream::Flush() { return m_file && std::fflush(m_file) == 0; }

bool CCodecFileStream::Eof() { return !m_file || std::feof(m_file) != 0; }

std::int32_t CCodecFileStream::Error() {
  if (!m_file) return -1;
  return std::ferror(m_file) ? 1 : 0;
}

bool CCodecFileStream::PutC(std::uint8_t byte) { return m_file && std::fputc(byte, m_file) == byte; }

int CCodecFileStream::GetC() { return m_file ? std::getc(m_file) : -1; }
