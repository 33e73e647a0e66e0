#include "platform/DisplayDpi.h"

#include <X11/Xlib.h>

#include <charconv>
#include <cstdlib>

namespace {

constexpr int kMinDpi = 24;
constexpr int kMaxDpi = 960;

[[nodiscard]] int ParseDpiValue(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data()) return 0;
  if (!(value >= kMinDpi && value <= kMaxDpi)) return 0;
  return static_cast<int>(value + 0.5);
}

}  // namespace

int ParseXftDpi(std::string_view resources) {
  constexpr std::string_view kKey = "Xft.dpi:";
  while (!resources.empty()) {
    const std::size_t end = resources.find('\n');
    const std::string_view line = resources.substr(0, end);
    if (line.substr(0, kKey.size()) == kKey) return ParseDpiValue(line.substr(kKey.size()));
    if (end == std::string_view::npos) break;
    resources.remove_prefix(end + 1);
  }
  return 0;
}

int ParseDpiOverride(const char* value) { return value ? ParseDpiValue(value) : 0; }

int QueryDisplayDpi() {
  if (const int forced = ParseDpiOverride(std::getenv("TESSERA_DPI"))) return forced;
  int dpi = 0;
  if (Display* display = XOpenDisplay(nullptr)) {
    if (const char* resources = XResourceManagerString(display)) dpi = ParseXftDpi(resources);
    XCloseDisplay(display);
  }
  return dpi ? dpi : kDefaultDpi;
}
