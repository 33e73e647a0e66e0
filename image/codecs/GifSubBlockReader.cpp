#include "image/codecs/GifSubBlockReader.h"

#include "image/codecs/CodecStream.h"

bool CGifSubBlockReader::Refill() {
  m_position = 0;
  m_size = 0;
  if (m_ended) return false;
  const int size = m_stream.GetC();
  if (size <= 0) {
    m_ended = true;
    return false;
  }
  // A sub-block cut short by the end of the stream still gives its bytes.
  m_size = static_cast<std::uint32_t>(m_stream.Read(m_data.data(), 1, static_cast<std::size_t>(size)));
  if (m_size < static_cast<std::uint32_t>(size)) m_ended = true;
  return m_size > 0;
}

int CGifSubBlockReader::Next() {
  if (m_position == m_size && !Refill()) return -1;
  return m_data[m_position++];
}

void CGifSubBlockReader::SkipRest() {
  // Every pass reads at least one byte of the stream, so this ends with it.
  while (Refill()) {
  }
}
