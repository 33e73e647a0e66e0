#pragma once
// CFrame: the window frame, the bottom-most top-level sprite (layer 0) that
// covers the whole client area. Until the skin exists it paints the window
// background in theme grey 235 with a thin darker border; the border drag,
// caption buttons and title band come with the skin.

#include "ui/MessageSprite.h"

class CFrame : public CMessageSprite {
public:
  bool Draw(std::uint32_t now) override;
};
