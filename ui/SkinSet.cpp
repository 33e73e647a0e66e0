#include "ui/SkinSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/Utf16.h"
#include "ui/UITheme.h"

namespace {

// Texts this long or longer are cut (the renderer's line buffer).
constexpr std::size_t kMaxTextLength = 1023;
// Below this limit a too-wide text is not shortened letter by letter.
constexpr std::int32_t kMinShortenLimit = 32;
// Sizes above this are retried once at kRetrySize before shortening.
constexpr std::int32_t kRetryAbove = 14;
constexpr std::int32_t kRetrySize = 12;
// A measured side this large counts as failed.
constexpr std::int64_t kMeasureOverflow = 65536;
// The cached font's face is kept in 32 characters.
constexpr std::size_t kFaceLength = 32;
// Wrapped text: input cut, longest piece.
constexpr std::size_t kMaxWrappedText = 4096;
constexpr std::size_t kMaxPiece = 255;
// Ellipses of absurd size are joined from at most this many points.
constexpr std::int64_t kMaxEllipsePoints = 1 << 16;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

std::u16string CutText(std::u16string_view text) {
  if (text.size() < kMaxTextLength) return std::u16string(text);
  std::size_t keep = kMaxTextLength - 2;
  if (IsHighSurrogate(text[keep - 1])) --keep;
  return std::u16string(text.substr(0, keep)) + u"..";
}

// Where a wrapped line may break: blanks and controls, most punctuation and
// everything past U+0200; letters, digits and the punctuation that sits in
// words ("!" to "9") do not break.
bool IsBreakCharacter(char16_t c) {
  return c < 33 || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126) || c > 512;
}

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

}  // namespace

std::u16string CSkinSet::ResolveEscapes(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) break;
    switch (text[i]) {
      case u'n':
        out.push_back(u'\n');
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u'\\':
        out.push_back(u'\\');
        break;
      default:
        out.push_back(u' ');
        break;
    }
  }
  return out;
}

bool CSkinSet::Load(const CUITheme& theme) {
  std::lock_guard guard(m_lock);
  m_skinFolder = theme.skinFolder;
  const std::filesystem::path& basic = theme.basicFolder;
  if (!frameImage.LoadFile(basic / "frame.png") || !buttonImage.LoadFile(basic / "btn.png") ||
      !roundFrameImage.LoadFile(basic / "roundframe.png") ||
      !tabTitleImage.LoadFile(basic / "tabtitlebk.png")) {
    return false;
  }
  const std::uint32_t accent = theme.colors[kThemeAccent];
  for (std::uint32_t i = 0; i < tabTitleImage.pixelCount; ++i) {
    std::uint8_t* p = tabTitleImage.pixels + 4 * std::size_t{i};
    p[0] = static_cast<std::uint8_t>(accent);
    p[1] = static_cast<std::uint8_t>(accent >> 8);
    p[2] = static_cast<std::uint8_t>(accent >> 16);
  }
  if (!digits.LoadStrip(basic / "digi.png", 20) || !smallDigits.LoadStrip(basic / "smalldigi.png", 5) ||
      !scrollbarImage.LoadFile(basic / "scrollbar.png")) {
    return false;
  }
  if (!icons.LoadStrip(basic / "checkbox.png", 20) || !icons.AppendStrip(basic / "expand.png", 16) ||
      !icons.AppendStrip(basic / "ratio.png", 20) || !icons.AppendStrip(basic / "indicator.png", 12) ||
      !icons.AppendStrip(basic / "menuicon.png", 16) || !icons.AppendStrip(basic / "mpanel.png", 40)) {
    return false;
  }
  return EnsureScratch();
}

std::filesystem::path CSkinSet::SkinFilePath(std::u16string_view fileName) const {
  return m_skinFolder / PathFromUtf16(fileName);
}

bool CSkinSet::EnsureScratch() {
  if (!m_scratch.empty()) return true;
  try {
    m_scratch.assign(std::size_t{kScratchWidth} * kScratchHeight, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool CSkinSet::EnsureFont(std::u16string_view face, std::int32_t size) {
  const std::u16string_view kept = face.substr(0, kFaceLength - 1);
  if (m_font && m_fontSize == size && m_fontFace == kept) return true;
  m_font = CFont::Create(FontRequest{std::u16string(kept), size, 400, false});
  if (!m_font) {
    m_fontSize = 0;
    m_fontFace.clear();
    return false;
  }
  m_fontFace = kept;
  m_fontSize = size;
  return true;
}

std::int32_t CSkinSet::Measure(const CFont& font, std::u16string_view text) const {
  return font.MeasureText(text).width;
}

std::int32_t CSkinSet::Shorten(const CFont& font, std::u16string& text, std::int32_t limit) const {
  if (limit < kMinShortenLimit) {
    text = u"..";
    return Measure(font, text);
  }
  // The longest prefix of n characters (n from length - 2 down to 1) whose
  // "prefix.." is narrower than the limit. Widths grow with n (advances are
  // never negative), so a bisection finds the same n as trying each in turn.
  auto candidate = [&](std::size_t n) { return text.substr(0, n) + u".."; };
  std::size_t low = 1;
  std::size_t high = text.size() >= 3 ? text.size() - 2 : 0;
  std::size_t best = 0;
  while (low <= high) {
    const std::size_t n = low + (high - low) / 2;
    if (Measure(font, candidate(n)) < limit) {
      best = n;
      low = n + 1;
    } else {
      high = n - 1;
    }
  }
  while (best > 0 && IsHighSurrogate(text[best - 1])) --best;  // never split a pair
  text = best > 0 ? candidate(best) : std::u16string(u" ");
  return Measure(font, text);
}

bool CSkinSet::CopyRendered(const CFont& font, std::u16string_view text, std::int64_t width,
                            std::int64_t height, CBgraImage& image) {
  const std::int32_t w = static_cast<std::int32_t>(std::clamp<std::int64_t>(width, 0, kScratchWidth));
  const std::int32_t h = static_cast<std::int32_t>(std::clamp<std::int64_t>(height, 0, kScratchHeight));
  if (!EnsureScratch()) return false;
  for (std::int32_t y = 0; y < h; ++y)
    std::memset(&m_scratch[std::size_t(y) * kScratchWidth], 0, std::size_t(w));
  font.DrawText(text, m_scratch, w, h, kScratchWidth);
  if (!image.Create(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h))) return false;
  std::memset(image.pixels, 0, image.byteSize);
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint8_t* coverage = &m_scratch[std::size_t(y) * kScratchWidth];
    std::uint8_t* out = image.Row(static_cast<std::uint32_t>(y));
    for (std::int32_t x = 0; x < w; ++x) std::memset(out + 4 * x, coverage[x], 4);
  }
  return true;
}

bool CSkinSet::RenderText(std::u16string_view text, CBgraImage& image, std::u16string_view face,
                          std::int32_t size, std::int32_t maxWidth, std::int32_t* truncated) {
  if (truncated) *truncated = 0;
  if (text.empty()) {
    const std::int32_t height = std::clamp(size, 1, kScratchHeight);
    if (!image.Create(1, static_cast<std::uint32_t>(height))) return false;
    std::memset(image.pixels, 0, image.byteSize);
    return true;
  }
  const std::int32_t fontSize = size == 0 ? kDefaultSize : size;
  if (!EnsureFont(face.empty() ? kDefaultFace : face, fontSize)) return false;
  const CFont& font = *m_font;

  std::u16string line = CutText(text);
  const std::int32_t limit = (maxWidth <= 0 || maxWidth > kScratchWidth) ? kScratchWidth : maxWidth;
  const Size extent = font.MeasureText(line);
  std::int64_t width = extent.width;
  if (width >= limit) {
    if (fontSize > kRetryAbove) return RenderText(text, image, face, kRetrySize, maxWidth, truncated);
    if (truncated) *truncated = 1;
    width = Shorten(font, line, limit);
  }
  return CopyRendered(font, line, width, extent.height, image);
}

bool CSkinSet::RenderTextLocked(std::u16string_view text, CBgraImage& image, std::u16string_view face,
                                std::int32_t size, std::int32_t maxWidth, std::int32_t* truncated) {
  std::lock_guard guard(m_lock);
  return RenderText(text, image, face, size, maxWidth, truncated);
}

bool CSkinSet::RenderTextWithFont(const CFont& font, std::u16string_view text, std::int32_t maxWidth,
                                  CBgraImage& image) {
  std::lock_guard guard(m_lock);
  if (text.empty()) {
    const std::int32_t height = std::clamp(font.Height(), 1, kScratchHeight);
    if (!image.Create(1, static_cast<std::uint32_t>(height))) return false;
    std::memset(image.pixels, 0, image.byteSize);
    return true;
  }
  std::u16string line = CutText(text);
  Size extent = font.MeasureText(line);
  if (extent.width >= kMeasureOverflow || extent.height >= kMeasureOverflow) extent = {32, 32};
  // Synthesised or real, slanted and heavy glyphs reach past their advances.
  std::int64_t width = extent.width;
  if (font.Italic()) width += width / 3;
  if (font.Weight() >= 700) width += static_cast<std::int64_t>(line.size());
  if (maxWidth > 0) {
    const std::int32_t limit = std::min(maxWidth, kScratchWidth);
    if (width >= limit) width = Shorten(font, line, limit);
  }
  return CopyRendered(font, line, width, extent.height, image);
}

bool CSkinSet::RenderWrappedText(CBgraImage& image, std::u16string_view text, std::int32_t maxWidth,
                                 std::int32_t size) {
  std::lock_guard guard(m_lock);
  auto makeEmpty = [&] {
    if (!image.Create(1, 1)) return false;
    std::memset(image.pixels, 0, image.byteSize);
    return true;
  };
  if (text.empty()) return makeEmpty();
  if (text.size() > kMaxWrappedText) text = text.substr(0, kMaxWrappedText - 1);
  const std::u16string resolved = ResolveEscapes(text);
  const std::int32_t fontSize = size == 0 ? kDefaultSize : size;
  const bool wrap = maxWidth > 0;
  if (wrap && !EnsureFont(kDefaultFace, fontSize)) return false;

  std::vector<CBgraImage> pieces;
  auto renderPiece = [&](std::u16string_view piece) {
    if (!piece.empty() && piece[0] == u' ') piece.remove_prefix(1);
    CBgraImage rendered;
    if (!RenderText(piece, rendered, {}, size, 0)) return false;
    pieces.push_back(std::move(rendered));
    return true;
  };

  std::u16string_view rest = resolved;
  while (!rest.empty()) {
    std::size_t lineEnd = 0;
    while (lineEnd < rest.size() && !IsLineBreak(rest[lineEnd])) ++lineEnd;
    std::u16string_view line = rest.substr(0, lineEnd);
    rest.remove_prefix(lineEnd);
    while (!rest.empty() && IsLineBreak(rest[0])) rest.remove_prefix(1);

    for (; !line.empty(); line.remove_prefix(std::min(line.size(), kMaxTextLength))) {
      const std::u16string_view chunk = line.substr(0, kMaxTextLength);
      if (!wrap) {
        if (!renderPiece(chunk)) return false;
        continue;
      }
      std::size_t start = 0;
      while (start < chunk.size()) {
        // A piece rendered at the retry size may have replaced the font.
        if (!EnsureFont(kDefaultFace, fontSize)) return false;
        // Grow the piece one character at a time; a break counts only past
        // the piece's first character, so every piece makes progress.
        std::size_t end = chunk.size();
        std::size_t lastBreak = 0;
        for (std::size_t e = start + 1; e <= chunk.size(); ++e) {
          if (e - 1 > start && IsBreakCharacter(chunk[e - 1])) lastBreak = e - 1;
          if (e - start > kMaxPiece) {
            end = start + kMaxPiece;
            break;
          }
          if (e - start >= 3 && Measure(*m_font, chunk.substr(start, e - start)) >= maxWidth) {
            end = lastBreak > start ? lastBreak : std::max(e - 1, start + 1);
            break;
          }
          // A hyphen that fits ends its line: "Multi-" above "photo".
          if (e - 1 > start && e < chunk.size() && chunk[e - 1] == u'-') lastBreak = e;
        }
        if (!renderPiece(chunk.substr(start, end - start))) return false;
        start = end;
      }
    }
  }
  if (pieces.empty()) return makeEmpty();

  std::uint32_t width = 1;
  std::uint64_t height = 0;
  for (const CBgraImage& piece : pieces) {
    width = std::max(width, piece.width);
    height += piece.height;
  }
  if (height > UINT32_MAX || !image.Create(width, static_cast<std::uint32_t>(height))) return false;
  std::memset(image.pixels, 0, image.byteSize);
  std::uint32_t y = 0;
  for (const CBgraImage& piece : pieces) {
    for (std::uint32_t row = 0; row < piece.height; ++row, ++y) {
      std::memcpy(image.Row(y), piece.Row(row), std::size_t{piece.width} * 4);
    }
  }
  return true;
}

void CSkinSet::DrawLineTo(CBgraImage& target, Point point, std::uint32_t color, std::int32_t widthTenths,
                          std::int32_t dashMode, std::int32_t alpha) {
  if (point == penPoint) return;
  const Point from = penPoint;
  penPoint = point;
  if (target.IsEmpty()) return;
  alpha = std::clamp(alpha, 0, 255);
  const double width = std::max(widthTenths, 0) / 10.0;
  const double half = width / 2.0;
  const std::int64_t margin = static_cast<std::int64_t>((width + 1.0) / 2.0);

  const std::int64_t boxLeft = std::min(from.x, point.x), boxRight = std::max(from.x, point.x);
  const std::int64_t boxTop = std::min(from.y, point.y), boxBottom = std::max(from.y, point.y);
  const double dx = double(point.x) - from.x;
  const double dy = double(point.y) - from.y;
  const double length = std::hypot(dx, dy);
  const std::int64_t x0 = std::max<std::int64_t>(boxLeft - margin, 0);
  const std::int64_t x1 = std::min<std::int64_t>(boxRight + margin, std::int64_t{target.width} - 1);
  const std::int64_t y0 = std::max<std::int64_t>(boxTop - margin, 0);
  const std::int64_t y1 = std::min<std::int64_t>(boxBottom + margin, std::int64_t{target.height} - 1);
  const std::uint8_t black[3] = {0, 0, 0};
  const std::uint8_t colour[3] = {static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 8),
                                  static_cast<std::uint8_t>(color >> 16)};

  for (std::int64_t y = y0; y <= y1; ++y) {
    for (std::int64_t x = x0; x <= x1; ++x) {
      const double v = std::abs(dy * (double(x) - from.x) - dx * (double(y) - from.y)) / length;
      if (v > half + 0.5) continue;
      const std::int32_t falloff = static_cast<std::int32_t>(255.0 * (v - half));
      std::int32_t k = falloff >= 129 ? 0 : std::min(255, 128 - falloff);
      const bool outside = x < boxLeft || x > boxRight || y < boxTop || y > boxBottom;
      // Trim the ends: past the start above-left, past the end below-right,
      // and the full-strength core outside the segment's box.
      if ((x < boxLeft && y < boxTop) || (x > boxRight && y > boxBottom) || (k == 255 && outside)) k = 0;
      if (k == 0) continue;
      const std::uint8_t* paint = colour;
      if (dashMode == 1) {
        const double s = std::hypot(double(x) - from.x, double(y) - from.y);
        if (static_cast<std::int64_t>(0.5 + s / 4.0) % 2 == 1) paint = black;
      }
      const std::int32_t d = k * alpha / 255;
      std::uint8_t* p = target.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
      for (int i = 0; i < 3; ++i) p[i] = static_cast<std::uint8_t>(p[i] + ((d * (paint[i] - p[i])) >> 8));
      p[3] = static_cast<std::uint8_t>(p[3] + d * (255 - p[3]) / 256);
    }
  }
}

void CSkinSet::DrawRectLines(CBgraImage& target, const Rect& rect, std::uint32_t color,
                             std::int32_t widthTenths, std::int32_t dashMode) {
  penPoint = {rect.left, rect.top};
  DrawLineTo(target, {rect.right, rect.top}, color, widthTenths, dashMode, 255);
  DrawLineTo(target, {rect.right, rect.bottom}, color, widthTenths, dashMode, 255);
  DrawLineTo(target, {rect.left, rect.bottom}, color, widthTenths, dashMode, 255);
  DrawLineTo(target, {rect.left, rect.top}, color, widthTenths, dashMode, 255);
}

void CSkinSet::DrawEllipse(CBgraImage& target, const Rect& rect, std::uint32_t color) {
  const std::int64_t left = std::min(rect.left, rect.right), right = std::max(rect.left, rect.right);
  const std::int64_t top = std::min(rect.top, rect.bottom), bottom = std::max(rect.top, rect.bottom);
  if (bottom == top) return;
  const double width = double(right - left), height = double(bottom - top);
  const std::int64_t n = std::min<std::int64_t>((right - left) + (bottom - top) + 4, kMaxEllipsePoints);
  for (std::int64_t i = 0; i <= n; ++i) {
    const double angle = double(i) * 2.0 * 3.1415926535 / double(n);
    const Point point{static_cast<std::int32_t>((std::cos(angle) + 1.0) * width / 2.0 + double(left) + 0.5),
                      static_cast<std::int32_t>((std::sin(angle) + 1.0) * height / 2.0 + double(top) + 0.5)};
    if (i == 0) {
      penPoint = point;
    } else {
      DrawLineTo(target, point, color, 10, 0, 255);
    }
  }
}
