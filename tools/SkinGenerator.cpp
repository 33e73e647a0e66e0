// Draws Tessera's own skin: every picture the interface loads from the data
// folder's "basic" and "skin" folders, written as PNG files into the two
// folders given on the command line (the second defaults to "skin" beside
// the first). The committed pictures in data/basic and data/skin come from
// here: change the drawing, run
//
//   build/<config>/tools/skin_generator data/basic
//
// and commit the result.
//
// The look: a calm dark grey interface with one light-blue accent, rounded
// corners and thin borders. Shapes are drawn as signed distance fields, so
// their edges are anti-aliased and the output is the same on every machine.
// Pictures that hold glyphs (digits, menu marks) are coverage pictures:
// B = G = R = A = coverage, so that they can be drawn white or in any colour;
// so is the button background, whose value is the strength of a glow.
//
// The sizes follow how the pictures are used: frames are stretched with
// their borders kept (borders of about a third of the picture), strips are
// cut into cells of fixed widths, and the cell counts fix the positions the
// widgets address.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "image/codecs/CodecImage.h"

namespace {

struct Colour {
  double r, g, b, a = 1.0;
};

constexpr Colour kWindow{38, 40, 44};
constexpr Colour kTitleBand{30, 32, 36};
constexpr Colour kSeparator{46, 49, 54};
constexpr Colour kFrameBorder{62, 65, 71};
constexpr Colour kPanel{46, 49, 54};
constexpr Colour kPanelBorder{64, 68, 75};
constexpr Colour kCard{52, 55, 60};
constexpr Colour kCardBorder{70, 74, 81};
constexpr Colour kWell{34, 36, 40};
constexpr Colour kControlBorder{150, 155, 162};
constexpr Colour kDisabledBorder{88, 92, 98};
constexpr Colour kDisabledFill{92, 97, 104};
constexpr Colour kGlyph{190, 194, 200};
constexpr Colour kLight{236, 238, 240};
constexpr Colour kDark{24, 27, 32};
constexpr Colour kAccent{120, 200, 250};
constexpr Colour kWhite{255, 255, 255};

Colour WithAlpha(Colour c, double a) {
  c.a = a;
  return c;
}

struct Vec {
  double x, y;
};

using Field = std::function<double(Vec)>;  // signed distance in pixels, negative inside

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

Field RoundRect(double left, double top, double right, double bottom, double radius) {
  return [=](Vec p) {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
    const double qx = std::abs(p.x - cx) - hx, qy = std::abs(p.y - cy) - hy;
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
  };
}

Field Box(double left, double top, double right, double bottom) {
  return RoundRect(left, top, right, bottom, 0.0);
}

Field Circle(double cx, double cy, double radius) {
  return [=](Vec p) { return Length(p.x - cx, p.y - cy) - radius; };
}

Field Ring(double cx, double cy, double radius, double width) {
  return [=](Vec p) { return std::abs(Length(p.x - cx, p.y - cy) - radius) - width / 2; };
}

double SegmentDistance(Vec p, Vec a, Vec b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double lengthSquared = dx * dx + dy * dy;
  double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return Length(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// A stroke with round caps and joins along a polyline.
Field Stroke(std::vector<Vec> points, double width) {
  return [points = std::move(points), width](Vec p) {
    double best = 1e9;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
      best = std::min(best, SegmentDistance(p, points[i], points[i + 1]));
    if (points.size() == 1) best = Length(p.x - points[0].x, p.y - points[0].y);
    return best - width / 2;
  };
}

// A convex polygon given clockwise (y down); the distance is exact enough
// for anti-aliasing near the edges.
Field Polygon(std::vector<Vec> points) {
  return [points = std::move(points)](Vec p) {
    double inside = -1e9;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const Vec a = points[i], b = points[(i + 1) % points.size()];
      const double ex = b.x - a.x, ey = b.y - a.y;
      const double length = Length(ex, ey);
      inside = std::max(inside, ((p.x - a.x) * ey - (p.y - a.y) * ex) / length);
    }
    return inside;
  };
}

// Points along an elliptic arc; angles in degrees, 0 pointing right and 90
// pointing down.
std::vector<Vec> Arc(double cx, double cy, double rx, double ry, double from, double to, int steps = 24) {
  std::vector<Vec> points;
  for (int i = 0; i <= steps; ++i) {
    const double angle = (from + (to - from) * i / steps) * 3.14159265358979323846 / 180.0;
    points.push_back({cx + rx * std::cos(angle), cy + ry * std::sin(angle)});
  }
  return points;
}

std::vector<Vec> Join(std::vector<Vec> a, const std::vector<Vec>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A picture in premultiplied linear-free (plain sRGB) values, composed
// source-over.
class Canvas {
public:
  Canvas(int width, int height) : m_width(width), m_height(height), m_pixels(std::size_t(width) * height) {}

  int Width() const { return m_width; }
  int Height() const { return m_height; }

  // Paints colour through the field inside the cell [x0, x0 + w) x [y0, y0 + h),
  // the field in cell coordinates.
  void Fill(const Field& field, Colour colour, int x0 = 0, int y0 = 0, int w = -1, int h = -1) {
    if (w < 0) w = m_width - x0;
    if (h < 0) h = m_height - y0;
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) {
        const double coverage = std::clamp(0.5 - field({x - x0 + 0.5, y - y0 + 0.5}), 0.0, 1.0);
        const double a = coverage * colour.a;
        if (a <= 0) continue;
        Pixel& p = m_pixels[std::size_t(y) * m_width + x];
        p.r = colour.r * a + p.r * (1 - a);
        p.g = colour.g * a + p.g * (1 - a);
        p.b = colour.b * a + p.b * (1 - a);
        p.a = a + p.a * (1 - a);
      }
    }
  }

  // Writes the picture as a PNG with alpha; coverage pictures store the
  // alpha in all four bytes.
  [[nodiscard]] bool Save(const std::filesystem::path& path, bool coverage) const {
    CCodecImage image(CodecFormat::Png);
    if (!image.Create(m_width, m_height, 24, CodecFormat::Png) || !image.AlphaCreate()) return false;
    std::uint8_t* alpha = image.GetAlphaPlane();
    for (int y = 0; y < m_height; ++y) {
      const int codecY = m_height - 1 - y;  // codec rows run bottom-up
      std::uint8_t* row = image.GetBits() + std::size_t(codecY) * image.GetRowStride();
      for (int x = 0; x < m_width; ++x) {
        const Pixel& p = m_pixels[std::size_t(y) * m_width + x];
        const auto a = static_cast<std::uint8_t>(std::lround(std::clamp(p.a, 0.0, 1.0) * 255));
        std::uint8_t b = 0, g = 0, r = 0;
        if (coverage) {
          b = g = r = a;
        } else if (p.a > 0) {
          b = static_cast<std::uint8_t>(std::lround(std::clamp(p.b / p.a, 0.0, 255.0)));
          g = static_cast<std::uint8_t>(std::lround(std::clamp(p.g / p.a, 0.0, 255.0)));
          r = static_cast<std::uint8_t>(std::lround(std::clamp(p.r / p.a, 0.0, 255.0)));
        }
        row[3 * x] = b;
        row[3 * x + 1] = g;
        row[3 * x + 2] = r;
        alpha[std::size_t(codecY) * m_width + x] = a;
      }
    }
    if (!image.Save(path, CodecFormat::Png)) {
      std::fprintf(stderr, "skin_generator: cannot write %s\n", path.c_str());
      return false;
    }
    return true;
  }

  // Writes the picture as a JPEG at quality 90, over the colour behind.
  [[nodiscard]] bool SaveJpeg(const std::filesystem::path& path, Colour behind) const {
    CCodecImage image(CodecFormat::Jpeg);
    if (!image.Create(m_width, m_height, 24, CodecFormat::Jpeg)) return false;
    image.attributes.quality = 90;
    for (int y = 0; y < m_height; ++y) {
      std::uint8_t* row = image.GetBits() + std::size_t(m_height - 1 - y) * image.GetRowStride();
      for (int x = 0; x < m_width; ++x) {
        const Pixel& p = m_pixels[std::size_t(y) * m_width + x];
        const double rest = 1 - std::clamp(p.a, 0.0, 1.0);
        const auto channel = [&](double premultiplied, double back) {
          return static_cast<std::uint8_t>(std::lround(std::clamp(premultiplied + back * rest, 0.0, 255.0)));
        };
        row[3 * x] = channel(p.b, behind.b);
        row[3 * x + 1] = channel(p.g, behind.g);
        row[3 * x + 2] = channel(p.r, behind.r);
      }
    }
    if (!image.Save(path, CodecFormat::Jpeg)) {
      std::fprintf(stderr, "skin_generator: cannot write %s\n", path.c_str());
      return false;
    }
    return true;
  }

private:
  struct Pixel {
    double r = 0, g = 0, b = 0, a = 0;
  };
  int m_width;
  int m_height;
  std::vector<Pixel> m_pixels;
};

// A filled shape with a 1-pixel border: the border colour through the whole
// shape, the fill through the shape shrunk by one pixel.
void Bordered(Canvas& canvas, const Field& shape, Colour fill, Colour border, int x0 = 0, int y0 = 0,
              int w = -1, int h = -1) {
  canvas.Fill(shape, border, x0, y0, w, h);
  canvas.Fill([&](Vec p) { return shape(p) + 1.0; }, fill, x0, y0, w, h);
}

// The window frame, 100 x 100: stretched with borders of 32 pixels, so the
// top border is the 32-pixel title band.
Canvas Frame() {
  Canvas c(100, 100);
  c.Fill(Box(0, 0, 100, 100), kWindow);
  c.Fill(Box(0, 0, 100, 31), kTitleBand);
  c.Fill(Box(0, 31, 100, 32), kSeparator);
  c.Fill([](Vec p) { return std::abs(RoundRect(0, 0, 100, 100, 0)(p) + 0.5) - 0.5; }, kFrameBorder);
  return c;
}

// Button background, 24 x 24, a coverage picture: buttons take only its red
// value, as the strength of their glow (the colour runs from theme grey to
// the accent). A brighter rim around a softer face; borders of 7 pixels keep
// the corners down to buttons of about 14 pixels.
Canvas Button() {
  Canvas c(24, 24);
  const Field shape = RoundRect(0, 0, 24, 24, 4.5);
  c.Fill([&](Vec p) { return shape(p) + 1.0; }, WithAlpha(kWhite, 0.72));
  c.Fill([&](Vec p) { return std::abs(shape(p) + 0.5) - 0.5; }, kWhite);
  return c;
}

// Panels, lists, tab frames and edit fields, 30 x 30: borders of 10 pixels.
Canvas RoundFrame() {
  Canvas c(30, 30);
  Bordered(c, RoundRect(0, 0, 30, 30, 6), kPanel, kPanelBorder);
  return c;
}

// The document tab frame under the window's title band, 100 x 100:
// stretched with borders of 32 pixels, so the top border is the 32-pixel
// strip of page titles on the window's own colour, and the pages' panel
// with rounded top corners starts beneath it.
Canvas MainTabFrame() {
  Canvas c(100, 100);
  c.Fill(Box(0, 0, 100, 100), kWindow);
  Bordered(c, RoundRect(0, 32, 100, 108, 6), kPanel, kPanelBorder);
  return c;
}

// The highlight under the current tab title, 30 x 24; only its alpha counts
// (it takes the accent colour): a faint rounded field with a bar beneath.
Canvas TabTitle() {
  Canvas c(30, 24);
  c.Fill(RoundRect(0, 0, 30, 24, 4), WithAlpha(kWhite, 0.18));
  c.Fill(RoundRect(0, 21, 30, 24, 1.5), kWhite);
  return c;
}

// Digits 0 to 9 and "+" as strokes in a unit box, for the 20 x 27 cells.
std::vector<std::vector<Vec>> DigitStrokes(int digit) {
  switch (digit) {
    case 0:
      return {Arc(0.5, 0.5, 0.5, 0.5, 0, 360, 48)};
    case 1:
      return {{{0.22, 0.2}, {0.58, 0.0}, {0.58, 1.0}}};
    case 2:
      return {Join(Arc(0.5, 0.27, 0.46, 0.27, 195, 380, 28), {{0.02, 1.0}, {1.0, 1.0}})};
    case 3:
      return {Join(Arc(0.5, 0.25, 0.42, 0.25, 205, 450, 32), Arc(0.5, 0.74, 0.48, 0.26, 270, 515, 32))};
    case 4:
      return {{{0.72, 1.0}, {0.72, 0.0}, {0.0, 0.7}, {1.0, 0.7}}};
    case 5:
      return {Join({{0.92, 0.0}, {0.16, 0.0}, {0.1, 0.46}}, Arc(0.5, 0.68, 0.47, 0.32, 218, 517, 36))};
    case 6:
      return {Arc(0.5, 0.68, 0.46, 0.32, 0, 360, 40), {{0.74, 0.0}, {0.1, 0.56}}};
    case 7:
      return {{{0.0, 0.0}, {1.0, 0.0}, {0.34, 1.0}}};
    case 8:
      return {Arc(0.5, 0.25, 0.4, 0.25, 0, 360, 36), Arc(0.5, 0.73, 0.48, 0.27, 0, 360, 40)};
    case 9:
      return {Arc(0.5, 0.32, 0.46, 0.32, 0, 360, 40), {{0.9, 0.44}, {0.26, 1.0}}};
    default:
      return {{{0.5, 0.18}, {0.5, 0.82}}, {{0.12, 0.5}, {0.88, 0.5}}};
  }
}

Canvas DigitStrip(int cellWidth, int height, double left, double top, double width, double glyphHeight,
                  double stroke) {
  Canvas c(cellWidth * 11, height);
  for (int digit = 0; digit <= 10; ++digit) {
    for (const auto& unit : DigitStrokes(digit)) {
      std::vector<Vec> points;
      for (Vec v : unit) points.push_back({left + v.x * width, top + v.y * glyphHeight});
      c.Fill(Stroke(points, stroke), kWhite, digit * cellWidth, 0, cellWidth, height);
    }
  }
  return c;
}

// The small digits as 4 x 7 bitmaps in 5-pixel cells.
Canvas SmallDigits() {
  static constexpr std::array<std::array<const char*, 7>, 11> kGlyphs = {{
      {".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."},
      {"..#.", ".##.", "..#.", "..#.", "..#.", "..#.", ".###"},
      {".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"},
      {"###.", "...#", "...#", ".##.", "...#", "...#", "###."},
      {"..#.", ".##.", "#.#.", "#.#.", "####", "..#.", "..#."},
      {"####", "#...", "###.", "...#", "...#", "#..#", ".##."},
      {".##.", "#...", "#...", "###.", "#..#", "#..#", ".##."},
      {"####", "...#", "..#.", "..#.", ".#..", ".#..", ".#.."},
      {".##.", "#..#", "#..#", ".##.", "#..#", "#..#", ".##."},
      {".##.", "#..#", "#..#", ".###", "...#", "...#", ".##."},
      {"....", ".#..", ".#..", "###.", ".#..", ".#..", "...."},
  }};
  Canvas c(55, 7);
  for (int digit = 0; digit < 11; ++digit) {
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 4; ++x) {
        if (kGlyphs[digit][y][x] == '#') c.Fill(Box(x, y, x + 1, y + 1), kWhite, digit * 5, 0, 5, 7);
      }
    }
  }
  return c;
}

// The vertical scroll bar, 17 x 40: 15-pixel arrow areas at both ends kept
// by the stretching, the track between them repeated. The thumb is drawn
// over the track's pixels (2 pixels in from the sides), so the track's shape
// is the thumb's.
Canvas ScrollBar() {
  Canvas c(17, 40);
  c.Fill(RoundRect(1, 1, 16, 14, 3), WithAlpha(kWhite, 0.06));
  c.Fill(RoundRect(1, 26, 16, 39, 3), WithAlpha(kWhite, 0.06));
  c.Fill(Stroke({{5.0, 7.5}, {8.5, 4.0}, {12.0, 7.5}}, 1.5), kGlyph);
  c.Fill(Stroke({{5.0, 32.5}, {8.5, 36.0}, {12.0, 32.5}}, 1.5), kGlyph);
  c.Fill(RoundRect(3, 11, 14, 29, 3), WithAlpha(Colour{70, 74, 81}, 0.85));
  return c;
}

// Check boxes in four 20-pixel cells: enabled unchecked, enabled checked,
// disabled unchecked, disabled checked.
Canvas CheckBoxes() {
  Canvas c(80, 20);
  const Field box = RoundRect(3, 3, 17, 17, 3);
  const Field tick = Stroke({{6.5, 10.3}, {9.0, 12.8}, {13.8, 7.2}}, 2.0);
  Bordered(c, box, kWell, kControlBorder, 0, 0, 20, 20);
  c.Fill(box, kAccent, 20, 0, 20, 20);
  c.Fill(tick, kDark, 20, 0, 20, 20);
  Bordered(c, box, WithAlpha(kWell, 0.6), kDisabledBorder, 40, 0, 20, 20);
  c.Fill(box, kDisabledFill, 60, 0, 20, 20);
  c.Fill(tick, Colour{48, 51, 56}, 60, 0, 20, 20);
  return c;
}

// Radio buttons in the same four states.
Canvas RadioButtons() {
  Canvas c(80, 20);
  const Field disc = Circle(10, 10, 7);
  const Field dot = Circle(10, 10, 3);
  Bordered(c, disc, kWell, kControlBorder, 0, 0, 20, 20);
  c.Fill(disc, kAccent, 20, 0, 20, 20);
  c.Fill(dot, kDark, 20, 0, 20, 20);
  Bordered(c, disc, WithAlpha(kWell, 0.6), kDisabledBorder, 40, 0, 20, 20);
  c.Fill(disc, kDisabledFill, 60, 0, 20, 20);
  c.Fill(dot, Colour{48, 51, 56}, 60, 0, 20, 20);
  return c;
}

// Tree expanders in 16-pixel cells: collapsed (pointing right), expanded
// (pointing down; also the marker of buttons that open a menu).
Canvas Expanders() {
  Canvas c(32, 16);
  c.Fill(Stroke({{6.0, 4.5}, {9.5, 8.0}, {6.0, 11.5}}, 1.6), kGlyph, 0, 0, 16, 16);
  c.Fill(Stroke({{4.5, 6.0}, {8.0, 9.5}, {11.5, 6.0}}, 1.6), kGlyph, 16, 0, 16, 16);
  return c;
}

// Handles and markers in 12-pixel cells. The corner, edge and guide handles
// are placed with their top-left at the point minus (5, 5); the hue marker
// with its top-left at (x - 6, y - 1), so its tip points up at x.
Canvas Indicators() {
  Canvas c(72, 12);
  Bordered(c, Box(1, 1, 10, 10), kLight, kDark, 0, 0, 12, 12);
  Bordered(c, Circle(5.5, 5.5, 4.5), kLight, kDark, 12, 0, 12, 12);
  Bordered(c, Polygon({{6.0, 0.2}, {11.2, 9.6}, {0.8, 9.6}}), kLight, kDark, 24, 0, 12, 12);
  Bordered(c, Circle(5.5, 5.5, 4.5), kAccent, kDark, 36, 0, 12, 12);
  Bordered(c, Circle(5.5, 5.5, 3.5), kLight, kDark, 48, 0, 12, 12);
  c.Fill(Ring(5.5, 5.5, 4.0, 1.4), kLight, 60, 0, 12, 12);
  c.Fill(Circle(5.5, 5.5, 2.2), kAccent, 60, 0, 12, 12);
  return c;
}

// Menu marks in 16-pixel cells, as coverage: the sub-menu arrow, the check
// mark and the bullet of a chosen option.
Canvas MenuMarks() {
  Canvas c(48, 16);
  c.Fill(Stroke({{6.0, 4.0}, {10.0, 8.0}, {6.0, 12.0}}, 1.6), kWhite, 0, 0, 16, 16);
  c.Fill(Stroke({{3.5, 8.5}, {6.5, 11.5}, {12.5, 4.5}}, 1.8), kWhite, 16, 0, 16, 16);
  c.Fill(Circle(8, 8, 3), kWhite, 32, 0, 16, 16);
  return c;
}

// The background of icon-only panel items, 40 x 40, stretched with borders
// of 15 pixels.
Canvas PanelCell() {
  Canvas c(40, 40);
  Bordered(c, RoundRect(0, 0, 40, 40, 6), kCard, kCardBorder);
  return c;
}

// Four rounded tiles in shades of the accent, two by two, the first at
// (left, top), each tile wide, step apart.
void Mosaic(Canvas& c, double left, double top, double tile, double step, double radius) {
  const Colour shades[4] = {kAccent, Colour{86, 160, 214}, Colour{168, 222, 252}, Colour{64, 128, 184}};
  for (int i = 0; i < 4; ++i) {
    const double x = left + (i % 2) * step, y = top + (i / 2) * step;
    c.Fill(RoundRect(x, y, x + tile, y + tile, radius), shades[i]);
  }
}

// The emblem blended over the left end of the title band at (-1, -1): four
// tiles of a mosaic in shades of the accent.
Canvas Title() {
  Canvas c(36, 34);
  Mosaic(c, 10.0, 7.0, 9.0, 11.0, 2.0);
  return c;
}

// The caption buttons' glyphs, 15 x 15, centred on 25-pixel buttons.
Canvas CaptionGlyph(const std::function<void(Canvas&)>& draw) {
  Canvas c(15, 15);
  draw(c);
  return c;
}

Canvas CloseGlyph() {
  return CaptionGlyph([](Canvas& c) {
    c.Fill(Stroke({{3.5, 3.5}, {11.5, 11.5}}, 1.5), kLight);
    c.Fill(Stroke({{11.5, 3.5}, {3.5, 11.5}}, 1.5), kLight);
  });
}

Canvas MaximizeGlyph() {
  return CaptionGlyph(
      [](Canvas& c) { c.Fill([](Vec p) { return std::abs(RoundRect(3, 3, 12, 12, 1)(p)) - 0.7; }, kLight); });
}

// Two overlapping windows: the back one shows only its top and right sides.
Canvas RestoreGlyph() {
  return CaptionGlyph([](Canvas& c) {
    c.Fill(Stroke({{5.5, 4.0}, {5.5, 2.5}, {12.5, 2.5}, {12.5, 9.5}, {11.0, 9.5}}, 1.3), kLight);
    c.Fill([](Vec p) { return std::abs(RoundRect(2.5, 5, 10, 12.5, 1)(p)) - 0.65; }, kLight);
  });
}

Canvas MinimizeGlyph() {
  return CaptionGlyph([](Canvas& c) { c.Fill(Stroke({{3.5, 10.5}, {11.5, 10.5}}, 1.5), kLight); });
}

// The tab frames' scroll arrows, 16 x 16, centred on 20-pixel buttons.
Canvas TabArrow(bool towardLeft) {
  Canvas c(16, 16);
  const double tip = towardLeft ? 5.5 : 10.5, back = towardLeft ? 10.0 : 6.0;
  c.Fill(Stroke({{back, 3.5}, {tip, 8.0}, {back, 12.5}}, 1.8), kLight);
  return c;
}

Canvas LeftArrow() { return TabArrow(true); }

Canvas RightArrow() { return TabArrow(false); }

// The help button's icon, 16 x 16: a question mark in a ring.
Canvas HelpIcon() {
  Canvas c(16, 16);
  c.Fill(Ring(8, 8, 6.6, 1.3), kLight);
  c.Fill(Stroke(Join(Arc(8.0, 6.2, 2.3, 2.1, 190, 360, 16), {{10.3, 6.4}, {8.0, 8.4}, {8.0, 9.4}}), 1.4),
         kLight);
  c.Fill(Circle(8.0, 11.6, 0.95), kLight);
  return c;
}

// The tooltip balloon, 24 x 24, stretched with borders of 7 pixels; a little
// translucent, except where the tip asks to be opaque.
Canvas TipBalloon() {
  Canvas c(24, 24);
  Bordered(c, RoundRect(0, 0, 24, 24, 5), WithAlpha(kDark, 0.93), Colour{96, 101, 110});
  return c;
}

// The balloon with a pointer at its top-left corner, 24 x 32.
Canvas TipPointerBalloon() {
  Canvas c(24, 32);
  const Field balloon = RoundRect(0, 8, 24, 32, 5);
  const Field pointer = Polygon({{5.0, 12.0}, {7.0, 0.5}, {14.0, 12.0}});
  const Field shape = [=](Vec p) { return std::min(balloon(p), pointer(p)); };
  Bordered(c, shape, WithAlpha(kDark, 0.93), Colour{96, 101, 110});
  return c;
}

// The slider's bar, 60 x 20, stretched with a left border of 25 and a top
// border of 5 pixels: a capsule under the minus button, the track and the
// plus button, with the groove from x = 20 to 20 pixels before the right
// end (the track the slider measures).
Canvas SliderBar() {
  Canvas c(60, 20);
  Bordered(c, RoundRect(0.5, 1, 59.5, 19, 6), WithAlpha(kWell, 0.85), kPanelBorder);
  Bordered(c, RoundRect(20, 8, 40, 12, 2), kDark, Colour{78, 82, 90});
  return c;
}

// The slider's thumb, 10 x 14, placed over the groove at y = 3.
Canvas SliderThumb() {
  Canvas c(10, 14);
  Bordered(c, RoundRect(0.5, 0.5, 9.5, 13.5, 3), kLight, Colour{96, 101, 110});
  c.Fill(Box(4, 4, 6, 10), WithAlpha(kAccent, 0.9));
  return c;
}

// The slider's step buttons' icons, 16 x 16.
Canvas PlusGlyph() {
  Canvas c(16, 16);
  c.Fill(Stroke({{4.0, 8.0}, {12.0, 8.0}}, 1.8), kLight);
  c.Fill(Stroke({{8.0, 4.0}, {8.0, 12.0}}, 1.8), kLight);
  return c;
}

Canvas MinusGlyph() {
  Canvas c(16, 16);
  c.Fill(Stroke({{4.0, 8.0}, {12.0, 8.0}}, 1.8), kLight);
  return c;
}

// The keyboard-focus mark drawn at the top-left corner of the focused
// control, 16 x 12: a small accent key cap with keys.
Canvas KeyboardMark() {
  Canvas c(16, 12);
  c.Fill(RoundRect(0, 0, 16, 12, 2.5), kAccent);
  for (int row = 0; row < 2; ++row) {
    for (int key = 0; key < 4; ++key) {
      const double x = 2.5 + key * 3.0, y = 2.5 + row * 3.0;
      c.Fill(Box(x, y, x + 2.0, y + 2.0), kDark);
    }
  }
  c.Fill(Box(4.5, 8.5, 11.5, 10.0), kDark);
  return c;
}

// The edit field's context-menu icons, 16 x 16, in the glyph grey with the
// accent where the command acts.
Canvas MenuIcon(const std::function<void(Canvas&)>& draw) {
  Canvas c(16, 16);
  draw(c);
  return c;
}

// Outline of a sheet of paper, 1.2 pixels wide.
Field SheetOutline(double left, double top, double right, double bottom) {
  return [=](Vec p) { return std::abs(RoundRect(left, top, right, bottom, 1.2)(p)) - 0.6; };
}

// Two sheets, the front one filled.
Canvas CopyIcon() {
  return MenuIcon([](Canvas& c) {
    c.Fill(SheetOutline(2.5, 1.5, 10.5, 11.5), kGlyph);
    c.Fill(RoundRect(5.5, 4.5, 13.5, 14.5, 1.2), kWindow);
    c.Fill(SheetOutline(5.5, 4.5, 13.5, 14.5), kAccent);
  });
}

// Scissors: two blades crossing above two handle rings.
Canvas CutIcon() {
  return MenuIcon([](Canvas& c) {
    c.Fill(Stroke({{4.5, 1.5}, {10.0, 10.0}}, 1.4), kGlyph);
    c.Fill(Stroke({{11.5, 1.5}, {6.0, 10.0}}, 1.4), kGlyph);
    c.Fill(Ring(4.8, 12.0, 2.3, 1.3), kAccent);
    c.Fill(Ring(11.2, 12.0, 2.3, 1.3), kAccent);
  });
}

// A clipboard with its clip and a sheet on it.
Canvas PasteIcon() {
  return MenuIcon([](Canvas& c) {
    c.Fill(SheetOutline(2.5, 2.5, 12.5, 14.5), kGlyph);
    c.Fill(RoundRect(5.0, 1.0, 10.0, 4.5, 1.0), kGlyph);
    c.Fill(RoundRect(7.5, 6.5, 14.5, 15.0, 1.0), kWindow);
    c.Fill(SheetOutline(7.5, 6.5, 14.5, 15.0), kAccent);
  });
}

// A curved arrow turning back: toward the left for undo, mirrored for redo.
Canvas TurnArrow(bool towardLeft) {
  const auto at = [towardLeft](double x, double y) { return Vec{towardLeft ? x : 16.0 - x, y}; };
  std::vector<Vec> arc;
  for (const Vec& p : Arc(8.5, 9.5, 5.0, 4.5, 225.0, 360.0 + 100.0)) arc.push_back(at(p.x, p.y));
  // Clockwise in the picture's coordinates whichever way it points.
  std::vector<Vec> head = {at(2.8, 4.1), at(7.4, 8.6), at(1.6, 9.8)};
  if (!towardLeft) std::swap(head[1], head[2]);
  return MenuIcon([arc = std::move(arc), head = std::move(head)](Canvas& c) {
    c.Fill(Stroke(arc, 1.5), kGlyph);
    c.Fill(Polygon(head), kAccent);
  });
}

Canvas UndoIcon() { return TurnArrow(true); }

Canvas RedoIcon() { return TurnArrow(false); }

// The picture view's tool strip in five 28-pixel cells, light glyphs on
// nothing: zoom in (a lens with a plus), zoom out (with a minus), pan (a
// four-way cross, kept for its cell position), real size ("1:1") and best
// fit (a picture between the corners of a frame).
Canvas PicViewTools() {
  Canvas c(140, 28);
  const auto lens = [&](int cell) {
    const int x0 = cell * 28;
    c.Fill(Ring(12.0, 12.0, 6.5, 1.8), kLight, x0, 0, 28, 28);
    c.Fill(Stroke({{16.8, 16.8}, {22.0, 22.0}}, 2.6), kLight, x0, 0, 28, 28);
    c.Fill(Stroke({{9.0, 12.0}, {15.0, 12.0}}, 1.6), kLight, x0, 0, 28, 28);
  };
  lens(0);
  c.Fill(Stroke({{12.0, 9.0}, {12.0, 15.0}}, 1.6), kLight, 0, 0, 28, 28);
  lens(1);
  c.Fill(Stroke({{14.0, 6.0}, {14.0, 22.0}}, 1.6), kLight, 56, 0, 28, 28);
  c.Fill(Stroke({{6.0, 14.0}, {22.0, 14.0}}, 1.6), kLight, 56, 0, 28, 28);
  for (const std::vector<Vec>& head : {std::vector<Vec>{{11.0, 9.0}, {14.0, 6.0}, {17.0, 9.0}},
                                       std::vector<Vec>{{11.0, 19.0}, {14.0, 22.0}, {17.0, 19.0}},
                                       std::vector<Vec>{{9.0, 11.0}, {6.0, 14.0}, {9.0, 17.0}},
                                       std::vector<Vec>{{19.0, 11.0}, {22.0, 14.0}, {19.0, 17.0}}}) {
    c.Fill(Stroke(head, 1.6), kLight, 56, 0, 28, 28);
  }
  c.Fill(Stroke({{6.5, 10.0}, {9.0, 8.0}, {9.0, 20.0}}, 1.7), kLight, 84, 0, 28, 28);
  c.Fill(Circle(14.0, 11.5, 1.2), kLight, 84, 0, 28, 28);
  c.Fill(Circle(14.0, 17.0, 1.2), kLight, 84, 0, 28, 28);
  c.Fill(Stroke({{19.0, 10.0}, {21.5, 8.0}, {21.5, 20.0}}, 1.7), kLight, 84, 0, 28, 28);
  for (const std::vector<Vec>& corner : {std::vector<Vec>{{5.0, 10.0}, {5.0, 5.0}, {10.0, 5.0}},
                                         std::vector<Vec>{{18.0, 5.0}, {23.0, 5.0}, {23.0, 10.0}},
                                         std::vector<Vec>{{5.0, 18.0}, {5.0, 23.0}, {10.0, 23.0}},
                                         std::vector<Vec>{{18.0, 23.0}, {23.0, 23.0}, {23.0, 18.0}}}) {
    c.Fill(Stroke(corner, 1.6), kLight, 112, 0, 28, 28);
  }
  c.Fill(RoundRect(9.5, 11.0, 18.5, 17.0, 1.0), kLight, 112, 0, 28, 28);
  return c;
}

// The dialog frame, 100 x 100, stretched with borders of 32 pixels: the top
// border is the title band, in a dark shade of the accent that the dialog's
// shading of its top rows lifts to a blue grey.
Canvas DialogFrame() {
  Canvas c(100, 100);
  const Field shape = RoundRect(0, 0, 100, 100, 6);
  c.Fill(shape, kFrameBorder);
  c.Fill([&](Vec p) { return shape(p) + 1.0; }, kCard);
  c.Fill([&](Vec p) { return std::max(shape(p) + 1.0, Box(0, 0, 100, 31)(p)); }, Colour{36, 64, 92});
  c.Fill(Box(1, 31, 99, 32), kCardBorder);
  return c;
}

// The marker of editable property rows, 16 x 16: a pencil leaning to the
// right, its body in the glyph grey and its tip in the accent.
Canvas PropertyEditMarker() {
  Canvas c(16, 16);
  c.Fill(Stroke({{12.5, 3.5}, {6.0, 10.0}}, 3.2), kGlyph);
  c.Fill(Polygon({{4.3, 9.2}, {6.8, 11.7}, {2.6, 13.4}}), kAccent);
  c.Fill(Stroke({{2.5, 14.5}, {13.5, 14.5}}, 1.0), WithAlpha(kGlyph, 0.6));
  return c;
}

// The title band's icon of dialogs, 16 x 16: the emblem's mosaic, small.
Canvas DialogIcon() {
  Canvas c(16, 16);
  Mosaic(c, 1.5, 1.5, 6.0, 7.0, 1.5);
  return c;
}

// The message box's icons, four cells of 64 x 64: information (an "i" on
// the accent), question (a "?" on a lighter blue), warning (a "!" on an
// amber triangle) and error (a cross on red).
Canvas MessageBoxIcons() {
  Canvas c(256, 64);
  const Colour amber{240, 180, 60};
  const Colour red{214, 76, 76};
  // Information.
  c.Fill(Circle(32, 32, 24), kAccent, 0, 0, 64, 64);
  c.Fill(Circle(32, 19.5, 3.5), kDark, 0, 0, 64, 64);
  c.Fill(Stroke({{32, 28}, {32, 45}}, 6.0), kDark, 0, 0, 64, 64);
  // Question.
  c.Fill(Circle(32, 32, 24), Colour{168, 222, 252}, 64, 0, 64, 64);
  c.Fill(Stroke(Join(Arc(32, 24, 8.5, 8.0, 190.0, 400.0), {{32, 34}, {32, 38}}), 5.0), kDark, 64, 0, 64, 64);
  c.Fill(Circle(32, 46, 3.2), kDark, 64, 0, 64, 64);
  // Warning.
  c.Fill(Stroke({{32, 10}, {55, 52}, {9, 52}, {32, 10}}, 5.0), amber, 128, 0, 64, 64);
  c.Fill(Polygon({{32, 10}, {55, 52}, {9, 52}}), amber, 128, 0, 64, 64);
  c.Fill(Stroke({{32, 24}, {32, 38}}, 5.0), kDark, 128, 0, 64, 64);
  c.Fill(Circle(32, 45.5, 3.0), kDark, 128, 0, 64, 64);
  // Error.
  c.Fill(Circle(32, 32, 24), red, 192, 0, 64, 64);
  c.Fill(Stroke({{23, 23}, {41, 41}}, 5.5), kWhite, 192, 0, 64, 64);
  c.Fill(Stroke({{41, 23}, {23, 41}}, 5.5), kWhite, 192, 0, 64, 64);
  return c;
}

// The album's folder picture, 200 x 200: a folder whose front leaves room
// for the small photos the loaders fan over it, 64-pixel boxes from
// (130, 57) down to (58, 105).
Canvas FolderThumb() {
  Canvas c(200, 200);
  const Colour back{70, 112, 150};
  const Colour front{104, 156, 198};
  Bordered(c, RoundRect(16, 30, 90, 62, 8), back, Colour{58, 94, 128});
  Bordered(c, RoundRect(16, 44, 184, 172, 10), back, Colour{58, 94, 128});
  Bordered(c, Polygon({{26.0, 82.0}, {184.0, 82.0}, {176.0, 172.0}, {16.0, 172.0}}), front,
           Colour{86, 134, 174});
  c.Fill(Box(30, 88, 170, 90), WithAlpha(kWhite, 0.25));
  return c;
}

// The picture of a project file in the album, 200 x 200: a page with a
// folded corner and three stacked layers on it.
Canvas ProjectFile() {
  Canvas c(200, 200);
  const Field page = Polygon({{40.0, 14.0}, {130.0, 14.0}, {162.0, 46.0}, {162.0, 186.0}, {40.0, 186.0}});
  Bordered(c, page, kLight, Colour{150, 155, 162});
  c.Fill(Polygon({{130.0, 14.0}, {162.0, 46.0}, {130.0, 46.0}}), Colour{200, 204, 210});
  const Colour layers[3] = {Colour{64, 128, 184}, kAccent, Colour{168, 222, 252}};
  for (int i = 0; i < 3; ++i) {
    const double y = 128.0 - i * 24.0;
    const Field layer = Polygon({{101.0, y - 22.0}, {140.0, y}, {101.0, y + 22.0}, {62.0, y}});
    Bordered(c, layer, layers[i], kDark);
  }
  return c;
}

// Draws one cell of a strip: the field in cell coordinates.
struct CellPainter {
  Canvas& canvas;
  int x0;
  int side;
  void operator()(const Field& field, Colour colour) const { canvas.Fill(field, colour, x0, 0, side, side); }
};

// A magnifying glass for the zoom buttons, in a 38-pixel cell.
void Magnifier(const CellPainter& paint) {
  paint(Ring(16, 16, 9.5, 3.2), kLight);
  paint(Stroke({{23.5, 23.5}, {32.5, 32.5}}, 5.0), kLight);
}

// The editing tools' icons, 24-pixel cells addressed by the tool set: 0
// polygon select, 1 rectangle select, 2 round select, 3 colour range, 4
// free select, 6 clone stamp, 7 free paint, 8 shape change, 9 repair, 10
// red eye, 12 crop, 13 free crop, 14 move, 15 transform, 16 text; cells 5
// and 11 stay empty.
Canvas ToolIcons() {
  constexpr int kSide = 24;
  Canvas c(17 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  const Colour red{222, 72, 72};
  const Colour green{96, 196, 110};
  const Colour blue{86, 140, 230};
  // Polygon select: a closed polygon with its corner points.
  {
    const std::vector<Vec> corners = {{4, 8}, {12, 3.5}, {20, 9}, {17, 20}, {6, 18}, {4, 8}};
    cell(0)(Stroke(corners, 1.4), kLight);
    for (std::size_t i = 0; i + 1 < corners.size(); ++i)
      cell(0)(Circle(corners[i].x, corners[i].y, 1.8), kAccent);
  }
  // Rectangle select: the four corners of a dashed box.
  for (const auto& arm : std::vector<std::vector<Vec>>{{{4, 9}, {4, 4}, {9, 4}},
                                                       {{15, 4}, {20, 4}, {20, 9}},
                                                       {{20, 15}, {20, 20}, {15, 20}},
                                                       {{9, 20}, {4, 20}, {4, 15}}}) {
    cell(1)(Stroke(arm, 1.6), kLight);
  }
  cell(1)(Box(10, 3.3, 14, 4.7), kAccent);
  cell(1)(Box(10, 19.3, 14, 20.7), kAccent);
  // Round select: an ellipse.
  cell(2)([](Vec p) { return std::abs(Length((p.x - 12) / 8.5, (p.y - 12) / 7.0) - 1.0) * 7.5 - 0.8; },
          kLight);
  // Colour range: three overlapping discs.
  cell(3)(Circle(9, 9, 5.5), WithAlpha(red, 0.85));
  cell(3)(Circle(15, 9, 5.5), WithAlpha(green, 0.85));
  cell(3)(Circle(12, 15, 5.5), WithAlpha(blue, 0.85));
  // Free select: a lasso loop with its tail.
  cell(4)([](Vec p) { return std::abs(Length((p.x - 12) / 8.0, (p.y - 10) / 6.0) - 1.0) * 6.5 - 0.75; },
          kLight);
  cell(4)(Stroke({{8.5, 15.0}, {7.0, 19.0}, {9.5, 21.5}}, 1.5), kAccent);
  // Clone stamp: a handle on a stamp.
  cell(6)(Circle(12, 6, 3.2), kLight);
  cell(6)(Box(10.6, 8, 13.4, 14), kLight);
  cell(6)(RoundRect(5, 14, 19, 18, 1.5), kAccent);
  cell(6)(Box(4, 19, 20, 20.5), kLight);
  // Free paint: a brush with a loaded tip.
  cell(7)(Stroke({{19.5, 4.5}, {11.5, 12.5}}, 2.4), kLight);
  cell(7)(Polygon({{11.5, 10.0}, {14.0, 12.5}, {9.0, 19.5}, {4.0, 20.0}, {4.5, 15.0}}), kAccent);
  // Shape change: a grid whose middle bulges out.
  cell(8)(Stroke({{4, 4}, {4, 20}}, 1.4), kLight);
  cell(8)(Stroke(Arc(6, 12, 8, 8, -90, 90, 16), 1.4), kLight);
  cell(8)(Stroke({{20, 4}, {20, 20}}, 1.4), kLight);
  cell(8)(Stroke({{4, 4}, {20, 4}}, 1.4), kLight);
  cell(8)(Stroke({{4, 20}, {20, 20}}, 1.4), kLight);
  cell(8)(Circle(14, 12, 2.4), kAccent);
  // Repair: a plaster across.
  cell(9)(
      [](Vec p) {
        const double u = (p.x - 12) * 0.7071 + (p.y - 12) * 0.7071,
                     v = -(p.x - 12) * 0.7071 + (p.y - 12) * 0.7071;
        return RoundRect(-9.5, -3.5, 9.5, 3.5, 3.0)({u, v});
      },
      kLight);
  cell(9)(Box(10, 10, 14, 14), kAccent);
  // Red eye: an eye with a red pupil.
  cell(10)([](Vec p) { return std::abs(Length((p.x - 12) / 9.0, (p.y - 12) / 5.5) - 1.0) * 5.5 - 0.75; },
           kLight);
  cell(10)(Circle(12, 12, 3.6), red);
  // Crop: two overlapping corners.
  cell(12)(Stroke({{7, 2.5}, {7, 17}, {21.5, 17}}, 1.8), kLight);
  cell(12)(Stroke({{2.5, 7}, {17, 7}, {17, 21.5}}, 1.8), kAccent);
  // Free crop: a tilted frame with handles.
  {
    const std::vector<Vec> corners = {{6, 4}, {20, 7}, {18, 20}, {4, 17}, {6, 4}};
    cell(13)(Stroke(corners, 1.4), kLight);
    for (std::size_t i = 0; i + 1 < corners.size(); ++i)
      cell(13)(Box(corners[i].x - 1.8, corners[i].y - 1.8, corners[i].x + 1.8, corners[i].y + 1.8), kAccent);
  }
  // Move: a cross of four arrows.
  cell(14)(Stroke({{12, 4}, {12, 20}}, 1.6), kLight);
  cell(14)(Stroke({{4, 12}, {20, 12}}, 1.6), kLight);
  cell(14)(Polygon({{12.0, 1.5}, {15.5, 6.0}, {8.5, 6.0}}), kAccent);
  cell(14)(Polygon({{12.0, 22.5}, {8.5, 18.0}, {15.5, 18.0}}), kAccent);
  cell(14)(Polygon({{1.5, 12.0}, {6.0, 8.5}, {6.0, 15.5}}), kAccent);
  cell(14)(Polygon({{22.5, 12.0}, {18.0, 15.5}, {18.0, 8.5}}), kAccent);
  // Transform: a box with handles at its corners.
  cell(15)([](Vec p) { return std::abs(Box(5, 5, 19, 19)(p)) - 0.7; }, kLight);
  for (const Vec& corner : std::vector<Vec>{{5, 5}, {19, 5}, {19, 19}, {5, 19}})
    cell(15)(Box(corner.x - 2.2, corner.y - 2.2, corner.x + 2.2, corner.y + 2.2), kAccent);
  // Text: a capital T.
  cell(16)(Box(5, 4, 19, 7), kLight);
  cell(16)(Box(10.5, 4, 13.5, 20), kLight);
  cell(16)(Box(8, 18.5, 16, 20.5), kAccent);
  return c;
}

// The text tool's option panel, 24-pixel cells: 0 underline, 1 italic, 2
// bold, 3 to 5 align left, centre and right, 6 line spacing, 7 smooth
// edges on, 8 off, 9 the confirm mark.
Canvas TextToolIcons() {
  constexpr int kSide = 24;
  Canvas c(10 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  // Underline: a U over a bar.
  cell(0)(Stroke({{7, 4}, {7, 13}, {9, 16.5}, {15, 16.5}, {17, 13}, {17, 4}}, 2.0), kLight);
  cell(0)(Box(5, 19, 19, 21), kAccent);
  // Italic: a slanted stem with its serifs.
  cell(1)(Stroke({{14, 4}, {10, 20}}, 2.2), kLight);
  cell(1)(Box(10, 3, 18, 5), kLight);
  cell(1)(Box(6, 19, 14, 21), kLight);
  // Bold: a heavy B.
  cell(2)(Box(6, 4, 10, 20), kLight);
  cell(2)(Ring(12.5, 8, 4.0, 3.0), kLight);
  cell(2)(Ring(13, 15.5, 4.5, 3.0), kLight);
  // Alignment: four lines held left, centred and right.
  const double widths[4] = {16, 10, 14, 8};
  for (int mode = 0; mode < 3; ++mode) {
    for (int line = 0; line < 4; ++line) {
      const double w = widths[line];
      const double left = mode == 0 ? 4 : mode == 1 ? 12 - w / 2 : 20 - w;
      const double top = 5 + line * 4;
      cell(3 + mode)(Box(left, top, left + w, top + 2), line == 0 ? kAccent : kLight);
    }
  }
  // Line spacing: three lines beside a double arrow.
  for (int line = 0; line < 3; ++line) cell(6)(Box(10, 5 + line * 6, 21, 7 + line * 6), kLight);
  cell(6)(Stroke({{5, 6}, {5, 18}}, 1.5), kAccent);
  cell(6)(Polygon({{5.0, 2.5}, {8.0, 7.0}, {2.0, 7.0}}), kAccent);
  cell(6)(Polygon({{5.0, 21.5}, {2.0, 17.0}, {8.0, 17.0}}), kAccent);
  // Smooth edges on: a soft disc; off: the same disc in hard steps.
  cell(7)(Circle(12, 12, 7.5), kLight);
  cell(7)(Ring(12, 12, 8.5, 1.0), WithAlpha(kAccent, 0.6));
  cell(8)(Box(9, 4, 15, 20), kLight);
  cell(8)(Box(6, 6, 18, 18), kLight);
  cell(8)(Box(4, 9, 20, 15), kLight);
  // The confirm mark: a tick, drawn white on the mark's black square.
  cell(9)(Stroke({{6, 12.5}, {10.5, 17}, {18.5, 7}}, 2.6), kWhite);
  return c;
}

// The tool page's no-tool button, 24 x 24: an arrow pointer beside a
// crossed circle.
Canvas NoToolIcon() {
  Canvas c(24, 24);
  c.Fill(Polygon({{4.0, 2.0}, {14.5, 12.5}, {4.0, 16.0}}), kLight);
  c.Fill(Stroke({{7.0, 11.0}, {10.5, 18.5}}, 2.2), kLight);
  c.Fill(Ring(17.5, 17.5, 4.5, 1.4), kAccent);
  c.Fill(Stroke({{14.4, 20.6}, {20.6, 14.4}}, 1.4), kAccent);
  return c;
}

// The edit canvas's toolbar icons, 38-pixel cells: 0 zoom in, 1 zoom out,
// 2 actual size, 3 fit (the first four are shown at half size), 4 save, 5
// wizard, 6 photo information, 8 add an image as a layer, 10 print; cells
// 7 and 9 stay empty.
Canvas EditViewIcons() {
  constexpr int kSide = 38;
  Canvas c(11 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  Magnifier(cell(0));
  cell(0)(Box(10, 14.5, 22, 17.5), kAccent);
  cell(0)(Box(14.5, 10, 17.5, 22), kAccent);
  Magnifier(cell(1));
  cell(1)(Box(10, 14.5, 22, 17.5), kAccent);
  // Actual size: "1:1" in a frame.
  cell(2)([](Vec p) { return std::abs(RoundRect(3, 7, 35, 31, 3)(p)) - 1.4; }, kLight);
  cell(2)(Box(10, 12, 13.5, 26), kAccent);
  cell(2)(Box(24.5, 12, 28, 26), kAccent);
  cell(2)(Circle(19, 15.5, 1.8), kLight);
  cell(2)(Circle(19, 22.5, 1.8), kLight);
  // Fit: four arrows pointing into the corners.
  cell(3)([](Vec p) { return std::abs(RoundRect(3, 3, 35, 35, 3)(p)) - 1.4; }, kLight);
  for (const auto& [from, to] : std::vector<std::pair<Vec, Vec>>{
           {{15, 15}, {9, 9}}, {{23, 15}, {29, 9}}, {{23, 23}, {29, 29}}, {{15, 23}, {9, 29}}}) {
    cell(3)(Stroke({from, to}, 2.6), kAccent);
  }
  // Save: a disk with its label and shutter.
  cell(4)(RoundRect(6, 6, 32, 32, 3), kLight);
  cell(4)(Box(11, 6, 27, 14), kDark);
  cell(4)(Box(22, 7.5, 25, 12.5), kLight);
  cell(4)(RoundRect(10, 19, 28, 30, 1.5), kAccent);
  // Wizard: a wand with sparks.
  cell(5)(Stroke({{8, 30}, {24, 14}}, 3.0), kLight);
  cell(5)(Polygon({{27.0, 4.0}, {29.0, 11.0}, {27.0, 18.0}, {25.0, 11.0}}), kAccent);
  cell(5)(Polygon({{20.0, 11.0}, {27.0, 9.0}, {34.0, 11.0}, {27.0, 13.0}}), kAccent);
  cell(5)(Circle(15, 9, 1.8), kAccent);
  cell(5)(Circle(31, 24, 1.8), kAccent);
  // Photo information: an "i" in a disc.
  cell(6)(Circle(19, 19, 14), kAccent);
  cell(6)(Circle(19, 11.5, 2.6), kDark);
  cell(6)(RoundRect(16.8, 16, 21.2, 28, 1.2), kDark);
  // Add an image: a picture with a plus.
  cell(8)(RoundRect(3, 8, 29, 30, 2.5), kLight);
  cell(8)(Polygon({{12.5, 15.0}, {20.0, 27.0}, {5.0, 27.0}}), kDark);
  cell(8)(Polygon({{20.5, 19.0}, {26.0, 27.0}, {15.0, 27.0}}), kDark);
  cell(8)(Circle(22, 14, 2.5), kDark);
  cell(8)(Circle(29, 9, 7), kAccent);
  cell(8)(Box(25, 8, 33, 10), kDark);
  cell(8)(Box(28, 5, 30, 13), kDark);
  // Print: a printer with its sheet.
  cell(10)(RoundRect(4, 14, 34, 28, 3), kLight);
  cell(10)(Box(10, 6, 28, 14), kLight);
  cell(10)(Box(10, 22, 28, 33), kAccent);
  cell(10)(Circle(29, 18, 1.5), kDark);
  return c;
}

// The selection panel's icons, 16-pixel cells: 0 drop the selection, 1
// feather, 2 inpaint the selected area, 3 more.
Canvas SelectionIcons() {
  constexpr int kSide = 16;
  Canvas c(4 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(Stroke({{4, 4}, {12, 12}}, 1.8), kLight);
  cell(0)(Stroke({{12, 4}, {4, 12}}, 1.8), kLight);
  for (int ring = 0; ring < 4; ++ring) cell(1)(Circle(8, 8, 6.5 - ring * 1.3), WithAlpha(kLight, 0.3));
  cell(2)(Stroke({{13, 3}, {7, 9}}, 2.0), kLight);
  cell(2)(Polygon({{7.0, 7.0}, {9.0, 9.0}, {5.0, 13.5}, {2.5, 13.5}, {2.5, 11.0}}), kAccent);
  for (int dot = 0; dot < 3; ++dot) cell(3)(Circle(3.5 + dot * 4.5, 8, 1.5), kLight);
  return c;
}

// The search page's node icons, 16-pixel cells: 0 dates, 1 catalogs, 2 the
// tag root, 3 a tag, 4 collapsed and 5 expanded expander glyphs, 6 unused,
// 7 photos without camera data, 8 a place.
Canvas SearchNodeIcons() {
  constexpr int kSide = 16;
  Canvas c(9 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  // A calendar sheet.
  cell(0)(RoundRect(2, 3, 14, 14, 1.5), kLight);
  cell(0)(Box(2, 3, 14, 6), kAccent);
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 3; ++col)
      cell(0)(Box(4 + col * 3.3, 8 + row * 2.8, 6 + col * 3.3, 9.6 + row * 2.8), kDark);
  }
  // A star for the user's catalogs.
  cell(1)(Polygon({{8.0, 1.5},
                   {9.9, 6.0},
                   {14.5, 6.2},
                   {10.9, 9.1},
                   {12.1, 14.0},
                   {8.0, 11.3},
                   {3.9, 14.0},
                   {5.1, 9.1},
                   {1.5, 6.2},
                   {6.1, 6.0}}),
          kAccent);
  // Two tags, then one.
  const auto tag = [](double dx, double dy) {
    return Polygon({{2.0 + dx, 5.0 + dy},
                    {8.0 + dx, 5.0 + dy},
                    {12.0 + dx, 8.5 + dy},
                    {8.0 + dx, 12.0 + dy},
                    {2.0 + dx, 12.0 + dy}});
  };
  cell(2)(tag(2, -2.5), WithAlpha(kLight, 0.55));
  cell(2)(tag(0, 1), kLight);
  cell(3)(tag(1, -0.5), kLight);
  cell(3)(Circle(4.5, 8, 1.2), kDark);
  cell(4)(Stroke({{6.0, 4.5}, {9.5, 8.0}, {6.0, 11.5}}, 1.6), kGlyph);
  cell(5)(Stroke({{4.5, 6.0}, {8.0, 9.5}, {11.5, 6.0}}, 1.6), kGlyph);
  // A camera crossed out.
  cell(7)(RoundRect(1.5, 5, 14.5, 13.5, 1.5), kLight);
  cell(7)(Box(5, 3, 10, 5.5), kLight);
  cell(7)(Circle(8, 9.2, 2.6), kDark);
  cell(7)(Stroke({{2.0, 14.5}, {14.5, 2.0}}, 1.6), Colour{222, 72, 72, 1.0});
  // A map pin.
  cell(8)(Circle(8, 6.5, 4.8), kAccent);
  cell(8)(Polygon({{4.2, 9.0}, {11.8, 9.0}, {8.0, 15.0}}), kAccent);
  cell(8)(Circle(8, 6.5, 1.8), kDark);
  return c;
}

// The search page's tool icons, 24-pixel cells: 0 new catalog, 1 change the
// catalog, 2 delete the catalog, 3 name the place, 4 search again.
Canvas SearchPageTools() {
  constexpr int kSide = 24;
  Canvas c(5 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  const auto star = [](double dx) {
    return Polygon({{8.0 + dx, 2.0},
                    {10.4, 7.6},
                    {16.0, 7.9},
                    {11.7, 11.4},
                    {13.2, 17.5},
                    {8.0, 14.2},
                    {2.8, 17.5},
                    {4.3, 11.4},
                    {0.0, 7.9},
                    {5.6, 7.6}});
  };
  cell(0)(star(0), kLight);
  cell(0)(Circle(17.5, 17.5, 5.5), kAccent);
  cell(0)(Box(14.5, 16.7, 20.5, 18.3), kDark);
  cell(0)(Box(16.7, 14.5, 18.3, 20.5), kDark);
  cell(1)(star(0), kLight);
  cell(1)(Stroke({{21.0, 9.0}, {12.0, 18.0}}, 2.6), kAccent);
  cell(1)(Polygon({{10.5, 17.0}, {13.0, 19.5}, {9.5, 20.5}}), kAccent);
  cell(2)(star(0), kLight);
  cell(2)(Circle(17.5, 17.5, 5.5), Colour{222, 72, 72, 1.0});
  cell(2)(Box(14.5, 16.7, 20.5, 18.3), kDark);
  cell(3)(Circle(9, 8, 6), kLight);
  cell(3)(Polygon({{4.3, 11.0}, {13.7, 11.0}, {9.0, 20.0}}), kLight);
  cell(3)(Circle(9, 8, 2.2), kDark);
  cell(3)(Stroke({{21.5, 11.0}, {14.0, 18.5}}, 2.6), kAccent);
  // An arrow round three quarters of a circle.
  std::vector<Vec> arc;
  for (int step = 0; step <= 24; ++step) {
    const double angle = -1.5708 + step * (4.712 / 24);
    arc.push_back({12.0 + 7.5 * std::cos(angle + 1.5708), 12.0 + 7.5 * std::sin(angle + 1.5708)});
  }
  cell(4)(Stroke(arc, 2.6), kLight);
  cell(4)(Polygon({{12.0, 1.0}, {19.0, 4.5}, {12.0, 8.0}}), kLight);
  return c;
}

// The save chooser's icons, 48-pixel cells: 0 the project file (stacked
// layers), 1 JPEG with options (a photo with a slider), 2 PNG (a
// checkerboard behind a photo), 3 overwrite the original (a photo with a
// turning arrow), 4 other formats (three small sheets).
Canvas SaveIcons() {
  constexpr int kSide = 48;
  Canvas c(5 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  for (int layer = 2; layer >= 0; --layer) {
    const double d = layer * 6.0;
    Bordered(c, RoundRect(6 + d, 18 - d, 32 + d, 42 - d, 3), layer == 0 ? kAccent : kCard, kLight, 0, 0,
             kSide, kSide);
  }
  const auto photo = [&](int index) {
    cell(index)(RoundRect(5, 8, 43, 38, 3), kLight);
    cell(index)(Polygon({{14.0, 18.0}, {24.0, 34.0}, {6.0, 34.0}}), kDark);
    cell(index)(Polygon({{28.0, 22.0}, {40.0, 34.0}, {18.0, 34.0}}), kDark);
    cell(index)(Circle(33, 16, 3.5), kAccent);
  };
  photo(1);
  cell(1)(Box(6, 42, 42, 44), kLight);
  cell(1)(Circle(30, 43, 3.5), kAccent);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      if ((x + y) % 2 == 0) cell(2)(Box(4 + x * 10.0, 4 + y * 10.0, 14 + x * 10.0, 14 + y * 10.0), kCard);
    }
  }
  cell(2)(RoundRect(12, 12, 44, 40, 3), kLight);
  cell(2)(Polygon({{22.0, 20.0}, {31.0, 36.0}, {14.0, 36.0}}), kAccent);
  photo(3);
  cell(3)(Stroke(Arc(34, 34, 9, 9, 20, 300), 3.0), kAccent);
  cell(3)(Polygon({{40.0, 30.0}, {46.0, 36.0}, {38.0, 38.0}}), kAccent);
  for (int sheet = 0; sheet < 3; ++sheet) {
    const double x = 6 + sheet * 12.0, y = 10 + (sheet % 2) * 8.0;
    Bordered(c, RoundRect(x, y, x + 14, y + 20, 2), sheet == 1 ? kAccent : kLight, kDark, 4 * kSide, 0, kSide,
             kSide);
  }
  return c;
}

// The about box, 560 x 320: a dark card with the emblem's mosaic large at
// the top left, a row of photo frames, and a rule above the version line
// that the program draws right-aligned at x 529, top 279.
Canvas About() {
  Canvas c(560, 320);
  Bordered(c, RoundRect(0, 0, 560, 320, 12), kWindow, kFrameBorder);
  Mosaic(c, 40.0, 44.0, 50.0, 60.0, 8.0);
  for (int i = 0; i < 3; ++i) {
    const double x = 220.0 + i * 104.0;
    Bordered(c, RoundRect(x, 60, x + 88, 168, 5), kCard, kCardBorder);
    c.Fill(Polygon({{x + 10, 156}, {x + 38, 104}, {x + 62, 156}}), WithAlpha(kAccent, 0.7));
    c.Fill(Polygon({{x + 44, 156}, {x + 62, 126}, {x + 80, 156}}), WithAlpha(kAccent, 0.45));
    c.Fill(Circle(x + 66, 84, 8), kLight);
  }
  c.Fill(Box(30, 266, 530, 267), kSeparator);
  return c;
}

// The menu icons of the command catalogue, 29 cells of 16 pixels addressed
// by the catalogue's icon numbers (cells 0 and 19 empty): 1 barrel, 2 free
// crop, 3 image size, 4 shape, 5 crop, 6 auto level, 7 auto contrast, 8
// visual, 9 spot, 10 film, 11 curve, 12 colour curve, 13 tone, 14 noise, 15
// skin, 16 starlight, 17 gradient, 18 defog, 20 smart erase, 21 diffuse, 22
// wizard, 23 properties, 24 save, 25 print, 26 undo, 27 redo, 28 apply on
// others. Written into the skin folder, where the start-up looks first; the
// basic folder's three-cell strip stays the skin set's.
Canvas MenuIconStrip() {
  constexpr int kSide = 16;
  Canvas c(29 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  const auto outline = [](Field f, double w) { return [f, w](Vec p) { return std::abs(f(p)) - w / 2; }; };
  cell(1)(outline(Circle(8, 8, 5.5), 1.4), kLight);
  cell(1)(Stroke({{8, 2.5}, {8, 13.5}}, 1.2), kAccent);
  cell(2)(Stroke({{3, 5}, {12, 3}, {13, 11}, {4, 13}, {3, 5}}, 1.4), kLight);
  cell(3)(outline(Box(2, 6, 10, 14), 1.2), kLight);
  cell(3)(outline(Box(6, 2, 14, 10), 1.2), kAccent);
  cell(4)(Stroke({{2, 10}, {5, 5}, {8, 10}, {11, 5}, {14, 10}}, 1.6), kLight);
  cell(5)(Stroke({{4, 1}, {4, 12}, {15, 12}}, 1.6), kLight);
  cell(5)(Stroke({{1, 4}, {12, 4}, {12, 15}}, 1.6), kAccent);
  for (int bar = 0; bar < 4; ++bar) cell(6)(Box(2 + bar * 3.5, 13 - bar * 3, 4.5 + bar * 3.5, 14), kLight);
  cell(7)(outline(Circle(8, 8, 6), 1.2), kLight);
  cell(7)(Polygon({{8.0, 2.0}, {8.0, 14.0}, {3.0, 12.0}, {2.0, 8.0}, {3.0, 4.0}}), kLight);
  cell(8)(outline(Circle(8, 8, 5.5), 1.3), kLight);
  cell(8)(Circle(8, 8, 2.2), kAccent);
  cell(9)(outline(Circle(8, 8, 5), 1.3), kLight);
  cell(9)(Stroke({{8, 1}, {8, 15}}, 1.0), kAccent);
  cell(9)(Stroke({{1, 8}, {15, 8}}, 1.0), kAccent);
  cell(10)(outline(Box(2, 3, 14, 13), 1.3), kLight);
  for (int hole = 0; hole < 3; ++hole) cell(10)(Box(4 + hole * 3.5, 4.5, 6 + hole * 3.5, 6), kAccent);
  cell(11)(Stroke({{2, 14}, {6, 11}, {10, 5}, {14, 2}}, 1.6), kLight);
  cell(12)(Stroke({{2, 12}, {6, 6}, {10, 10}, {14, 4}}, 1.6), kAccent);
  cell(13)(Box(2, 4, 6, 12), kDark);
  cell(13)(Box(6, 4, 10, 12), kGlyph);
  cell(13)(Box(10, 4, 14, 12), kLight);
  for (int dot = 0; dot < 9; ++dot) cell(14)(Circle(4 + (dot % 3) * 4, 4 + (dot / 3) * 4, 1.1), kLight);
  cell(15)(Circle(8, 8, 5.5), WithAlpha(kLight, 0.8));
  cell(15)(Circle(6, 7, 1), kDark);
  cell(15)(Circle(10, 7, 1), kDark);
  cell(16)(
      Polygon(
          {{8.0, 1.0}, {9.5, 6.5}, {15.0, 8.0}, {9.5, 9.5}, {8.0, 15.0}, {6.5, 9.5}, {1.0, 8.0}, {6.5, 6.5}}),
      kLight);
  for (int band = 0; band < 4; ++band)
    cell(17)(Box(2, 2 + band * 3, 14, 5 + band * 3), WithAlpha(kLight, 0.25 + band * 0.25));
  for (int wave = 0; wave < 3; ++wave)
    cell(18)(
        Stroke({{2, 4.0 + wave * 4}, {6, 2.0 + wave * 4}, {10, 6.0 + wave * 4}, {14, 4.0 + wave * 4}}, 1.2),
        kLight);
  cell(20)(Polygon({{6.0, 3.0}, {14.0, 8.0}, {10.0, 14.0}, {2.0, 9.0}}), kLight);
  cell(20)(Polygon({{2.0, 9.0}, {6.0, 11.5}, {4.5, 14.0}, {1.0, 12.0}}), kAccent);
  for (int dot = 0; dot < 7; ++dot) cell(21)(Circle(3 + (dot * 5) % 11, 3 + (dot * 7) % 11, 1.0), kLight);
  cell(22)(Stroke({{3, 14}, {11, 6}}, 1.8), kLight);
  cell(22)(Circle(12.5, 4, 2), kAccent);
  cell(23)(outline(Circle(8, 8, 6.5), 1.2), kLight);
  cell(23)(Box(7.2, 7, 8.8, 12), kLight);
  cell(23)(Circle(8, 4.8, 1), kLight);
  cell(24)(RoundRect(2, 2, 14, 14, 1.5), kLight);
  cell(24)(Box(5, 2, 11, 6), kDark);
  cell(24)(Box(4.5, 9, 11.5, 14), kAccent);
  cell(25)(RoundRect(1, 6, 15, 12, 1.5), kLight);
  cell(25)(Box(4, 2, 12, 6), kGlyph);
  cell(25)(Box(4, 11, 12, 15), kAccent);
  cell(26)(Stroke({{13, 12}, {13, 7}, {4, 7}}, 1.6), kLight);
  cell(26)(Polygon({{1.5, 7.0}, {6.0, 3.0}, {6.0, 11.0}}), kLight);
  cell(27)(Stroke({{3, 12}, {3, 7}, {12, 7}}, 1.6), kLight);
  cell(27)(Polygon({{14.5, 7.0}, {10.0, 11.0}, {10.0, 3.0}}), kLight);
  cell(28)(outline(Box(1.5, 5.5, 9.5, 13.5), 1.2), kLight);
  cell(28)(outline(Box(6.5, 2.5, 14.5, 10.5), 1.2), kAccent);
  return c;
}

// The adjust page's four large buttons, 80-pixel cells: transform, exposure,
// colour, enhancement.
Canvas AdjustIcons() {
  constexpr int kSide = 80;
  Canvas c(4 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)([](Vec p) { return std::abs(Box(14, 22, 56, 58)(p)) - 2.5; }, kLight);
  cell(0)(Stroke({{46, 12}, {66, 20}, {60, 40}}, 4.0), kAccent);
  cell(1)(Circle(40, 40, 22), kLight);
  cell(1)(Polygon({{40.0, 18.0}, {40.0, 62.0}, {26.0, 58.0}, {18.0, 40.0}, {26.0, 22.0}}), kDark);
  cell(1)([](Vec p) { return std::abs(Circle(40, 40, 22)(p)) - 1.5; }, kLight);
  const Colour shades[3] = {Colour{230, 90, 90}, Colour{100, 200, 110}, kAccent};
  for (int i = 0; i < 3; ++i)
    cell(2)(Circle(30 + (i % 2) * 20, 30 + (i / 2) * 18 + (i == 2 ? 0 : 0), 15), WithAlpha(shades[i], 0.75));
  cell(3)(Polygon({{40.0, 10.0},
                   {47.0, 33.0},
                   {70.0, 40.0},
                   {47.0, 47.0},
                   {40.0, 70.0},
                   {33.0, 47.0},
                   {10.0, 40.0},
                   {33.0, 33.0}}),
          kLight);
  cell(3)(Circle(40, 40, 6), kAccent);
  return c;
}

// The adjust page's background, stretched with borders of 80 pixels left and
// right and 68 above and below: a dark panel with a faint film strip at the
// sides.
Canvas AdjustBackground() {
  Canvas c(200, 180);
  c.Fill(Box(0, 0, 200, 180), kPanel);
  for (int side = 0; side < 2; ++side) {
    const double x = side == 0 ? 6.0 : 182.0;
    c.Fill(Box(x, 0, x + 12, 180), kWell);
    for (int hole = 0; hole < 9; ++hole)
      c.Fill(RoundRect(x + 3, 6 + hole * 20, x + 9, 14 + hole * 20, 1.5), kCard);
  }
  return c;
}

// The mark between the save chooser's tiles and its presets, 20 x 160: a
// brace opening toward the presets.
Canvas IncludeMark() {
  Canvas c(20, 160);
  c.Fill(Stroke({{4, 4}, {10, 10}, {10, 72}, {16, 80}, {10, 88}, {10, 150}, {4, 156}}, 2.0), kLight);
  return c;
}

// The adjust page's "menu" button icon: three lines.
Canvas MenuButtonIcon() {
  Canvas c(24, 24);
  for (int line = 0; line < 3; ++line) c.Fill(RoundRect(3, 5 + line * 6, 21, 7.5 + line * 6, 1.2), kLight);
  return c;
}

// The preview buttons of the adjustment dialogs, 16-pixel cells: 0 before
// (an empty frame), 1 after (a filled one), 2 before above after, 3 before
// beside after, 4 the result on the canvas (an eye), 5 blend (two
// overlapping discs), 6 a mask in force (a filled half disc in a frame), 7
// no mask (the frame alone).
Canvas ViewModeIcons() {
  constexpr int kSide = 16;
  Canvas c(8 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  const auto frame = [](Vec p) { return std::abs(RoundRect(2, 3, 14, 13, 1.0)(p)) - 0.6; };
  cell(0)(frame, kLight);
  cell(1)(frame, kLight);
  cell(1)(Box(4, 5, 12, 11), kAccent);
  cell(2)(frame, kLight);
  cell(2)(Box(4, 8.5, 12, 11), kAccent);
  cell(2)(Box(3, 7.6, 13, 8.4), kLight);
  cell(3)(frame, kLight);
  cell(3)(Box(8.5, 5, 12, 11), kAccent);
  cell(3)(Box(7.6, 4, 8.4, 12), kLight);
  cell(4)(Stroke({{2, 8}, {5, 5}, {8, 4}, {11, 5}, {14, 8}, {11, 11}, {8, 12}, {5, 11}, {2, 8}}, 1.2),
          kLight);
  cell(4)(Circle(8, 8, 2.2), kAccent);
  cell(5)(Circle(6, 8, 4), WithAlpha(kLight, 0.8));
  cell(5)(Circle(10, 8, 4), WithAlpha(kAccent, 0.8));
  cell(6)(frame, kLight);
  cell(6)(Circle(8, 8, 3.5), kAccent);
  cell(7)(frame, kLight);
  return c;
}

// The album's tool strip, 32-pixel cells: 0 menu, 1 view, 2 group photo,
// 3 batch, 4 print, 5 large thumbnails, 6 thumbnails, 7 list, 8 sort by
// name, 9 by date, 10 by modification, 11 blue-screen cut-out, 12
// inside/outside cut-out, 13 multi-photo menu.
Canvas AlbumTools() {
  constexpr int kSide = 32;
  Canvas c(14 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  for (int i = 0; i < 3; ++i) cell(0)(RoundRect(5, 8 + i * 7, 27, 11 + i * 7, 1.5), kLight);
  cell(1)(Ring(14, 14, 8, 2.6), kLight);
  cell(1)(Stroke({{20.0, 20.0}, {27.0, 27.0}}, 4.0), kLight);
  cell(2)(Circle(11, 11, 4.5), kLight);
  cell(2)(RoundRect(4, 17, 18, 28, 5), kLight);
  cell(2)(Circle(22, 12, 4.5), kAccent);
  cell(2)(RoundRect(15, 18, 29, 29, 5), kAccent);
  for (int i = 0; i < 3; ++i)
    cell(3)(RoundRect(6 + i * 3, 18 - i * 5, 26 + i * 3, 27 - i * 5, 2), i == 2 ? kAccent : kLight);
  cell(4)(RoundRect(4, 12, 28, 24, 3), kLight);
  cell(4)(Box(9, 5, 23, 12), kLight);
  cell(4)(Box(9, 20, 23, 29), kAccent);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x)
      cell(5)(RoundRect(5 + x * 12, 5 + y * 12, 15 + x * 12, 15 + y * 12, 2), kLight);
  }
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) cell(6)(RoundRect(5 + x * 8, 5 + y * 8, 11 + x * 8, 11 + y * 8, 1.5), kLight);
  }
  for (int i = 0; i < 4; ++i) {
    cell(7)(Box(5, 6 + i * 6, 9, 9 + i * 6), kAccent);
    cell(7)(Box(12, 6 + i * 6, 27, 9 + i * 6), kLight);
  }
  cell(8)(Stroke({{6.0, 27.0}, {11.0, 6.0}, {16.0, 27.0}}, 2.4), kLight);
  cell(8)(Stroke({{8.0, 19.0}, {14.0, 19.0}}, 2.0), kLight);
  cell(8)(Stroke({{19.0, 6.0}, {27.0, 6.0}, {19.0, 27.0}, {27.0, 27.0}}, 2.4), kAccent);
  cell(9)(RoundRect(5, 7, 27, 27, 3), kLight);
  cell(9)(Box(5, 7, 27, 12), kAccent);
  cell(9)(Box(10, 4, 12, 9), kDark);
  cell(9)(Box(20, 4, 22, 9), kDark);
  cell(10)(Circle(16, 16, 11), kLight);
  cell(10)(Stroke({{16.0, 9.0}, {16.0, 16.0}, {21.0, 19.0}}, 2.2), kDark);
  cell(11)(RoundRect(3, 3, 29, 29, 3), Colour{40, 90, 220});
  cell(11)(Circle(16, 12, 5), kLight);
  cell(11)(RoundRect(8, 18, 24, 30, 6), kLight);
  cell(12)(RoundRect(3, 3, 29, 29, 3), WithAlpha(kLight, 0.25));
  cell(12)(Circle(16, 12, 5), kLight);
  cell(12)(RoundRect(8, 18, 24, 30, 6), kLight);
  cell(12)(Stroke({{5.0, 26.0}, {9.0, 20.0}}, 2.0), Colour{80, 220, 120});
  cell(12)(Stroke({{23.0, 6.0}, {28.0, 10.0}}, 2.0), Colour{230, 80, 80});
  for (int i = 0; i < 3; ++i)
    cell(13)(RoundRect(4 + i * 4, 4 + i * 4, 20 + i * 4, 20 + i * 4, 2),
             i == 2 ? kAccent : WithAlpha(kLight, 0.6 + i * 0.2));
  return c;
}

// The album's notice item, 32 x 32: a letter.
Canvas NoticeIcon() {
  Canvas c(32, 32);
  Bordered(c, RoundRect(3, 7, 29, 25, 2.5), kLight, kControlBorder);
  c.Fill(Stroke({{4.0, 8.0}, {16.0, 17.0}, {28.0, 8.0}}, 1.8), kDark);
  c.Fill(Circle(27, 8, 4), kAccent);
  return c;
}

// The placeholder of a photo not yet (or not) loaded, 200 x 200: a page
// with a question mark.
Canvas UnknownThumb() {
  Canvas c(200, 200);
  Bordered(c, RoundRect(40, 20, 160, 180, 10), kCard, kCardBorder);
  c.Fill(Stroke(Arc(100, 82, 22, 22, 190, 395, 20), 9), kGlyph);
  c.Fill(Stroke({{117.0, 96.0}, {100.0, 110.0}, {100.0, 124.0}}, 9), kGlyph);
  c.Fill(Circle(100, 145, 6), kGlyph);
  return c;
}

// The file-type marks of the photo list, 20 x 14 cells for types 1 to 9:
// JPG, BMP, GIF, PNG, TIF, TGA, PCX, RAW and the project file, as coloured
// tabs (the caption says the name).
Canvas ImageTypeIcons() {
  constexpr int kSide = 20;
  Canvas c(9 * kSide, 14);
  const Colour colours[9] = {Colour{90, 170, 240},  Colour{170, 170, 170}, Colour{200, 140, 240},
                             Colour{110, 210, 140}, Colour{240, 190, 90},  Colour{200, 120, 120},
                             Colour{150, 150, 210}, Colour{240, 120, 70},  kAccent};
  for (int i = 0; i < 9; ++i) {
    c.Fill(RoundRect(2, 2, 18, 12, 2.5), colours[i], i * kSide, 0, kSide, 14);
    for (int d = 0; d <= i % 3; ++d) c.Fill(Box(5 + d * 4, 6, 7 + d * 4, 8), kDark, i * kSide, 0, kSide, 14);
  }
  return c;
}

// The EXIF badge, 22 x 14: a small camera.
Canvas ExifBadge() {
  Canvas c(22, 14);
  c.Fill(RoundRect(1, 3, 21, 13, 2.5), kAccent);
  c.Fill(Box(7, 1, 13, 4), kAccent);
  c.Fill(Ring(11, 8, 3, 1.4), kDark);
  return c;
}

// The album background's corner picture, 160 x 110: a faint camera.
Canvas CameraCorner() {
  Canvas c(160, 110);
  const Colour faint = WithAlpha(kLight, 0.06);
  c.Fill(RoundRect(20, 34, 150, 104, 12), faint);
  c.Fill(RoundRect(50, 20, 96, 40, 6), faint);
  c.Fill(Ring(85, 69, 24, 6), WithAlpha(kLight, 0.08));
  return c;
}

// The folder tree's icons, 16-pixel cells: 0 fixed disk, 1 optical disc,
// 2 unused, 3 removable medium, 4 folder, 5 folder with photos, 6 and 7
// the collapsed and expanded expanders.
Canvas FolderTreeIcons() {
  constexpr int kSide = 16;
  Canvas c(8 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(RoundRect(1.5, 4.5, 14.5, 11.5, 2), kGlyph);
  cell(0)(Circle(12, 8, 1.2), kAccent);
  cell(1)(Ring(8, 8, 5.2, 2.4), kGlyph);
  cell(1)(Circle(8, 8, 1.2), kGlyph);
  cell(3)(RoundRect(4, 1.5, 12, 14.5, 2), kGlyph);
  cell(3)(Box(6, 3, 10, 6), kDark);
  const Colour folder{214, 176, 96};
  cell(4)(RoundRect(1, 3, 7, 6, 1.2), folder);
  cell(4)(RoundRect(1, 4.5, 15, 13.5, 1.5), folder);
  cell(5)(RoundRect(1, 3, 7, 6, 1.2), folder);
  cell(5)(RoundRect(1, 4.5, 15, 13.5, 1.5), folder);
  cell(5)(RoundRect(5, 7, 13, 12, 1), kAccent);
  cell(6)(Polygon({{6.0, 4.0}, {11.0, 8.0}, {6.0, 12.0}}), kGlyph);
  cell(7)(Polygon({{4.0, 6.0}, {12.0, 6.0}, {8.0, 11.0}}), kGlyph);
  return c;
}

// The folder browser's 20-pixel buttons.
Canvas BrowserButton(const std::function<void(Canvas&)>& draw) {
  Canvas c(20, 20);
  draw(c);
  return c;
}

Canvas PreviousIcon() {
  return BrowserButton([](Canvas& c) {
    c.Fill(Stroke({{12.0, 4.0}, {6.0, 10.0}, {12.0, 16.0}}, 2.4), kLight);
  });
}

Canvas NextIcon() {
  return BrowserButton([](Canvas& c) {
    c.Fill(Stroke({{8.0, 4.0}, {14.0, 10.0}, {8.0, 16.0}}, 2.4), kLight);
  });
}

Canvas UpIcon() {
  return BrowserButton([](Canvas& c) {
    c.Fill(Stroke({{4.0, 12.0}, {10.0, 6.0}, {16.0, 12.0}}, 2.4), kLight);
    c.Fill(Box(9, 7, 11, 17), kLight);
  });
}

Canvas NewFolderIcon() {
  return BrowserButton([](Canvas& c) {
    const Colour folder{214, 176, 96};
    c.Fill(RoundRect(2, 4, 9, 7, 1.2), folder);
    c.Fill(RoundRect(2, 6, 16, 16, 1.5), folder);
    c.Fill(Box(12, 9, 14, 19), kAccent);
    c.Fill(Box(8, 13, 18, 15), kAccent);
  });
}

Canvas FavouriteIcon() {
  return BrowserButton([](Canvas& c) {
    std::vector<Vec> star;
    for (int i = 0; i < 10; ++i) {
      const double angle = -1.5707963 + i * 0.6283185;
      const double radius = i % 2 == 0 ? 8.5 : 3.6;
      star.push_back({10 + radius * std::cos(angle), 10.5 + radius * std::sin(angle)});
    }
    c.Fill(Polygon(star), Colour{250, 206, 80});
  });
}

// The photo property grid's group icons, 16-pixel cells: 0 file (a page
// with a folded corner), 1 general (a label), 2 camera, 3 GPS (a pin).
Canvas ExifGroupIcons() {
  constexpr int kSide = 16;
  Canvas c(4 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(Polygon({{3.0, 1.5}, {10.0, 1.5}, {13.0, 4.5}, {13.0, 14.5}, {3.0, 14.5}}), kGlyph);
  cell(0)(Polygon({{10.0, 1.5}, {13.0, 4.5}, {10.0, 4.5}}), kDark);
  cell(1)(Polygon({{1.5, 5.0}, {6.0, 2.0}, {14.5, 2.0}, {14.5, 14.0}, {6.0, 14.0}, {1.5, 11.0}}), kGlyph);
  cell(1)(Circle(5.5, 8, 1.4), kDark);
  cell(2)(RoundRect(1, 5, 15, 14, 2), kGlyph);
  cell(2)(Box(5, 2.5, 10, 5.5), kGlyph);
  cell(2)(Ring(8, 9.5, 2.6, 1.3), kDark);
  cell(3)(Circle(8, 6, 4.5), kAccent);
  cell(3)(Polygon({{4.2, 8.0}, {11.8, 8.0}, {8.0, 15.0}}), kAccent);
  cell(3)(Circle(8, 6, 1.7), kDark);
  return c;
}

// The tag editor's arrows, 16-pixel cells: 0 left, 1 right (a typed tag
// goes over), 2 a double right arrow (a known tag goes over).
Canvas TagArrows() {
  constexpr int kSide = 16;
  Canvas c(3 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(Stroke({{10.5, 3.0}, {5.0, 8.0}, {10.5, 13.0}}, 2.2), kLight);
  cell(1)(Stroke({{5.5, 3.0}, {11.0, 8.0}, {5.5, 13.0}}, 2.2), kLight);
  cell(2)(Stroke({{3.0, 3.0}, {8.0, 8.0}, {3.0, 13.0}}, 2.0), kLight);
  cell(2)(Stroke({{8.5, 3.0}, {13.5, 8.0}, {8.5, 13.0}}, 2.0), kLight);
  return c;
}

// The auto wizard's entry icons, 17 cells of 50 pixels: a light sign on a
// rounded well, each cell its own (exposure 0 to 2, colour 3, lens errors 4
// to 7, noise 8 and 9, sharpness 10 to 12, portrait 13 to 16).
Canvas WizardIcons() {
  constexpr int kSide = 50;
  constexpr int kCells = 17;
  Canvas c(kCells * kSide, kSide);
  for (int i = 0; i < kCells; ++i) {
    const CellPainter cell{c, i * kSide, kSide};
    cell(RoundRect(3, 3, 47, 47, 8), kWell);
    const double turn = i * 0.37;
    switch (i % 4) {
      case 0:
        cell(Circle(25, 25, 10 + i % 3), kLight);
        break;
      case 1:
        cell(Ring(25, 25, 13, 3), kLight);
        break;
      case 2:
        cell(Polygon({{25 + 15 * std::cos(turn), 25 + 15 * std::sin(turn)},
                      {25 + 15 * std::cos(turn + 2.1), 25 + 15 * std::sin(turn + 2.1)},
                      {25 + 15 * std::cos(turn + 4.2), 25 + 15 * std::sin(turn + 4.2)}}),
             kLight);
        break;
      default:
        cell(RoundRect(13, 13, 37, 37, 3), kLight);
        break;
    }
    // A mark of the cell's number, so that no two cells look alike.
    for (int dot = 0; dot <= i / 4; ++dot) cell(Circle(10 + dot * 7, 41, 2.5), kAccent);
  }
  return c;
}

// A card picture of the wizard: a small scene in the card's colours.
Canvas WizardCardPicture(int width, int height, Colour sky, Colour ground, Colour sign) {
  Canvas c(width, height);
  c.Fill(RoundRect(0, 0, width, height, 6), sky);
  c.Fill(Polygon({{0.0, height * 0.7},
                  {width * 0.35, height * 0.45},
                  {width * 0.7, height * 0.65},
                  {double(width), height * 0.5},
                  {double(width), double(height)},
                  {0.0, double(height)}}),
         ground);
  c.Fill(Circle(width * 0.75, height * 0.3, height * 0.16), sign);
  return c;
}

// The history panel's strip, 28-pixel cells: 0 undo, 1 redo, 2 make an
// automation scheme, 3 the replayable step's mark (its top-left 16 x 16).
Canvas HistoryIcons() {
  constexpr int kSide = 28;
  Canvas c(4 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(Stroke(Arc(15, 16, 8, 7, -1.6, 1.8), 2.4), kLight);
  cell(0)(Polygon({{4.0, 9.0}, {14.0, 4.0}, {14.0, 14.0}}), kAccent);
  cell(1)(Stroke(Arc(13, 16, 8, 7, 1.3, 4.7), 2.4), kLight);
  cell(1)(Polygon({{24.0, 9.0}, {14.0, 4.0}, {14.0, 14.0}}), kAccent);
  cell(2)(RoundRect(6, 9, 22, 23, 3), kLight);
  cell(2)(Circle(11, 15, 2), kDark);
  cell(2)(Circle(17, 15, 2), kDark);
  cell(2)(Stroke({{14, 9}, {14, 4}}, 1.6), kLight);
  cell(2)(Circle(14, 4, 2), kAccent);
  cell(3)(Circle(8, 8, 6), kAccent);
  cell(3)(Stroke({{5, 8}, {7.5, 10.5}, {11, 5.5}}, 1.6), kDark);
  return c;
}

// The warp brush's option strip, 24-pixel cells: 0 undo or redo the last
// stroke, 1 back to the last step.
Canvas UndoResetIcons() {
  constexpr int kSide = 24;
  Canvas c(2 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(Stroke(Arc(12, 14, 7, 6, 180, 360), 2.0), kLight);
  cell(0)(Polygon({{2.0, 12.0}, {8.0, 12.0}, {5.0, 17.5}}), kAccent);
  cell(0)(Polygon({{16.0, 12.0}, {22.0, 12.0}, {19.0, 17.5}}), kAccent);
  cell(1)(Stroke(Arc(12, 12, 7, 7, 60, 380), 2.0), kLight);
  cell(1)(Polygon({{15.0, 3.0}, {20.5, 9.5}, {12.5, 9.0}}), kAccent);
  cell(1)(Circle(12, 12, 2), kAccent);
  return c;
}

// The free transform's option strip, 24-pixel cells: 0 keep the
// proportions, 1 any rectangle, 2 the OK mark, 3 free corners.
Canvas FreeTransformIcons() {
  constexpr int kSide = 24;
  Canvas c(4 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  cell(0)(Stroke({{4, 6}, {20, 6}, {20, 18}, {4, 18}, {4, 6}}, 1.6), kLight);
  cell(0)(Stroke({{6, 16}, {18, 8}}, 1.6), kAccent);
  cell(0)(Polygon({{18.0, 8.0}, {17.0, 12.5}, {13.0, 8.5}}), kAccent);
  cell(1)(Stroke({{3, 8}, {21, 8}, {21, 16}, {3, 16}, {3, 8}}, 1.6), kLight);
  cell(1)(Stroke({{8, 4}, {8, 20}}, 1.2), kAccent);
  cell(1)(Stroke({{16, 4}, {16, 20}}, 1.2), kAccent);
  cell(2)(Circle(12, 12, 9), kAccent);
  cell(2)(Stroke({{7, 12}, {10.5, 15.5}, {17, 8}}, 2.2), kDark);
  cell(3)(Stroke({{5, 5}, {19, 7}, {17, 19}, {4, 16}, {5, 5}}, 1.6), kLight);
  for (const auto& [x, y] : {std::pair{5, 5}, std::pair{19, 7}, std::pair{17, 19}, std::pair{4, 16}})
    cell(3)(Circle(x, y, 2.2), kAccent);
  return c;
}

// The layer and mask panels' strip, 28-pixel cells: 0 new, 1 delete, 2
// merge down, 3 rename, 4 save, 5 more, 6 mask to selection, 7 selection
// to mask, 8 up, 9 down.
Canvas LayerToolIcons() {
  constexpr int kSide = 28;
  Canvas c(10 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  const auto sheet = [&](int index) { cell(index)(RoundRect(5, 7, 23, 21, 2), kLight); };
  sheet(0);
  cell(0)(Box(19, 3, 21, 11), kAccent);
  cell(0)(Box(16, 6, 24, 8), kAccent);
  sheet(1);
  cell(1)(Stroke({{9, 10}, {19, 18}}, 2.2), kAccent);
  cell(1)(Stroke({{19, 10}, {9, 18}}, 2.2), kAccent);
  cell(2)(RoundRect(5, 4, 23, 12, 2), kLight);
  cell(2)(RoundRect(5, 16, 23, 24, 2), kLight);
  cell(2)(Polygon({{10.0, 11.0}, {18.0, 11.0}, {14.0, 17.0}}), kAccent);
  sheet(3);
  cell(3)(Stroke({{9, 18}, {19, 8}}, 2.4), kAccent);
  cell(4)(RoundRect(6, 6, 22, 22, 2), kLight);
  cell(4)(Box(10, 6, 18, 11), kDark);
  cell(4)(RoundRect(9, 15, 19, 22, 1), kAccent);
  for (int dot = 0; dot < 3; ++dot) cell(5)(Circle(8 + dot * 6, 14, 2), kLight);
  cell(6)(RoundRect(4, 8, 14, 20, 2), kLight);
  cell(6)([](Vec p) { return std::abs(RoundRect(15, 8, 25, 20, 2)(p)) - 0.8; }, kAccent);
  cell(7)([](Vec p) { return std::abs(RoundRect(4, 8, 14, 20, 2)(p)) - 0.8; }, kAccent);
  cell(7)(RoundRect(15, 8, 25, 20, 2), kLight);
  cell(8)(Polygon({{14.0, 5.0}, {23.0, 17.0}, {5.0, 17.0}}), kLight);
  cell(9)(Polygon({{14.0, 23.0}, {23.0, 11.0}, {5.0, 11.0}}), kLight);
  return c;
}

// The layer list's visibility mark, an eye of 20 x 16.
Canvas EyeIcon() {
  Canvas c(20, 16);
  c.Fill([](Vec p) { return std::max(Circle(10, 14, 9.5)(p), Circle(10, 2, 9.5)(p)); }, kLight);
  c.Fill(Circle(10, 8, 3.6), kAccent);
  c.Fill(Circle(10, 8, 1.6), kDark);
  return c;
}

// The curves dialog's tools, 24-pixel cells: "8", "16" (as bars), straight
// segments, a spline, the sample pipette (its top-left swatch corner left
// clear), levels stretch and the adaptive curve.
Canvas CurveToolIcons() {
  constexpr int kSide = 24;
  Canvas c(7 * kSide, kSide);
  const auto cell = [&](int index) { return CellPainter{c, index * kSide, kSide}; };
  const auto frame = [](Vec p) { return std::abs(RoundRect(3, 3, 21, 21, 2)(p)) - 0.7; };
  cell(0)(frame, kLight);
  cell(0)(Box(7, 8, 17, 10), kAccent);
  cell(1)(frame, kLight);
  cell(1)(Box(7, 8, 17, 10), kAccent);
  cell(1)(Box(7, 14, 17, 16), kAccent);
  cell(2)(Stroke({{4, 20}, {10, 12}, {14, 14}, {20, 4}}, 1.6), kLight);
  cell(3)(Stroke({{4, 20}, {8, 15}, {12, 12}, {16, 9}, {20, 4}}, 1.6), kLight);
  cell(3)(Circle(12, 12, 1.8), kAccent);
  cell(4)(Stroke({{8, 20}, {18, 10}}, 2.2), kLight);
  cell(4)(Circle(19, 9, 3), kLight);
  cell(5)(Stroke({{4, 20}, {8, 20}, {16, 4}, {20, 4}}, 1.6), kLight);
  cell(5)(Box(4, 21, 20, 22), kAccent);
  cell(6)(Stroke({{4, 20}, {9, 17}, {12, 12}, {15, 7}, {20, 4}}, 1.6), kLight);
  cell(6)(Box(4, 21, 20, 22), kAccent);
  return c;
}

// The crop tools' pictures -------------------------------------------------

// The crop tool's lock button, 16-pixel cells: 0 a closed padlock (ratio
// locked), 1 an open one.
Canvas LockIcons() {
  constexpr int kSide = 16;
  Canvas c(2 * kSide, kSide);
  for (int i = 0; i < 2; ++i) {
    const CellPainter cell{c, i * kSide, kSide};
    const double lift = i == 0 ? 0.0 : 2.5;
    const double shift = i == 0 ? 0.0 : 3.5;
    cell(Stroke(Arc(8 + shift, 7 - lift, 3.6, 3.6, 180, 360, 12), 1.6), kLight);
    if (i == 0) cell(Stroke({{4.4, 7}, {4.4, 8}}, 1.6), kLight);
    cell(Stroke({{11.6 + shift, 7 - lift}, {11.6 + shift, 8}}, 1.6), kLight);
    cell(RoundRect(2.5, 7.5, 13.5, 15, 1.5), kLight);
    cell(Circle(8, 11, 1.4), kDark);
  }
  return c;
}

// The OK button the crop tools draw at the rectangle: a round green badge
// with a white tick, one 24-pixel cell.
Canvas OkButton() {
  Canvas c(24, 24);
  Bordered(c, Circle(12, 12, 11), Colour{64, 170, 92}, Colour{235, 245, 238});
  c.Fill(Stroke({{6.5, 12.5}, {10.5, 16.5}, {17.5, 8}}, 2.6), kWhite);
  return c;
}

// The free crop tool's demonstration: a slanted framed picture with the four
// corner marks on it, an arrow, and the same picture straightened.
Canvas FreeCropDemo() {
  constexpr int kWidth = 360;
  constexpr int kHeight = 200;
  Canvas c(kWidth, kHeight);
  c.Fill(Box(0, 0, kWidth, kHeight), Colour{196, 188, 172});
  c.Fill(Box(0, 150, kWidth, kHeight), Colour{150, 120, 90});
  const std::vector<Vec> quad = {{30, 40}, {150, 25}, {160, 150}, {20, 135}};
  c.Fill(Polygon(quad), Colour{92, 70, 48});
  const std::vector<Vec> inner = {{38, 47}, {143, 34}, {152, 142}, {28, 128}};
  c.Fill(Polygon(inner), Colour{120, 170, 220});
  c.Fill(Polygon({{28, 128}, {70, 80}, {110, 110}, {152, 72}, {152, 142}}), Colour{70, 130, 70});
  c.Fill(Circle(120, 60, 10), Colour{250, 210, 90});
  for (const Vec& p : quad) Bordered(c, Circle(p.x, p.y, 5), kWhite, kDark);
  c.Fill(Stroke({quad[0], quad[1], quad[2], quad[3], quad[0]}, 1.5), kWhite);
  c.Fill(Stroke({{175, 95}, {205, 95}}, 5), kDark);
  c.Fill(Polygon({{205, 83}, {220, 95}, {205, 107}}), kDark);
  c.Fill(Box(235, 30, 340, 150), Colour{92, 70, 48});
  c.Fill(Box(243, 38, 332, 142), Colour{120, 170, 220});
  c.Fill(Polygon({{243, 142}, {243, 125}, {280, 82}, {300, 110}, {332, 75}, {332, 142}}),
         Colour{70, 130, 70});
  c.Fill(Circle(305, 60, 10), Colour{250, 210, 90});
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: skin_generator <basic folder> [<skin folder>]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::path basicFolder = std::filesystem::absolute(folder);
  if (!basicFolder.has_filename()) basicFolder = basicFolder.parent_path();  // a trailing slash
  const std::filesystem::path skinFolder =
      argc == 3 ? std::filesystem::path(argv[2]) : basicFolder.parent_path() / "skin";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::filesystem::create_directories(skinFolder, error);
  const std::vector<std::pair<const char*, std::function<Canvas()>>> pictures = {
      {"frame.png", Frame},
      {"roundframe.png", RoundFrame},
      {"tabtitlebk.png", TabTitle},
      {"scrollbar.png", ScrollBar},
      {"checkbox.png", CheckBoxes},
      {"expand.png", Expanders},
      {"ratio.png", RadioButtons},
      {"indicator.png", Indicators},
      {"mpanel.png", PanelCell},
      {"title.png", Title},
      {"close.png", CloseGlyph},
      {"maximal.png", MaximizeGlyph},
      {"restore.png", RestoreGlyph},
      {"minimal.png", MinimizeGlyph},
      {"tip.png", TipBalloon},
      {"tippoint.png", TipPointerBalloon},
      {"kbd.png", KeyboardMark},
      {"left.png", LeftArrow},
      {"right.png", RightArrow},
      {"menucopy.png", CopyIcon},
      {"menucut.png", CutIcon},
      {"menupaste.png", PasteIcon},
      {"menuundo.png", UndoIcon},
      {"menuredo.png", RedoIcon},
      {"picviewtool.png", PicViewTools},
      {"dialogframe.png", DialogFrame},
      {"defwndicon.png", DialogIcon},
      {"sliderbar.png", SliderBar},
      {"slider.png", SliderThumb},
      {"add.png", PlusGlyph},
      {"sub.png", MinusGlyph},
      {"propedit.png", PropertyEditMarker},
      {"folderthumb.png", FolderThumb},
      {"projectfile.png", ProjectFile},
      {"maintabframe.png", MainTabFrame},
      {"help.png", HelpIcon},
      {"viewmode.png", ViewModeIcons},
  };
  // Pictures widgets load from the skin folder by name.
  const std::vector<std::pair<const char*, std::function<Canvas()>>> skinPictures = {
      {"messagebox.png", MessageBoxIcons},
      {"toolbar.png", ToolIcons},
      {"texttool.png", TextToolIcons},
      {"no.png", NoToolIcon},
      {"editview.png", EditViewIcons},
      {"selection.png", SelectionIcons},
      {"about.png", About},
      {"save.png", SaveIcons},
      {"include.png", IncludeMark},
      {"curvetool.png", CurveToolIcons},
      {"searchnode.png", SearchNodeIcons},
      {"searchpagetool.png", SearchPageTools},
      // The album and its folder browser.
      {"albumtools.png", AlbumTools},
      {"message.png", NoticeIcon},
      {"unknownthumb.png", UnknownThumb},
      {"imgtype.png", ImageTypeIcons},
      {"exif.png", ExifBadge},
      {"camera.png", CameraCorner},
      {"foldertree.png", FolderTreeIcons},
      {"prev.png", PreviousIcon},
      {"next.png", NextIcon},
      {"up.png", UpIcon},
      {"newfolder.png", NewFolderIcon},
      {"fav.png", FavouriteIcon},
      // The photo property and tag dialogs.
      {"exiftag.png", ExifGroupIcons},
      {"arrow.png", TagArrows},
  };
  // The command catalogue's menu icons and the adjust page's pictures.
  const std::vector<std::pair<const char*, std::function<Canvas()>>> adjustPictures = {
      {"menuicon.png", MenuIconStrip},
      {"adjust.png", AdjustIcons},
      {"film.png", AdjustBackground},
      {"menu.png", MenuButtonIcon},
  };
  // The side panels' pictures.
  const std::vector<std::pair<const char*, std::function<Canvas()>>> panelPictures = {
      {"history.png", HistoryIcons},
      {"layertool.png", LayerToolIcons},
      {"eye.png", EyeIcon},
  };
  // The option strips of the warp brush and the free transform.
  const std::vector<std::pair<const char*, std::function<Canvas()>>> toolOptionPictures = {
      {"undoreset.png", UndoResetIcons},
      {"freetrans.png", FreeTransformIcons},
  };
  bool ok = true;
  for (const auto& [name, draw] : pictures) ok = draw().Save(folder / name, false) && ok;
  for (const auto& [name, draw] : skinPictures) ok = draw().Save(skinFolder / name, false) && ok;
  for (const auto& [name, draw] : panelPictures) ok = draw().Save(skinFolder / name, false) && ok;
  for (const auto& [name, draw] : adjustPictures) ok = draw().Save(skinFolder / name, false) && ok;
  for (const auto& [name, draw] : toolOptionPictures) ok = draw().Save(skinFolder / name, false) && ok;
  // The auto wizard's icons and card pictures.
  ok = WizardIcons().Save(skinFolder / "wizard.png", false) && ok;
  const Colour kNight{40, 50, 80};
  const Colour kGrass{70, 120, 70};
  const Colour kSun{250, 210, 90};
  const std::vector<std::pair<const char*, Canvas>> cardPictures = {
      {"EXPOSURE.jpg", WizardCardPicture(80, 48, kNight, kDark, kSun)},
      {"COLOR.jpg", WizardCardPicture(80, 48, Colour{90, 160, 220}, Colour{200, 120, 60}, kSun)},
      {"CONTRASTY.jpg", WizardCardPicture(80, 48, Colour{170, 175, 180}, Colour{110, 115, 120}, kLight)},
      {"noise.jpg", WizardCardPicture(80, 48, Colour{60, 60, 70}, Colour{90, 80, 90}, Colour{200, 200, 210})},
      {"LENSERROR.jpg", WizardCardPicture(80, 48, Colour{120, 170, 210}, kGrass, Colour{180, 90, 200})},
      {"PORTRAIT.jpg",
       WizardCardPicture(80, 48, Colour{200, 170, 150}, Colour{120, 80, 60}, Colour{240, 200, 180})},
      {"VIVIDCOLOR.jpg",
       WizardCardPicture(64, 48, Colour{60, 150, 250}, Colour{60, 200, 90}, Colour{250, 80, 80})},
      {"inpaint.jpg", WizardCardPicture(64, 48, Colour{140, 190, 230}, kGrass, kDark)},
  };
  for (const auto& [name, picture] : cardPictures) ok = picture.SaveJpeg(skinFolder / name, kPanel) && ok;
  ok = WizardCardPicture(64, 48, Colour{220, 150, 90}, Colour{120, 60, 100}, kLight)
           .Save(skinFolder / "instantfilter.png", false) &&
       ok;
  // The crop tools' pictures.
  ok = LockIcons().Save(skinFolder / "lock.png", false) && ok;
  ok = OkButton().Save(skinFolder / "ok.png", false) && ok;
  ok = FreeCropDemo().SaveJpeg(skinFolder / "freecropdemo.jpg", kPanel) && ok;
  ok = Button().Save(folder / "btn.png", true) && ok;
  ok = DigitStrip(20, 27, 4.0, 4.0, 12.0, 19.0, 2.6).Save(folder / "digi.png", true) && ok;
  ok = SmallDigits().Save(folder / "smalldigi.png", true) && ok;
  ok = MenuMarks().Save(folder / "menuicon.png", true) && ok;
  return ok ? 0 : 1;
}
