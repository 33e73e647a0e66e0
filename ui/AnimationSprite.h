#pragma once
// CAnimationSprite: the base of every sprite that animates or takes input;
// it adds only its kind bit. Only subclasses are made.

#include "ui/Sprite.h"

class CAnimationSprite : public CSprite {
protected:
  CAnimationSprite() { kind |= kSpriteKindAnimation; }
};
