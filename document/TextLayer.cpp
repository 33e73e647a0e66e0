#include "document/TextLayer.h"

#include <algorithm>

#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/Utf16.h"

namespace {

constexpr std::size_t kTailBytes = CTextLayer::kTextBytes + TextStyle::kSize;

}  // namespace

std::u16string CTextLayer::Text() const { return std::u16string(m_text.data(), BoundedLength(m_text)); }

void CTextLayer::SetText(std::u16string_view text) {
  text = text.substr(0, std::min(text.find(u'\0'), kTextLength - 1));
  m_text.fill(0);
  std::copy(text.begin(), text.end(), m_text.begin());
}

int CTextLayer::CopyFrom(const CBFLayer& source) {
  if (!CBFLayer::CopyFrom(source)) return 0;
  const auto* text = dynamic_cast<const CTextLayer*>(&source);
  if ((source.m_kind & kLayerText) && text) {
    m_text = text->m_text;
    m_style = text->m_style;
  }
  return 1;
}

int CTextLayer::Serialize(CFile& stream, int load) {
  std::array<std::uint8_t, kTailBytes> tail{};
  if (!load) {
    std::lock_guard guard(m_lock);
    for (std::size_t i = 0; i < kTextLength; ++i) StoreLE16(&tail[2 * i], m_text[i]);
    m_style.Encode(std::span<std::uint8_t, TextStyle::kSize>(tail.data() + kTextBytes, TextStyle::kSize));
    return WriteStoredLayer(stream) && stream.Write(tail.data(), tail.size()) ? 1 : 0;
  }

  StoredLayer stored;
  if (!ReadStoredLayer(stream, stored) || !stream.ReadExact(tail.data(), tail.size())) return 0;
  std::array<char16_t, kTextLength> text{};
  for (std::size_t i = 0; i + 1 < kTextLength; ++i) {
    const char16_t c = LoadLE16(&tail[2 * i]);
    if (c == 0) break;
    text[i] = c;
  }
  const TextStyle style = TextStyle::Decode(
      std::span<const std::uint8_t, TextStyle::kSize>(tail.data() + kTextBytes, TextStyle::kSize));
  std::lock_guard guard(m_lock);
  TakeStoredLayer(stored);
  m_text = text;
  m_style = style;
  return 1;
}
