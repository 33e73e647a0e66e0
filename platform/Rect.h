#pragma once
// Plain geometry in pixels: a point, a size and a rectangle of four signed
// 32-bit sides whose right and bottom are exclusive.

#include <cstdint>

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(std::int32_t x, std::int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  bool Contains(Point p) const { return Contains(p.x, p.y); }
  Rect Offset(std::int32_t dx, std::int32_t dy) const {
    return {left + dx, top + dy, right + dx, bottom + dy};
  }
  bool operator==(const Rect&) const = default;
};
