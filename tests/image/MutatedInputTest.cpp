// Seeded random damage to valid inputs of the EXIF reader, the maker-note
// parser and the TGA, PCX and WBMP decoders: under AddressSanitizer every
// read outside the input or the picture is a failure. Each input is held in
// a block of exactly its size.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "image/ExifReader.h"
#include "image/ExifSpanSource.h"
#include "image/ImageInfo.h"
#include "image/codecs/CodecImage.h"
#include "image/codecs/CodecMemStream.h"
#include "tests/image/CodecTestSupport.h"
#include "tests/image/ExifFixture.h"

namespace {

using D = ExifDirectory;
constexpr int kMutations = 3000;

class Mutator {
public:
  explicit Mutator(std::uint32_t seed) : m_state(seed) {}
  std::uint32_t Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return m_state >> 8;
  }
  // Overwrites a few bytes, sometimes with the extremes of 16- and 32-bit
  // fields, and sometimes cuts the input short.
  Bytes Mutate(const Bytes& input) {
    Bytes out = input;
    const int edits = 1 + static_cast<int>(Next() % 4);
    for (int i = 0; i < edits && !out.empty(); ++i) {
      const std::size_t at = Next() % out.size();
      switch (Next() % 4) {
        case 0:
          out[at] = static_cast<std::uint8_t>(Next());
          break;
        case 1:
          out[at] = 0xFF;
          break;
        case 2:
          for (std::size_t k = at; k < out.size() && k < at + 4; ++k) out[k] = 0xFF;
          break;
        default:
          out[at] = static_cast<std::uint8_t>(out[at] ^ (1u << (Next() % 8)));
          break;
      }
    }
    if (Next() % 8 == 0 && !out.empty()) out.resize(Next() % out.size());
    return out;
  }

private:
  std::uint32_t m_state;
};

// Runs body on an exactly sized copy of each mutation of seed.
void ForEachMutation(const Bytes& seed, std::uint32_t prngSeed,
                     const std::function<void(std::span<const std::uint8_t>)>& body) {
  Mutator mutator(prngSeed);
  for (int i = 0; i < kMutations; ++i) {
    const Bytes mutated = mutator.Mutate(seed);
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[mutated.size() + (mutated.empty() ? 1 : 0)]);
    std::copy(mutated.begin(), mutated.end(), exact.get());
    body({exact.get(), mutated.size()});
  }
}

Bytes ExifSeed(bool bigEndian) {
  ExifBlockBuilder b(bigEndian);
  b.Ascii(D::Ifd0, 271, "Maker")
      .Short(D::Ifd0, 274, 6)
      .Rational(D::Exif, 33434, 1, 125)
      .Rational(D::Exif, 37377, 7, 1, 10)
      .Undefined(D::Exif, 37500, {'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'M', 'M', 0, 42, 0, 0,
                                  0,   8,   0,   1,   0,   2, 0, 3,    0, 0, 0,   2,   0, 0,  0, 200})
      .Ascii(D::Exif, 36867, "2010:07:04 12:30:59")
      .Ascii(D::Gps, 1, "S")
      .Rationals(D::Gps, 2, {10, 1, 20, 1, 3000, 100})
      .Short(D::Ifd1, 259, 6)
      .Thumbnail({0xFF, 0xD8, 0xFF, 0xD9});
  return b.Build();
}

TEST(MutatedInput, ExifBlocksAndTheirFields) {
  for (bool bigEndian : {false, true}) {
    ForEachMutation(ExifSeed(bigEndian), bigEndian ? 7 : 11, [](std::span<const std::uint8_t> block) {
      CExifSpanSource source(block);
      std::vector<ExifItem> items;
      // A mutated header is refused with no items; either way is right.
      static_cast<void>(CExifReader::Read(source, items));
      ImageInfo info;
      for (const ExifItem& item : items) {
        if (item.value.size() != item.length) continue;
        auto record = std::make_unique<ImagePropertyRecord>();
        record->id = item.id;
        record->type = item.type;
        record->kind = ImagePropertyRecord::KindOfType(item.type);
        if (record->SetData(item.value)) info.properties.push_back(std::move(record));
      }
      info.ParseProperties();
      ImageInfo notes;
      notes.ParseMakerNote(block);
    });
  }
}

void DecodeMutations(const Bytes& seed, CodecFormat format, std::uint32_t prngSeed) {
  int decoded = 0;
  ForEachMutation(seed, prngSeed, [&](std::span<const std::uint8_t> bytes) {
    CCodecMemStream stream(bytes);
    CCodecImage image;
    if (image.Decode(stream, format)) {
      ++decoded;
      PictureOf(image);  // every pixel of the result is readable
    }
  });
  EXPECT_GT(decoded, 0);
}

TEST(MutatedInput, TgaPcxAndWbmpFiles) {
  CCodecImage rgba;
  ASSERT_NE(rgba.Create(9, 5, 24, CodecFormat::Tga), nullptr);
  ASSERT_NE(rgba.AlphaCreate(), nullptr);
  CCodecImage indexed;
  ASSERT_NE(indexed.Create(9, 5, 8, CodecFormat::Pcx), nullptr);
  CCodecImage nibbles;
  ASSERT_NE(nibbles.Create(9, 5, 4, CodecFormat::Pcx), nullptr);
  CCodecImage mono;
  ASSERT_NE(mono.Create(13, 5, 1, CodecFormat::Wbmp), nullptr);
  for (CCodecImage* image : {&rgba, &indexed, &nibbles, &mono}) {
    for (std::int32_t i = 0; i < 45; ++i) {
      image->SetPixelIndex(i % 9, i / 9, static_cast<std::uint8_t>(i * 7));
      image->SetPixelColor(i % 9, i / 9, Bgr(i, 3 * i, 200));
    }
  }
  // A run-length TGA from the gdk-pixbuf style: 4 x 2 pixels of 24 bits.
  const Bytes rleTga = {0,    0,    10, 0, 0, 0,    0, 0, 0, 0, 0, 0, 4,    0,  2,  0, 24,
                        0x20, 0x81, 1,  2, 3, 0x01, 4, 5, 6, 7, 8, 9, 0x83, 10, 11, 12};
  DecodeMutations(EncodeAs(rgba, CodecFormat::Tga), CodecFormat::Tga, 1);
  DecodeMutations(EncodeAs(indexed, CodecFormat::Tga), CodecFormat::Tga, 2);
  DecodeMutations(rleTga, CodecFormat::Tga, 3);
  DecodeMutations(EncodeAs(rgba, CodecFormat::Pcx), CodecFormat::Pcx, 4);
  DecodeMutations(EncodeAs(indexed, CodecFormat::Pcx), CodecFormat::Pcx, 5);
  DecodeMutations(EncodeAs(nibbles, CodecFormat::Pcx), CodecFormat::Pcx, 6);
  DecodeMutations(EncodeAs(mono, CodecFormat::Wbmp), CodecFormat::Wbmp, 7);
}

}  // namespace
