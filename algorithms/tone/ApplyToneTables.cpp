#include "algorithms/tone/ApplyToneTables.h"

void ApplyToneTables(const std::uint16_t* in, std::uint16_t* out, std::size_t count, ConstToneTableSpan blue,
                     ConstToneTableSpan green, ConstToneTableSpan red) {
  for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) {
    // Read all four before writing: in and out may be the same pixel.
    const std::uint16_t b = in[0], g = in[1], r = in[2], a = in[3];
    out[0] = blue[b];
    out[1] = green[g];
    out[2] = red[r];
    out[3] = a;
  }
}

int ApplyToneTables(const CBgraImage16& source, CBgraImage16& target, ConstToneTableSpan blue,
                    ConstToneTableSpan green, ConstToneTableSpan red) {
  if (source.IsEmpty()) return 0;
  if (&target != &source && !target.Create(source.width, source.height)) return 0;
  ApplyToneTables(source.pixels, target.pixels, std::size_t{source.width} * source.height, blue, green, red);
  return 1;
}
