#pragma once
// CGlyphCache: pictures of single characters in the interface face, rendered
// once per (character, size) and shared after that. An edit field keeps one
// picture per character it holds; with the cache, setting a long text renders
// only the characters never seen before, and the text lock is taken only for
// those. A character is a UTF-16 unit or a code point beyond the BMP (drawn
// from its surrogate pair).
//
// The pictures are coverage pictures (B = G = R = A) as CSkinSet::RenderText
// makes them, and never change once made: holders keep them by shared
// pointer, so emptying a full cache frees nothing still in use. Any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "image/BgraImage.h"

class CSkinSet;

class CGlyphCache {
public:
  // A full cache is emptied before the next picture is added.
  static constexpr std::size_t kMaxPictures = 8192;

  // The character's picture at the size (0: the renderer's default), rendered
  // under the skin set's text lock when it is not cached yet; null when it
  // cannot be rendered.
  std::shared_ptr<const CBgraImage> Get(CSkinSet& skins, char32_t character, std::int32_t size);
  // How many pictures were rendered since the start.
  std::uint64_t RenderCount() const;
  void Clear();

private:
  mutable std::mutex m_mutex;
  std::unordered_map<std::uint64_t, std::shared_ptr<const CBgraImage>> m_pictures;
  std::uint64_t m_renders = 0;
};
