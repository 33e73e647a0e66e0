#pragma once
// The two 256 x 256 weight tables with which every 8-bit alpha blend of the
// interface is done: source[a][v] = (127 + a*v) / 255 and
// destination[a][v] = (127 + (255 - a)*v) / 255. A source value s over a
// destination value d with weight w becomes source[w][s] + destination[w][d].

#include <cstdint>

struct BlendTables {
  std::uint8_t source[256][256];
  std::uint8_t destination[256][256];
};

// Builds the tables once (later calls keep them); false when memory is short.
[[nodiscard]] bool BuildBlendTables();
// Releases them; only when nothing composes any more (the render thread ended).
void FreeBlendTables();
// Null until built.
const BlendTables* GetBlendTables();
