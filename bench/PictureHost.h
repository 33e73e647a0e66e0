#pragma once
// A window host for the frame benchmarks: the window picture of the real
// host, into which blits copy; presenting is the platform thread's business
// and is not measured.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WindowHost.h"

class CPictureHost final : public IWindowHost {
public:
  CPictureHost(Size client, int dpi) : m_client(client), m_dpi(dpi) {
    m_picture.assign(static_cast<std::size_t>(client.width) * client.height, 0);
  }
  int CreateMainWindow(const WindowOptions&) override { return 1; }
  void DestroyMainWindow() override {}
  bool HasWindow() const override { return true; }
  void SetTitle(const std::u16string&) override {}
  void SetIcon(Size, const std::uint32_t*) override {}
  void SetMinimumSize(Size) override {}
  void ShowWindow(WindowShow) override {}
  Rect GetWindowRect() override { return {0, 0, m_client.width, m_client.height}; }
  void SetWindowRect(const Rect&) override {}
  Size GetClientSize() const override { return m_client; }
  Point GetCursorPos() override { return {}; }
  void SetCursor(CursorShape) override {}
  void SetCapture(bool) override {}
  void SetTextInputRect(const Rect&) override {}
  void SetTextInputActive(bool) override {}
  int GetDpi() const override { return m_dpi; }
  void BlitPixels(Point at, Size size, const std::uint32_t* pixels, std::int32_t stride) override {
    const std::int32_t x1 = std::min(at.x + size.width, m_client.width);
    const std::int32_t y1 = std::min(at.y + size.height, m_client.height);
    for (std::int32_t y = std::max(at.y, 0); y < y1; ++y) {
      std::memcpy(&m_picture[static_cast<std::size_t>(y) * m_client.width + at.x],
                  pixels + static_cast<std::ptrdiff_t>(y - at.y) * stride,
                  static_cast<std::size_t>(x1 - at.x) * 4);
    }
  }
  void Present() override {}

private:
  Size m_client;
  int m_dpi;
  std::vector<std::uint32_t> m_picture;
};
