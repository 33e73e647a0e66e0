#pragma once
// CSFocusIndicate: the keyboard-focus mark (layer 170). The render window
// places it over the focus sprite's focus rectangle and sets its alpha: 255
// after a keyboard focus change, fading 12 a frame down to 32; 32 (or 0) after
// a mouse focus change. It draws "kbd.png" at its top-left corner when it is
// larger than 40 x 40 pixels, and hides itself in the frame after its target
// is gone, hidden, or in a hidden parent.

#include <atomic>
#include <cstdint>

#include "image/BgraImage.h"
#include "ui/Sprite.h"

class CSFocusIndicate : public CSprite {
public:
  static constexpr std::int32_t kRestingAlpha = 32;
  static constexpr std::int32_t kFadeStep = 12;
  static constexpr std::int32_t kMinimumSide = 40;

  // Alpha 255, the old area invalidated, the new rectangle stored, dirty.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  // Loads "kbd.png" from the basic folder; false when it is missing.
  [[nodiscard]] bool OnSpriteCreate() override;
  bool Draw(std::uint32_t now) override;

  // The sprite with the keyboard focus (null: none); kept with its registry
  // key, so a destroyed target is never read.
  void SetTarget(const CSprite* sprite);

  CBgraImage image;  // "kbd.png"

private:
  void Hide();
  std::atomic<const CSprite*> m_target{nullptr};
  std::atomic<std::int32_t> m_targetKey{0};
};
