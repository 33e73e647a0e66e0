#pragma once
// CSFocusIndicate: the keyboard-focus frame (layer 170). The render window
// places it over the focus sprite's focus rectangle and sets its alpha: 255
// after a keyboard focus change, which fades to 32 in steps of 12 per frame,
// 32 after a mouse focus change. Until the skin's "kbd.png" exists it draws
// a plain two-pixel outline.

#include <atomic>
#include <cstdint>

#include "ui/Sprite.h"

class CSFocusIndicate : public CSprite {
public:
  // Alpha 255, the old area invalidated, the new rectangle stored, dirty.
  void SetSpriteRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
  bool Draw(std::uint32_t now) override;

  // The sprite with the keyboard focus, by registry key (0 = none); the
  // indicator hides itself once that sprite is gone.
  void SetTarget(const CSprite* sprite);
  std::int32_t TargetKey() const { return m_targetKey.load(); }

private:
  void Hide();
  std::atomic<std::int32_t> m_targetKey{0};
};
