#pragma once
// MenuItem: one row of a popup menu (CSMenu), owned by the menu. The texts
// stand for fixed fields and are cut on the way in; the pictures are made
// by CSMenu::MeasureItems and freed when the menu is emptied.

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/BgraImage.h"

class CSMenu;

struct MenuItem {
  // Field sizes in characters, terminator included: a longer text is cut to
  // the size less 3 and "..".
  static constexpr std::size_t kLetterField = 32;
  static constexpr std::size_t kCaptionField = 64;
  static constexpr std::size_t kShortcutField = 10;
  static constexpr std::size_t kIconFileField = 32;
  static constexpr std::size_t kTooltipField = 512;
  static constexpr std::int32_t kRowHeight = 20;
  static constexpr std::int32_t kSeparatorHeight = 10;
  static constexpr std::int32_t kNotLaidOut = -100;

  void ReleaseImages() {
    iconImage.Free();
    captionImage.Free();
    shortcutImage.Free();
  }

  // The first character is the item's key letter; may be empty.
  std::u16string letter;
  std::u16string caption;
  std::u16string shortcutText;  // shown right-aligned
  std::u16string iconFile;      // skin file name; may be empty
  std::u16string tooltip;       // empty: none
  // The caller's icon: not owned, copied into iconImage at layout.
  const CBgraImage* callerIcon = nullptr;
  std::int32_t commandId = 0;  // 0: none
  CBgraImage iconImage;
  CBgraImage captionImage;   // coverage
  CBgraImage shortcutImage;  // coverage
  std::int32_t enabled = 1;
  std::int32_t checked = 0;  // the check glyph replaces the icon
  std::int32_t separator = 0;
  std::int32_t rowHeight = kRowHeight;
  CSMenu* subMenu = nullptr;  // opened instead of a choice; not owned
  std::int32_t rowTop = kNotLaidOut;
  std::int32_t animY = 0;  // the row's y while the menu opens or closes
};
