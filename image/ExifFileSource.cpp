#include "image/ExifFileSource.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"

CExifFileSource::CExifFileSource(CFile& file) : m_file(file) {
  const std::int64_t length = file.GetLength();
  m_size = length > 0 ? static_cast<std::uint64_t>(length) : 0;
  m_prefix.resize(static_cast<std::size_t>(std::min(m_size, kPrefixBytes)));
  if (!m_file.Seek(0, CFile::SeekOrigin::Begin) || !m_file.ReadExact(m_prefix.data(), m_prefix.size())) {
    m_prefix.clear();
  }
}

bool CExifFileSource::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > m_size || out.size() > m_size - offset) return false;
  if (out.empty()) return true;
  if (offset + out.size() <= m_prefix.size()) {
    std::memcpy(out.data(), m_prefix.data() + offset, out.size());
    return true;
  }
  return m_file.Seek(static_cast<std::int64_t>(offset), CFile::SeekOrigin::Begin) &&
         m_file.ReadExact(out.data(), out.size());
}
