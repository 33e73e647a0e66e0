#pragma once
// Delivers the algorithm engine's progress and completion as sprite messages:
// a listener's target is the listening sprite's registry key, so a message
// for a sprite that has gone in the meantime is dropped at delivery.

#include <cstdint>

#include "algorithms/AlgorithmMessageSink.h"

class CSprite;

class CAlgorithmSpriteSink final : public IAlgorithmMessageSink {
public:
  [[nodiscard]] int PostSpriteMessage(std::uint64_t target, std::int32_t code, std::uint64_t wparam,
                                      std::uint64_t lparam) override;
};

// The one sink of the program.
IAlgorithmMessageSink& AlgorithmSpriteSink();

// The listener a sprite passes with a job it starts on the algorithm thread.
AlgorithmListener AlgorithmListenerFor(const CSprite& sprite);
