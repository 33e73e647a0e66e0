#pragma once
// CSkinSet: the skin pictures many widgets share, the text renderer and the
// anti-aliased line drawing.
//
// Text is rendered into 8-bit coverage pictures (B = G = R = A = coverage):
// BlendImage shows such a picture as white text, BlendColorMask in any
// colour. All rendering goes through one scratch buffer and one cached
// font, so the skin set is also the text lock: RenderText expects its
// caller to hold it (std::lock_guard on the skin set); RenderTextLocked,
// RenderTextWithFont and RenderWrappedText take it themselves. Text is
// rendered on the UI thread and on the render thread.
//
// The pictures are read from the theme's basic folder once, at start-up, and
// only read afterwards. penPoint is shared state of the line drawing: one
// thread draws lines at a time (a sprite's drawing code).

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "image/BgraImage.h"
#include "image/ImageArray.h"
#include "platform/Font.h"
#include "platform/Rect.h"

class CUITheme;

// Cells of CSkinSet::icons that widgets address by position: the cells of
// "checkbox.png" (20 pixels wide), "expand.png" (16), "ratio.png" (20),
// "indicator.png" (12), "menuicon.png" (16) and "mpanel.png" (40), in this
// order.
enum SkinIcon : std::size_t {
  kIconCheckBox = 0,  // 4 cells: (enabled ? 0 : 2) + (checked ? 1 : 0)
  kIconTreeCollapsed = 4,
  kIconTreeExpanded = 5,  // also the marker of buttons that open a menu
  kIconRadio = 6,         // 4 cells, as the check box
  kIconCornerHandle = 10,
  kIconEdgeHandle = 11,
  kIconColorMarker = 11,  // the colour picker's marks on the wheel and the bar
  kIconHueMarker = 12,
  kIconGuideHandle = 13,
  kIconCurvePoint = 14,
  kIconCurvePointActive = 15,
  kIconSubMenuArrow = 16,
  kIconMenuCheck = 17,  // a coverage picture, drawn through BlendColorMask
  kIconMenuBullet = 18,
  kIconPanelCell = 19,  // the background of icon-only panel items
  kIconCount = 20,
};

// A skin picture that the start-up loads from the basic folder, and the
// cells it is cut into (0: used whole). The cell indices above rely on the
// exact cell counts.
struct SkinPicture {
  const char* file;
  std::int32_t cellWidth;
  std::int32_t cells;
};

class CSkinSet {
public:
  // The scratch buffer every text is drawn into: its width is the widest
  // text picture and its height the highest.
  static constexpr std::int32_t kScratchWidth = 1024;
  static constexpr std::int32_t kScratchHeight = 256;
  static constexpr std::u16string_view kDefaultFace = u"Tahoma";
  static constexpr std::int32_t kDefaultSize = 14;
  static constexpr std::array<SkinPicture, 13> kStartupPictures = {{
      {"frame.png", 0, 0},
      {"btn.png", 0, 0},
      {"roundframe.png", 0, 0},
      {"tabtitlebk.png", 0, 0},
      {"digi.png", 20, 11},      // digits 0 to 9, then "+"
      {"smalldigi.png", 5, 11},  // the same, small
      {"scrollbar.png", 0, 0},
      {"checkbox.png", 20, 4},
      {"expand.png", 16, 2},
      {"ratio.png", 20, 4},
      {"indicator.png", 12, 6},
      {"menuicon.png", 16, 3},
      {"mpanel.png", 40, 1},
  }};

  CSkinSet() = default;
  CSkinSet(const CSkinSet&) = delete;
  CSkinSet& operator=(const CSkinSet&) = delete;

  // The text lock.
  void lock() { m_lock.lock(); }
  void unlock() { m_lock.unlock(); }
  [[nodiscard]] bool try_lock() { return m_lock.try_lock(); }

  // Loads the shared pictures from the theme's basic folder (the tab title
  // picture takes the accent colour, keeping its alpha) and makes the
  // scratch buffer; false as soon as one step fails.
  [[nodiscard]] bool Load(const CUITheme& theme);
  // The theme's skin folder followed by the file name.
  std::filesystem::path SkinFilePath(std::u16string_view fileName) const;

  // Renders one line of text with the face (empty: "Tahoma", which the font
  // matching maps to the interface face) at the cell height size (0: 14).
  // maxWidth limits the width (0 or less: only the scratch width, 1024): a
  // text that reaches the limit is rendered again at size 12 when its size
  // is above 14, else shortened to its longest prefix followed by ".." that
  // is narrower than the limit (a single blank when none is; ".." for a
  // limit below 32), and truncated, when given, is set to 1 (else 0). Texts
  // of 1023 characters or more are cut to 1021 and "..". An empty text gives
  // a transparent picture 1 pixel wide and size pixels high (at most 256).
  // False when the picture cannot be allocated or no font can be had. The
  // caller holds the text lock.
  [[nodiscard]] bool RenderText(std::u16string_view text, CBgraImage& image, std::u16string_view face = {},
                                std::int32_t size = 0, std::int32_t maxWidth = 0,
                                std::int32_t* truncated = nullptr);
  [[nodiscard]] bool RenderTextLocked(std::u16string_view text, CBgraImage& image,
                                      std::u16string_view face = {}, std::int32_t size = 0,
                                      std::int32_t maxWidth = 0, std::int32_t* truncated = nullptr);
  // As RenderText with a caller's font (text layers): no retry at a smaller
  // size, no limit but the scratch for maxWidth 0 or less; the picture is a
  // third wider for an italic font and one pixel per character wider for a
  // bold one, except after shortening. A measured side of 65536 or more
  // counts as 32 x 32.
  [[nodiscard]] bool RenderTextWithFont(const CFont& font, std::u16string_view text, std::int32_t maxWidth,
                                        CBgraImage& image);
  // Several lines stacked top to bottom, left-aligned, as wide as the widest.
  // "\n", "\r" and "\\" in the text stand for a line feed, a carriage return
  // and a backslash, a backslash before any other character for a blank; a
  // backslash at the very end ends the text. Lines break at CR and LF (a run
  // counts once); with maxWidth above 0 each line is broken further into
  // pieces narrower than maxWidth at the last break character (blanks,
  // controls, most punctuation, and every character above U+0200, so CJK
  // text breaks anywhere), after the last hyphen that fits, or, without
  // either, one character before the limit,
  // and a piece never holds more than 255 characters. Texts over 4096
  // characters are cut to 4095. An empty text gives 1 x 1 transparent.
  [[nodiscard]] bool RenderWrappedText(CBgraImage& image, std::u16string_view text, std::int32_t maxWidth,
                                       std::int32_t size);
  // The escapes of RenderWrappedText resolved: "\n", "\r" and "\\" give a
  // line feed, a carriage return and a backslash, a backslash before any
  // other character a blank; a backslash at the very end is dropped.
  static std::u16string ResolveEscapes(std::u16string_view text);

  // An anti-aliased line from penPoint to point, widthTenths / 10 pixels
  // wide, blended with the strength alpha (0..255); dashMode 1 draws every
  // other 4 pixels (measured from penPoint) in opaque black. penPoint then
  // becomes point. Equal points draw nothing and leave the pen.
  void DrawLineTo(CBgraImage& target, Point point, std::uint32_t color, std::int32_t widthTenths,
                  std::int32_t dashMode, std::int32_t alpha);
  // The rectangle's four sides through its corners (left, top), (right,
  // top), (right, bottom), (left, bottom).
  void DrawRectLines(CBgraImage& target, const Rect& rect, std::uint32_t color, std::int32_t widthTenths,
                     std::int32_t dashMode);
  // An ellipse in the rectangle (1 pixel wide), joined from w + h + 4
  // points of its outline; nothing for a rectangle of height 0.
  void DrawEllipse(CBgraImage& target, const Rect& rect, std::uint32_t color);

  Point penPoint;
  CBgraImage frameImage;       // "frame.png"
  CBgraImage buttonImage;      // "btn.png"
  CBgraImage roundFrameImage;  // "roundframe.png"
  CBgraImage tabTitleImage;    // "tabtitlebk.png" in the accent colour
  CImageArray digits;          // "digi.png", 20-pixel cells
  CImageArray smallDigits;     // "smalldigi.png", 5-pixel cells
  CImageArray icons;           // see SkinIcon
  CBgraImage scrollbarImage;   // "scrollbar.png"

private:
  // Caller holds the lock.
  [[nodiscard]] bool EnsureFont(std::u16string_view face, std::int32_t size);
  [[nodiscard]] bool EnsureScratch();
  // Draws the text with the font into the scratch buffer and copies width x
  // height of it into image.
  [[nodiscard]] bool CopyRendered(const CFont& font, std::u16string_view text, std::int64_t width,
                                  std::int64_t height, CBgraImage& image);
  std::int32_t Measure(const CFont& font, std::u16string_view text) const;
  // Shortens text that reaches the limit (see RenderText); returns its width.
  std::int32_t Shorten(const CFont& font, std::u16string& text, std::int32_t limit) const;

  std::recursive_mutex m_lock;
  std::filesystem::path m_skinFolder;
  std::u16string m_fontFace;
  std::int32_t m_fontSize = 0;
  std::unique_ptr<CFont> m_font;
  std::vector<std::uint8_t> m_scratch;  // kScratchWidth x kScratchHeight coverage
};
