#pragma once
// CFont: a font face at one size, drawn through FreeType with the face found
// by fontconfig. Sizes follow the Windows convention the interface code was
// laid out with: a positive height is the cell height (ascent + descent, the
// line a text occupies), a negative one the em height. Text is drawn with
// grey anti-aliasing as 8-bit coverage; bold and italic are synthesised when
// the matched face has no such style. Advances are whole pixels and no
// kerning is applied, so a text's width is the sum of its characters'.
//
// Characters the face lacks are taken from another face that fontconfig
// offers for them (not with a pinned font file, see SetFontFileOverride).
// Rendered glyphs are cached per font. Every call takes one process-wide
// lock, because FreeType's library object is shared; fonts may be used from
// any thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/Rect.h"

struct FontRequest {
  std::u16string face;        // family name; empty: the default interface face
  std::int32_t height = 14;   // > 0 cell height, < 0 em height, in pixels; 0 counts as 14
  std::int32_t weight = 400;  // 100..900; 600 and above is bold
  bool italic = false;
};

class CFont {
public:
  // The face fontconfig matches for the request (or the pinned file); null
  // when no font file can be loaded.
  [[nodiscard]] static std::unique_ptr<CFont> Create(const FontRequest& request);
  // A face loaded from a file; the request's face name is only recorded.
  [[nodiscard]] static std::unique_ptr<CFont> CreateFromFile(const std::filesystem::path& file,
                                                             const FontRequest& request);

  ~CFont();
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  // Width: the sum of the advances; height: the cell height.
  Size MeasureText(std::u16string_view text) const;
  // Draws the text with its cell's top-left corner at (0, 0) into a coverage
  // buffer of width x height bytes (rows stride bytes apart), clipped to it.
  // Coverage combines with what the buffer holds (a + b - ab).
  void DrawText(std::u16string_view text, std::span<std::uint8_t> coverage, std::int32_t width,
                std::int32_t height, std::size_t stride) const;

  std::int32_t Height() const;  // cell height
  std::int32_t Ascent() const;  // baseline from the cell's top
  std::int32_t Weight() const { return m_request.weight; }
  bool Italic() const { return m_request.italic; }
  const FontRequest& Request() const { return m_request; }
  const std::filesystem::path& FilePath() const;

  // The FreeType state, kept out of this header.
  struct Impl;

private:
  CFont(std::unique_ptr<Impl> impl, FontRequest request);

  std::unique_ptr<Impl> m_impl;
  FontRequest m_request;
};

// Serves every later request from this file instead of asking fontconfig, so
// that tests render with a known face; an empty path restores the matching.
void SetFontFileOverride(const std::filesystem::path& file);
