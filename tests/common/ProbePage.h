#pragma once

#include <cstdint>

#include "ui/MessageSprite.h"

// The plain dark page a probe window puts its sprites on; a probe's page
// derives from it to hear its children's messages.
class CProbePage : public CMessageSprite {
public:
  bool Draw(std::uint32_t) override;
};
