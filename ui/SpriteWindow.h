#pragma once
// What a sprite asks of the window that composes it. The render window
// implements it and, for as long as it exists, announces itself with
// SetLiveSpriteWindow; sprites call their window only while it is the live
// one, so a sprite that outlives the window never calls into freed memory.

#include "platform/Rect.h"

class CSprite;

class ISpriteWindow {
public:
  // Marks the window's dirty 64-pixel tiles under a rectangle in window
  // logical pixels (a top-level sprite's invalidation ends here).
  virtual void MarkWindowTiles(const Rect& rect) = 0;
  // Forgets the key shortcuts of a sprite that is being destroyed.
  virtual void RemoveKeyShortcuts(CSprite* sprite) = 0;

protected:
  ~ISpriteWindow() = default;
};

ISpriteWindow* LiveSpriteWindow();
void SetLiveSpriteWindow(ISpriteWindow* window);
