#pragma once
// PanelItem: one clickable item of a CPanelSprite, owned by the panel. The
// caption, its picture and the tip are written before the item joins the
// panel; the flags may change afterwards (then the panel is made dirty) and
// the icon changes only under the panel's lock.

#include <atomic>
#include <cstdint>
#include <string>

#include "image/BgraImage.h"
#include "platform/Rect.h"

// The kind of a label: no background, no hand cursor, still pressed and
// clicked. Owners use 1 and 2 for ordinary items.
inline constexpr std::uint8_t kPanelItemLabel = 3;

struct PanelItem {
  // Texts stand for fixed fields of these many characters (cut with "..").
  static constexpr std::size_t kTextField = 32;
  static constexpr std::size_t kTipField = 256;

  Rect rect;  // panel coordinates
  std::uint8_t kind = 1;
  std::u16string text;
  CBgraImage icon;       // the panel's own copy; empty when none
  CBgraImage textImage;  // the caption as a coverage picture
  std::u16string tip;
  std::uint32_t id = 0;
  std::uint8_t hoverLevel = 0;  // 0 to 128; the render thread's
  std::atomic<std::uint8_t> enabled{1};
  std::atomic<std::uint8_t> checked{0};
  std::atomic<std::uint8_t> shown{1};  // a hidden item is neither drawn nor hit
};
