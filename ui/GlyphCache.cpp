#include "ui/GlyphCache.h"

#include <mutex>
#include <string>

#include "platform/Utf16.h"
#include "ui/SkinSet.h"

namespace {

std::uint64_t KeyOf(char32_t character, std::int32_t size) {
  return (std::uint64_t{static_cast<std::uint32_t>(size)} << 32) | character;
}

}  // namespace

std::shared_ptr<const CBgraImage> CGlyphCache::Get(CSkinSet& skins, char32_t character, std::int32_t size) {
  if (size == 0) size = CSkinSet::kDefaultSize;
  const std::uint64_t key = KeyOf(character, size);
  {
    std::lock_guard guard(m_mutex);
    if (const auto it = m_pictures.find(key); it != m_pictures.end()) return it->second;
  }
  // Rendered outside the cache's lock: only the text lock is held for it.
  auto picture = std::make_shared<CBgraImage>();
  std::u16string units;
  AppendUtf16(units, character);
  {
    std::lock_guard textGuard(skins);
    if (!skins.RenderText(units, *picture, {}, size)) return nullptr;
  }
  std::lock_guard guard(m_mutex);
  ++m_renders;
  if (m_pictures.size() >= kMaxPictures) m_pictures.clear();
  // Another thread may have made it meanwhile: theirs is kept.
  const auto [it, added] = m_pictures.emplace(key, std::move(picture));
  return it->second;
}

std::uint64_t CGlyphCache::RenderCount() const {
  std::lock_guard guard(m_mutex);
  return m_renders;
}

void CGlyphCache::Clear() {
  std::lock_guard guard(m_mutex);
  m_pictures.clear();
}
