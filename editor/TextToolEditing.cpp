// The text tool's editing of the glyph list: the font, the glyph pictures,
// the layout into lines and the layer picture, insertion, deletion, paste,
// loading a layer and the caret.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "document/BFDoc.h"
#include "editor/CanvasMapping.h"
#include "editor/SEditView.h"
#include "editor/TextTool.h"
#include "platform/Utf16.h"
#include "ui/Clipboard.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"

namespace {

constexpr char16_t kCr = 13;
constexpr char16_t kLf = 10;
constexpr std::int32_t kSmallestImage = 8;
// The text input's place: this far below the layer's bottom-left corner.
constexpr std::int32_t kInputBelow = 40;

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsLineEnd(char16_t c) { return c == kCr || c == kLf; }

// How many times larger small antialiased text is drawn before it is reduced.
std::int32_t Supersampling(const TextStyle& style) {
  if (!style.antialias) return 1;
  if (style.size < 25) return 4;
  if (style.size < 50) return 2;
  return 1;
}

// Coverage c to 16-bit alpha: sqrt(c / 255) x 65535, which thickens the
// thin edges a linear ramp leaves after the reduction.
const std::array<std::uint16_t, 256>& AlphaTable() {
  static const std::array<std::uint16_t, 256> table = [] {
    std::array<std::uint16_t, 256> t{};
    for (std::size_t c = 0; c < t.size(); ++c)
      t[c] = static_cast<std::uint16_t>(std::sqrt(static_cast<double>(c) / 255.0) * 65535.0);
    return t;
  }();
  return table;
}

std::unique_ptr<TextGlyph> MakeGlyph(char16_t character) {
  auto glyph = std::make_unique<TextGlyph>();
  glyph->character = character;
  glyph->printable = IsLineEnd(character) ? 0 : 1;
  return glyph;
}

}  // namespace

void CTextTool::CreateTextFont() {
  font.reset();
  if (!style) return;
  FontRequest request;
  request.face.assign(style->face.data(), BoundedLength(style->face));
  request.height = style->size * Supersampling(*style);
  request.weight = style->bold ? 700 : 400;
  request.italic = style->italic != 0;
  font = CFont::Create(request);  // null: the glyphs get no pictures
}

void CTextTool::RenderText(bool all) {
  if (!layer || !style) return;
  // 1. Glyph pictures. The overlay never reads them, so they are made
  // outside its lock.
  const std::int32_t samples = Supersampling(*style);
  for (const auto& glyph : glyphs) {
    if (!glyph->printable || (!all && !glyph->coverage.IsEmpty())) continue;
    glyph->coverage.Free();
    CBgraImage picture;
    if (!font || !UIResources().skins.RenderTextWithFont(*font, {&glyph->character, 1}, 0, picture)) continue;
    if (samples > 1) {
      CBgraImage reduced;
      Rect whole;
      const auto s = static_cast<std::uint32_t>(samples);
      if (!picture.ResampleTo(reduced, std::max(1u, picture.width / s), std::max(1u, picture.height / s), s,
                              whole))
        continue;
      picture.Swap(reduced);
    }
    if (style->underline) {
      const std::uint32_t rows = std::min(picture.height, std::max(1u, picture.height / 16));
      std::memset(picture.Row(picture.height - rows), 255, std::size_t{rows} * picture.width * 4);
    }
    glyph->coverage.Swap(picture);
  }

  // 2. and 3. Layout and alignment, under the overlay's lock: it walks the
  // boxes and the lines.
  std::int32_t width = kSmallestImage;
  std::int32_t height = kSmallestImage;
  {
    auto guard = LockOverlay();
    lines.clear();
    std::int32_t x = 0, lineTop = 0, lineHeight = 0, first = 0;
    const auto count = static_cast<std::int32_t>(glyphs.size());
    for (std::int32_t i = 0; i < count; ++i) {
      TextGlyph& g = *glyphs[static_cast<std::size_t>(i)];
      if (g.printable) {
        const auto w = static_cast<std::int32_t>(g.coverage.width);
        const auto h = static_cast<std::int32_t>(g.coverage.height);
        g.box = {x, lineTop, x + w, lineTop + h};
        x += w;
        lineHeight = std::max(lineHeight, h);
        height = std::max(height, lineTop + lineHeight);
        width = std::max(width, x);
        continue;
      }
      g.box = {x, lineTop, x, lineTop + style->size};
      if (IsLineEnd(g.character)) {
        if (lineHeight == 0) lineHeight = style->size;
        lineTop += lineHeight + lineHeight * style->lineSpacing / 100;
        height = std::max(height, lineTop + style->size);
        lines.push_back({first, i});
        first = i + 1;
        x = 0;
        lineHeight = 0;
      }
    }
    if (count > 0) lines.push_back({std::min(first, count - 1), count - 1});
    if (style->alignment == 1 || style->alignment == 2) {
      for (const TextLine& line : lines) {
        if (line.last <= line.first) continue;
        const std::int32_t d = width + glyphs[static_cast<std::size_t>(line.first)]->box.left -
                               glyphs[static_cast<std::size_t>(line.last)]->box.right;
        const std::int32_t shift = style->alignment == 1 ? d / 2 : d;
        for (std::int32_t i = line.first; i <= line.last; ++i) {
          Rect& box = glyphs[static_cast<std::size_t>(i)]->box;
          box = box.Offset(shift, 0);
        }
      }
    }
  }

  // 4. and 5. The picture.
  CBgraImage16 picture;
  if (!picture.Create(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height))) return;
  std::memset(picture.pixels, 0, picture.byteSize);
  const auto& table = AlphaTable();
  for (const auto& glyph : glyphs) {
    if (!glyph->printable || glyph->coverage.IsEmpty()) continue;
    const Rect& box = glyph->box;
    for (std::int32_t y = std::max(box.top, 0); y < std::min(box.bottom, height); ++y) {
      for (std::int32_t x = std::max(box.left, 0); x < std::min(box.right, width); ++x) {
        const std::uint8_t c = glyph->coverage.At(static_cast<std::uint32_t>(x - box.left),
                                                  static_cast<std::uint32_t>(y - box.top))[1];
        if (c == 0) continue;
        std::uint16_t* p = picture.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
        p[0] = style->colour[0];
        p[1] = style->colour[1];
        p[2] = style->colour[2];
        p[3] = table[c];
      }
    }
  }

  // 6. and 7. The layer takes the picture and the text.
  {
    std::lock_guard layerGuard(layer->m_lock);
    if (layer->m_image.width == picture.width && layer->m_image.height == picture.height &&
        !layer->m_image.IsEmpty()) {
      std::memcpy(layer->m_image.pixels, picture.pixels, picture.byteSize);
    } else {
      layer->m_image.Swap(picture);
    }
    layer->m_text.fill(0);
    for (std::size_t i = 0; i < glyphs.size() && i + 1 < layer->m_text.size(); ++i)
      layer->m_text[i] = glyphs[i]->character;
  }
  if (document) document->m_modified = 1;

  // 8. The text input's place, below the layer.
  if (hostView) {
    const CanvasMapping mapping = hostView->Mapping();
    const CanvasPoint q = mapping.ToCanvasPoint(
        {layer->m_x, layer->m_y + static_cast<std::int32_t>(layer->m_image.height) + kInputBelow});
    const Point window = hostView->PointToWindow({q.x + mapping.content.left, q.y + mapping.content.top});
    if (CRenderWindow* renderWindow = RenderWindowOf(*hostView)) {
      renderWindow->OnFocusMoved(window);
      renderWindow->SetTextInputArea({window.x, window.y - kInputBelow, window.x + 1, window.y});
    }
  }
}

bool CTextTool::InsertCharacter(char16_t character) {
  // Half of a pair would be a glyph of its own: characters outside the BMP
  // are refused whole by the callers that see both halves, and here.
  if (IsSurrogate(character) || glyphs.size() >= kMaxGlyphs) return false;
  changed = 1;
  const auto position =
      static_cast<std::size_t>(std::clamp(caret.load(), 0, static_cast<std::int32_t>(glyphs.size())));
  {
    auto guard = LockOverlay();
    glyphs.insert(glyphs.begin() + static_cast<std::ptrdiff_t>(position), MakeGlyph(character));
  }
  caret = static_cast<std::int32_t>(position) + 1;
  RenderText(false);
  return true;
}

void CTextTool::DeleteCharacter(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(glyphs.size())) return;
  {
    auto guard = LockOverlay();
    glyphs.erase(glyphs.begin() + index);
  }
  RenderText(false);
  changed = 1;
}

void CTextTool::InsertText(std::u16string_view text) {
  bool inserted = false;
  for (std::size_t i = 0; i < text.size() && glyphs.size() < kMaxLoadedGlyphs; ++i) {
    const char16_t c = text[i];
    if (IsSurrogate(c)) continue;  // both halves of a pair are dropped
    if (c <= 31 && c != kLf) continue;
    const auto position =
        static_cast<std::size_t>(std::clamp(caret.load(), 0, static_cast<std::int32_t>(glyphs.size())));
    {
      auto guard = LockOverlay();
      glyphs.insert(glyphs.begin() + static_cast<std::ptrdiff_t>(position), MakeGlyph(c));
    }
    caret = static_cast<std::int32_t>(position) + 1;
    inserted = true;
  }
  if (inserted) changed = 1;
  RenderText(false);
}

void CTextTool::PasteText() {
  std::vector<std::uint8_t> bytes;
  if (!ReadClipboardBytes(ClipboardFormat::Text, bytes)) return;
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  InsertText(FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<std::size_t>(end - bytes.begin()))));
}

void CTextTool::LoadGlyphsFromLayer() {
  if (!layer) return;
  {
    auto guard = LockOverlay();
    glyphs.clear();
    lines.clear();
    for (std::size_t i = 0; i < layer->m_text.size() && layer->m_text[i] != 0; ++i) {
      if (glyphs.size() >= kMaxLoadedGlyphs) break;
      const char16_t c = layer->m_text[i];
      if (IsSurrogate(c) || (c <= 31 && !IsLineEnd(c))) continue;
      glyphs.push_back(MakeGlyph(c));
    }
  }
  style = &layer->m_style;
  caret = static_cast<std::int32_t>(glyphs.size());
  CreateTextFont();
  RenderText(true);
}

void CTextTool::MoveCaret(std::uint32_t key) {
  const auto count = static_cast<std::int32_t>(glyphs.size());
  switch (key) {
    case 35:
      caret = count;
      break;
    case 36:
      caret = 0;
      break;
    case 37:
      if (caret > 0) --caret;
      break;
    case 39:
      if (caret < count) ++caret;
      break;
    case 38:
    case 40: {
      const auto it = std::find_if(lines.begin(), lines.end(), [at = caret.load()](const TextLine& l) {
        return l.first <= at && at <= l.last;
      });
      if (it == lines.end()) break;
      const std::int32_t offset = caret - it->first;
      if (key == 38 && it == lines.begin()) break;
      if (key == 40 && it + 1 == lines.end()) break;
      const TextLine& target = key == 38 ? *(it - 1) : *(it + 1);
      caret = std::min(target.first + offset, target.last);
      break;
    }
    default:
      break;
  }
}

void CTextTool::SetCaretFromPoint(Point documentPoint) {
  if (glyphs.empty() || lines.empty() || !layer) return;
  const std::int32_t dy = documentPoint.y - layer->m_y;
  const std::int32_t dx = documentPoint.x - layer->m_x;
  std::size_t chosen = lines.size() - 1;
  if (dy < 1) {
    chosen = 0;
  } else {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Rect& firstBox = glyphs[static_cast<std::size_t>(lines[i].first)]->box;
      const std::int32_t top = firstBox.top;
      std::int32_t bottom = i + 1 < lines.size()
                                ? glyphs[static_cast<std::size_t>(lines[i + 1].first)]->box.top
                                : firstBox.bottom;
      if (bottom == top) bottom += style ? style->size : 0;
      if (dy >= top && dy < bottom) {
        chosen = i;
        break;
      }
    }
  }
  const TextLine& line = lines[chosen];
  caret = dx < 0 ? line.first : line.last;
  for (std::int32_t i = line.first; i < line.last; ++i) {
    const Rect& box = glyphs[static_cast<std::size_t>(i)]->box;
    if (box.left - 5 <= dx && dx <= box.right - 5) {
      caret = i;
      break;
    }
  }
  Redraw();
}

void CTextTool::ClearGlyphs() {
  auto guard = LockOverlay();
  glyphs.clear();
  lines.clear();
  font.reset();
  caret = 0;
}

std::u16string CTextTool::GlyphText() const {
  std::u16string text;
  for (const auto& glyph : glyphs) text.push_back(glyph->character);
  return text;
}
