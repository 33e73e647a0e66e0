#include "ui/widgets/STip.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/SkinDrawing.h"
#include "ui/UIResources.h"

namespace {

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// The wrapping renderer resolves escapes itself; a line whose escapes are
// already resolved keeps its backslashes only when they are doubled.
std::u16string DoubleBackslashes(std::u16string_view line) {
  std::u16string out;
  out.reserve(line.size());
  for (const char16_t c : line) {
    out.push_back(c);
    if (c == u'\\') out.push_back(c);
  }
  return out;
}

}  // namespace

bool CSTip::OnSpriteCreate() {
  const std::filesystem::path& basic = UIResources().theme.basicFolder;
  if (!balloonImage.LoadFile(basic / "tip.png") || !pointerBalloonImage.LoadFile(basic / "tippoint.png")) {
    return false;
  }
  kind = 0;  // never hit: it hides no sprite from the mouse
  return true;
}

std::u16string CSTip::UnescapeText(std::u16string_view raw) {
  return CSkinSet::ResolveEscapes(TruncatedText(raw, kTextField));
}

std::vector<std::u16string> CSTip::SplitLines(std::u16string_view unescaped) {
  std::vector<std::u16string> lines;
  std::size_t pos = 0;
  while (pos < unescaped.size()) {
    if (unescaped[pos] == u'\r') {
      lines.emplace_back();
    } else if (unescaped[pos] != u'\n') {
      std::size_t end = pos;
      while (end < unescaped.size() && !IsLineBreak(unescaped[end])) ++end;
      lines.emplace_back(unescaped.substr(pos, std::min(end - pos, kTextField - 1)));
      pos = end;
    }
    while (pos < unescaped.size() && IsLineBreak(unescaped[pos])) ++pos;
  }
  return lines;
}

bool CSTip::SetText(std::u16string_view newText) {
  if (newText.empty()) return false;
  const std::u16string stored = TruncatedText(newText, kTextField);
  {
    std::lock_guard guard(lock);
    if (stored == text && !textImage.IsEmpty()) return true;
  }
  {
    // The surface goes under the window's lock, as the render thread takes
    // it before the tip's.
    CRenderWindow* window = RenderWindowOf(*this);
    std::unique_lock<std::recursive_mutex> windowGuard;
    if (window) windowGuard = std::unique_lock(window->windowLock);
    std::lock_guard guard(lock);
    surface.Free();
    textImage.Free();
    text = stored;
  }

  const std::vector<std::u16string> lines = SplitLines(UnescapeText(stored));
  std::vector<CBgraImage> pictures;
  CSkinSet& skins = UIResources().skins;
  if (lines.size() == 1) {
    CBgraImage picture;
    if (skins.RenderWrappedText(picture, DoubleBackslashes(lines[0]), kWrapWidth, 0))
      pictures.push_back(std::move(picture));
  } else {
    std::lock_guard textGuard(skins);
    for (const std::u16string& line : lines) {
      CBgraImage picture;
      if (!skins.RenderText(line, picture)) break;  // the lines so far stay
      pictures.push_back(std::move(picture));
    }
  }

  std::uint32_t width = 0;
  std::uint64_t height = 0;
  for (const CBgraImage& picture : pictures) {
    width = std::max(width, picture.width);
    height += picture.height;
  }
  CBgraImage stacked;
  if (height > UINT32_MAX || !stacked.Create(width, static_cast<std::uint32_t>(height))) return false;
  std::memset(stacked.pixels, 0, stacked.byteSize);
  std::uint32_t y = 0;
  for (const CBgraImage& picture : pictures) {
    for (std::uint32_t row = 0; row < picture.height; ++row, ++y)
      std::memcpy(stacked.Row(y), picture.Row(row), std::size_t{picture.width} * 4);
  }
  {
    std::lock_guard guard(lock);
    textImage = std::move(stacked);
  }
  dirty = 1;
  return true;
}

Size CSTip::TextSize() const {
  std::lock_guard guard(lock);
  if (textImage.IsEmpty()) return {};
  return {static_cast<std::int32_t>(textImage.width), static_cast<std::int32_t>(textImage.height)};
}

bool CSTip::Draw(std::uint32_t) {
  if (!dirty || textImage.IsEmpty() || surface.IsEmpty()) return false;
  if (!StretchSkinFrame(surface, balloonImage, 0, 0)) return false;
  const auto w = static_cast<std::int32_t>(surface.width);
  const auto h = static_cast<std::int32_t>(surface.height);
  if (opaque) {
    for (std::int32_t y = 2; y < h - 2; ++y) {
      for (std::int32_t x = 2; x < w - 2; ++x)
        surface.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y))[3] = 255;
    }
  }
  BlendColorMask(surface, textImage, (w - static_cast<std::int32_t>(textImage.width)) / 2,
                 (h - static_cast<std::int32_t>(textImage.height)) / 2, UIResources().theme.colors[4], {});
  InvalidateArea({}, 1);
  return true;
}
