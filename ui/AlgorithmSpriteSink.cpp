#include "ui/AlgorithmSpriteSink.h"

#include <limits>

#include "ui/Sprite.h"
#include "ui/SpriteMessage.h"

int CAlgorithmSpriteSink::PostSpriteMessage(std::uint64_t target, std::int32_t code, std::uint64_t wparam,
                                            std::uint64_t lparam) {
  // Registry keys are positive 32-bit numbers; anything else names nobody.
  if (target == 0 || target > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  return PostSpriteMessageToKey(static_cast<std::int32_t>(target), code, wparam, lparam) ? 1 : 0;
}

IAlgorithmMessageSink& AlgorithmSpriteSink() {
  static CAlgorithmSpriteSink sink;
  return sink;
}

AlgorithmListener AlgorithmListenerFor(const CSprite& sprite) {
  return AlgorithmListener{&AlgorithmSpriteSink(), static_cast<std::uint64_t>(sprite.key)};
}
