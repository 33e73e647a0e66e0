#pragma once
// CClickWave: a white ring that spreads from the pointer for 500 ms after a
// click (layer 205, owned, no input). It closes itself at the end; the render
// thread then drops it.

#include <cstdint>

#include "ui/AnimationSprite.h"

class CClickWave : public CAnimationSprite {
public:
  static constexpr std::uint32_t kDurationMs = 500;

  bool UpdateSurface(std::uint32_t now) override;
  // Start = now, end = now + 500 ms; then as CSprite::Create.
  [[nodiscard]] bool Create(CSprite* parentSprite, ISpriteWindow* window, std::int32_t spriteId,
                            const Rect& spriteRect, std::int32_t spriteLayer);

  std::uint32_t start = 0;
  std::uint32_t end = 0;
};
