#include "image/codecs/CodecImageGIF.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "image/ImageLoadError.h"
#include "image/PixelBlock.h"
#include "image/codecs/CodecStream.h"
#include "image/codecs/GifLzwDecoder.h"
#include "image/codecs/GifRunEncoder.h"
#include "image/codecs/GifSubBlockReader.h"
#include "platform/LittleEndian.h"

namespace {

constexpr char kNotGif[] = "Not a GIF";
constexpr char kNoFrame[] = "GIF frame not present";
constexpr char kEmpty[] = "GIF frames are empty";
constexpr char kNotEnoughData[] = "Not enough image data";
constexpr char kNoMemory[] = "Can't allocate memory";
constexpr char kTooLarge[] = "Image too large for GIF";
constexpr char kWriteFailed[] = "Error writing GIF";

constexpr std::uint32_t kHeaderSize = 13;
constexpr std::uint32_t kDescriptorSize = 9;
constexpr std::uint32_t kMaxSide = 0xFFFF;
constexpr std::int32_t kTileWidth = 17;
constexpr std::int32_t kTileHeight = 15;
constexpr RgbQuad kWhite{255, 255, 255, 0};

struct ColourTable {
  std::array<std::uint8_t, 3 * 256> rgb{};  // R, G, B
  std::uint32_t size = 0;                   // 0: no table

  RgbQuad Colour(std::uint32_t index) const {
    return {rgb[3 * index + 2], rgb[3 * index + 1], rgb[3 * index], 0};
  }
};

// What a graphic control extension says about the image after it.
struct GraphicControl {
  std::int32_t transparentIndex = -1;
  std::uint16_t delay = 0;
  std::uint32_t disposal = 0;
};

struct ImageDescriptor {
  std::uint16_t left = 0;
  std::uint16_t top = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t packed = 0;

  bool HasLocalTable() const { return (packed & 0x80) != 0; }
  bool IsInterlaced() const { return (packed & 0x40) != 0; }
  std::uint32_t LocalTableSize() const { return 2u << (packed & 7); }
};

struct FrameSurvey {
  std::int32_t count = 0;
  std::uint16_t firstWidth = 0;
  std::uint16_t firstHeight = 0;
};

// Entries a short read does not reach are black.
void ReadColourTable(CCodecStream& stream, ColourTable& table, std::uint32_t size) {
  table.rgb.fill(0);
  table.size = size;
  static_cast<void>(stream.Read(table.rgb.data(), 1, 3 * std::size_t{size}));
}

void SkipSubBlocks(CCodecStream& stream) { CGifSubBlockReader(stream).SkipRest(); }

// After "!": a graphic control extension with its 4-byte block sets control;
// every extension is then skipped through its terminator.
void ReadExtension(CCodecStream& stream, GraphicControl& control) {
  const int label = stream.GetC();
  if (label < 0) return;
  if (label == 0xF9) {
    const int size = stream.GetC();
    if (size <= 0) return;  // 0 is the terminator
    std::array<std::uint8_t, 255> block{};
    const auto length = static_cast<std::size_t>(size);
    if (stream.Read(block.data(), 1, length) != length) return;
    if (size == 4) {
      control.disposal = (block[0] >> 2) & 7;
      control.delay = LoadLE16(&block[1]);
      control.transparentIndex = (block[0] & 1) ? block[3] : -1;
    }
  }
  SkipSubBlocks(stream);
}

// Reads blocks up to the next image descriptor, passing over other bytes;
// false at the trailer or the end of the stream.
[[nodiscard]] bool NextImage(CCodecStream& stream, GraphicControl& control, ImageDescriptor& descriptor) {
  // Every pass reads at least one byte, so the loop ends with the stream.
  for (;;) {
    const int byte = stream.GetC();
    if (byte < 0 || byte == ';') return false;
    if (byte == '!') {
      ReadExtension(stream, control);
    } else if (byte == ',') {
      std::array<std::uint8_t, kDescriptorSize> bytes{};
      if (stream.Read(bytes.data(), 1, bytes.size()) != bytes.size()) return false;
      descriptor = {LoadLE16(&bytes[0]), LoadLE16(&bytes[2]), LoadLE16(&bytes[4]), LoadLE16(&bytes[6]),
                    bytes[8]};
      return true;
    }
  }
}

// From the stream's position: the number of frames and the first one's size.
FrameSurvey SurveyFrames(CCodecStream& stream) {
  const std::int32_t position = stream.Tell();
  FrameSurvey survey;
  GraphicControl control;
  ImageDescriptor descriptor;
  ColourTable scratch;
  while (survey.count < std::numeric_limits<std::int32_t>::max() && NextImage(stream, control, descriptor)) {
    if (survey.count == 0) {
      survey.firstWidth = descriptor.width;
      survey.firstHeight = descriptor.height;
    }
    ++survey.count;
    if (descriptor.HasLocalTable()) ReadColourTable(stream, scratch, descriptor.LocalTableSize());
    // The minimum code size; at the end of the data the next NextImage stops.
    static_cast<void>(stream.GetC());
    SkipSubBlocks(stream);
  }
  // Back to where the survey began, a position the stream has held.
  static_cast<void>(stream.Seek(position, CCodecStream::kFromStart));
  return survey;
}

// Picture row of the r-th decoded row of an interlaced image of height rows.
std::uint32_t InterlacedRow(std::uint32_t r, std::uint32_t height) {
  constexpr std::array<std::uint32_t, 4> kStart = {0, 4, 2, 1};
  constexpr std::array<std::uint32_t, 4> kStep = {8, 8, 4, 2};
  for (std::size_t pass = 0; pass < kStart.size(); ++pass) {
    const std::uint32_t rows =
        kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (r < rows) return kStart[pass] + r * kStep[pass];
    r -= rows;
  }
  return height;  // not reached for r < height
}

// Stores one row of pixel bytes into bitmap row y, packed to the image's depth.
void StoreRow(CCodecImage& image, std::uint32_t y, std::span<const std::uint8_t> pixels) {
  std::uint8_t* to = image.GetBits() + std::size_t{y} * image.GetRowStride();
  switch (image.GetBitCount()) {
    case 8:
      std::memcpy(to, pixels.data(), pixels.size());
      break;
    case 4:
      std::memset(to, 0, (pixels.size() + 1) / 2);
      for (std::size_t x = 0; x < pixels.size(); ++x) {
        to[x / 2] |= static_cast<std::uint8_t>((pixels[x] & 0x0F) << ((x & 1) ? 0 : 4));
      }
      break;
    default:
      std::memset(to, 0, (pixels.size() + 7) / 8);
      for (std::size_t x = 0; x < pixels.size(); ++x) {
        to[x / 8] |= static_cast<std::uint8_t>((pixels[x] & 1) << (7 - x % 8));
      }
      break;
  }
}

void DecodeRows(CGifLzwDecoder& lzw, CGifSubBlockReader& reader, CCodecImage& frame, bool interlaced) {
  const std::uint32_t width = frame.GetWidth();
  const std::uint32_t height = frame.GetHeight();
  std::vector<std::uint8_t> row(width);
  for (std::uint32_t r = 0; r < height; ++r) {
    const std::size_t filled = lzw.Read(reader, row);
    if (filled == 0) return;
    std::fill(row.begin() + static_cast<std::ptrdiff_t>(filled), row.end(), 0);
    const std::uint32_t pictureRow = interlaced ? InterlacedRow(r, height) : r;
    StoreRow(frame, height - 1 - pictureRow, row);
    if (filled < width) return;
  }
}

// Whether the stream, from its position on, can hold the LZW data of that
// many pixels (unknown sizes pass).
bool StreamCanHold(CCodecStream& stream, std::uint64_t pixels) {
  const std::int64_t size = stream.Size();
  const std::int64_t at = stream.Tell();
  if (size < 0 || at < 0 || at > size) return true;
  return pixels <= static_cast<std::uint64_t>(size - at) * CGifLzwDecoder::kMaxPixelsPerByte;
}

// Decodes one frame of a non-zero size (the stream is at its code size
// byte). Frames above the size limits, or larger than the rest of the
// stream could code, are refused before pixel memory is taken.
const char* DecodeFrame(CCodecStream& stream, const ImageDescriptor& descriptor, const ColourTable& table,
                        const GraphicControl& control, std::uint32_t maxSide, CCodecImage& frame) {
  if (!FitsImageLimits(descriptor.width, descriptor.height, maxSide)) return kImageTooLarge;
  if (!StreamCanHold(stream, std::uint64_t{descriptor.width} * descriptor.height)) return kNotEnoughData;
  const std::int32_t bits = table.size <= 2 ? 1 : table.size <= 16 ? 4 : 8;
  if (!frame.Create(descriptor.width, descriptor.height, bits, CodecFormat::Gif)) return kNoMemory;
  const std::uint32_t capacity = frame.GetColorCount();
  for (std::uint32_t i = 0; i < std::min(table.size, capacity); ++i) {
    frame.SetPaletteColor(static_cast<std::uint8_t>(i), table.Colour(i));
  }
  if (control.transparentIndex != -1) {
    for (std::uint32_t i = table.size; i < capacity; ++i)
      frame.SetPaletteColor(static_cast<std::uint8_t>(i), kWhite);
  }
  frame.attributes.transparentIndex = control.transparentIndex;
  frame.attributes.frameDelay = control.delay;
  frame.attributes.offsetX = descriptor.left;
  frame.attributes.offsetY = descriptor.top;

  const int codeSize = stream.GetC();
  CGifSubBlockReader reader(stream);
  CGifLzwDecoder lzw(codeSize);
  if (lzw.IsValid()) DecodeRows(lzw, reader, frame, descriptor.IsInterlaced());
  reader.SkipRest();
  return nullptr;
}

bool HasPixelIndex(const CCodecImage& image, std::int32_t index) {
  if (index < 0) return false;
  for (std::int32_t y = 0; y < static_cast<std::int32_t>(image.GetHeight()); ++y) {
    for (std::int32_t x = 0; x < static_cast<std::int32_t>(image.GetWidth()); ++x) {
      if (image.GetPixelIndex(x, y) == index) return true;
    }
  }
  return false;
}

// The palette picture as 24 bits, its transparent pixels in an alpha plane.
[[nodiscard]] bool PromoteToRgb(CCodecImage& picture) {
  CCodecImage rgb(CodecFormat::Gif);
  rgb.CopyAttributes(picture);
  const auto width = static_cast<std::int32_t>(picture.GetWidth());
  const auto height = static_cast<std::int32_t>(picture.GetHeight());
  if (!rgb.Create(width, height, 24, CodecFormat::Gif)) return false;
  const std::int32_t transparent = picture.attributes.transparentIndex;
  if (HasPixelIndex(picture, transparent)) {
    if (!rgb.AlphaCreate()) return false;
    rgb.AlphaFillOpaque();
  }
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t index = picture.GetPixelIndex(x, y);
      rgb.SetPixelColor(x, y, picture.GetPaletteColor(std::uint32_t{index}));
      if (index == transparent) rgb.AlphaSet(x, y, 0);
    }
  }
  rgb.attributes.transparentIndex = -1;
  picture.TakeFrom(rgb);
  return true;
}

// Paints the frame's opaque pixels over the picture at the frame's position.
// Indexes are painted while the picture's palette begins with the frame's
// colour table (the entries beyond it differ only by the white fill of a
// transparent frame); otherwise colours.
[[nodiscard]] bool Overlay(CCodecImage& picture, CCodecImage& frame, std::uint32_t tableSize) {
  const auto frameWidth = static_cast<std::int32_t>(frame.GetWidth());
  const auto frameHeight = static_cast<std::int32_t>(frame.GetHeight());
  const auto height = static_cast<std::int32_t>(picture.GetHeight());
  const std::int32_t left = frame.attributes.offsetX;
  const std::int32_t top = frame.attributes.offsetY;
  const std::int32_t transparent = frame.attributes.transparentIndex;
  if (left == 0 && top == 0 && frame.GetWidth() == picture.GetWidth() &&
      frame.GetHeight() == picture.GetHeight() && !HasPixelIndex(frame, transparent)) {
    picture.TakeFrom(frame);
    return true;
  }
  const auto palette = picture.GetPalette();
  const auto framePalette = frame.GetPalette();
  const std::size_t tableBytes = 4 * std::size_t{tableSize};
  const bool samePalette =
      !palette.empty() && palette.size() == framePalette.size() && tableBytes <= palette.size() &&
      std::equal(framePalette.begin(), framePalette.begin() + tableBytes, palette.begin());
  if (!samePalette && !palette.empty() && !PromoteToRgb(picture)) return false;
  for (std::int32_t fy = 0; fy < frameHeight; ++fy) {
    const std::int32_t y = height - 1 - (top + fy);
    for (std::int32_t fx = 0; fx < frameWidth; ++fx) {
      const std::uint8_t index = frame.GetPixelIndex(fx, frameHeight - 1 - fy);
      if (index == transparent) continue;
      if (samePalette) {
        picture.SetPixelIndex(left + fx, y, index);
      } else {
        picture.SetPixelColor(left + fx, y, frame.GetPaletteColor(std::uint32_t{index}));
        picture.AlphaSet(left + fx, y, 255);
      }
    }
  }
  return true;
}

// Every pixel of the frame, in its colour, into the screen-sized canvas.
void PaintTrueColour(CCodecImage& canvas, const CCodecImage& frame) {
  const auto frameWidth = static_cast<std::int32_t>(frame.GetWidth());
  const auto frameHeight = static_cast<std::int32_t>(frame.GetHeight());
  const auto height = static_cast<std::int32_t>(canvas.GetHeight());
  for (std::int32_t fy = 0; fy < frameHeight; ++fy) {
    for (std::int32_t fx = 0; fx < frameWidth; ++fx) {
      canvas.SetPixelColor(frame.attributes.offsetX + fx, height - 1 - (frame.attributes.offsetY + fy),
                           frame.GetPixelColor(fx, frameHeight - 1 - fy));
    }
  }
}

const char* DecodeGif(CCodecStream& stream, CCodecImageGIF& codec, CCodecImage& picture) {
  std::array<std::uint8_t, kHeaderSize> header{};
  if (stream.Read(header.data(), 1, header.size()) != header.size() ||
      std::memcmp(header.data(), "GIF8", 4) != 0) {
    return kNotGif;
  }
  const std::uint16_t screenWidth = LoadLE16(&header[6]);
  const std::uint16_t screenHeight = LoadLE16(&header[8]);
  ColourTable global;
  if (header[10] & 0x80) ReadColourTable(stream, global, 2u << (header[10] & 7));

  const FrameSurvey survey = SurveyFrames(stream);
  codec.attributes.frameCount = survey.count;
  std::int32_t target = codec.attributes.frameIndex;
  if (target < 0 || target >= survey.count) return kNoFrame;

  // The encoder's tiles: no global table and a first frame that is not the
  // whole screen.
  const bool trueColour = global.size == 0 && screenWidth > 0 && screenHeight > 0 &&
                          (survey.firstWidth != screenWidth || survey.firstHeight != screenHeight);
  CCodecImage canvas(CodecFormat::Gif);
  if (trueColour) {
    target = survey.count - 1;
    if (!FitsImageLimits(screenWidth, screenHeight, codec.attributes.maxSide)) return kImageTooLarge;
    if (!StreamCanHold(stream, std::uint64_t{screenWidth} * screenHeight)) return kNotEnoughData;
    if (!canvas.Create(screenWidth, screenHeight, 24, CodecFormat::Gif)) return kNoMemory;
  }

  GraphicControl control;
  GraphicControl lastControl;
  RgbQuad lastTransparentColour;
  ColourTable local;
  ImageDescriptor descriptor;
  for (std::int32_t i = 0; NextImage(stream, control, descriptor); ++i) {
    const ColourTable* table = &global;
    if (descriptor.HasLocalTable()) {
      ReadColourTable(stream, local, descriptor.LocalTableSize());
      table = &local;
    }
    if (descriptor.width == 0 || descriptor.height == 0) {
      // An empty frame leaves the picture as it is; its minimum code size is
      // skipped, and at the end of the data the next NextImage stops.
      static_cast<void>(stream.GetC());
      SkipSubBlocks(stream);
    } else {
      CCodecImage frame(CodecFormat::Gif);
      if (const char* error =
              DecodeFrame(stream, descriptor, *table, control, codec.attributes.maxSide, frame)) {
        return error;
      }
      if (control.transparentIndex >= 0) {
        lastTransparentColour = frame.GetPaletteColor(static_cast<std::uint32_t>(control.transparentIndex));
      }
      if (trueColour) {
        PaintTrueColour(canvas, frame);
      } else if (i > 0 && lastControl.disposal <= 1 && !picture.IsEmpty()) {
        if (!Overlay(picture, frame, table->size)) return kNoMemory;
      } else {
        picture.TakeFrom(frame);
      }
    }
    lastControl = control;
    control = GraphicControl{};
    if (i == target) break;
  }

  if (trueColour) {
    if (lastControl.transparentIndex >= 0) {
      canvas.attributes.transparentColor = lastTransparentColour;
      canvas.attributes.transparentIndex = 0;
    }
    picture.TakeFrom(canvas);
  }
  if (picture.IsEmpty()) return kEmpty;
  picture.attributes.frameDelay = lastControl.delay;
  picture.attributes.frameCount = survey.count;
  picture.attributes.frameIndex = target;
  return nullptr;
}

// ---- Encoding ----------------------------------------------------------------

[[nodiscard]] bool WriteBytes(CCodecStream& stream, ByteWriter& out) {
  const auto& bytes = out.bytes();
  const bool written = bytes.empty() || stream.Write(bytes.data(), bytes.size(), 1) == 1;
  out = ByteWriter();
  return written;
}

void PutScreen(ByteWriter& out, const CCodecImage& image, std::uint8_t packed) {
  for (const char c : {'G', 'I', 'F', '8', '9', 'a'}) out.U8(static_cast<std::uint8_t>(c));
  out.U16(static_cast<std::uint16_t>(image.GetWidth()));
  out.U16(static_cast<std::uint16_t>(image.GetHeight()));
  out.U8(packed);
  out.U8(0);  // background index
  out.U8(0);  // aspect ratio
}

void PutGraphicControl(ByteWriter& out, bool transparent, std::uint16_t delay,
                       std::uint8_t transparentIndex) {
  out.U8('!');
  out.U8(0xF9);
  out.U8(4);
  out.U8(transparent ? 1 : 0);  // disposal method 0
  out.U16(delay);
  out.U8(transparentIndex);
  out.U8(0);
}

void PutDescriptor(ByteWriter& out, std::int32_t left, std::int32_t top, std::uint32_t width,
                   std::uint32_t height, std::uint8_t packed) {
  out.U8(',');
  out.U16(static_cast<std::uint16_t>(std::clamp<std::int32_t>(left, 0, kMaxSide)));
  out.U16(static_cast<std::uint16_t>(std::clamp<std::int32_t>(top, 0, kMaxSide)));
  out.U16(static_cast<std::uint16_t>(width));
  out.U16(static_cast<std::uint16_t>(height));
  out.U8(packed);
}

// The image data of indexes, rows from the top, then the block terminator.
template <typename IndexAt>
[[nodiscard]] bool WriteImageData(CCodecStream& stream, int minimumCodeSize, std::int32_t width,
                                  std::int32_t height, IndexAt&& indexAt) {
  ByteWriter out;
  out.U8(static_cast<std::uint8_t>(minimumCodeSize));
  if (!WriteBytes(stream, out)) return false;
  CGifRunEncoder encoder(stream, minimumCodeSize + 1);
  for (std::int32_t row = 0; row < height; ++row) {
    for (std::int32_t x = 0; x < width; ++x) encoder.Put(indexAt(x, row));
  }
  if (!encoder.Finish()) return false;
  out.U8(0);
  return WriteBytes(stream, out);
}

[[nodiscard]] bool EncodePalette(CCodecStream& stream, const CCodecImage& image) {
  const std::uint32_t bits = image.GetBitCount();
  const auto width = static_cast<std::int32_t>(image.GetWidth());
  const auto height = static_cast<std::int32_t>(image.GetHeight());
  ByteWriter out;
  PutScreen(out, image,
            static_cast<std::uint8_t>(static_cast<std::uint8_t>(((bits - 1) | 0xFC) << 5) | (bits - 1)));
  for (std::uint32_t i = 0; i < image.GetColorCount(); ++i) {
    const RgbQuad entry = image.GetPaletteColor(i);
    out.U8(entry.red);
    out.U8(entry.green);
    out.U8(entry.blue);
  }
  const std::int32_t transparent = image.attributes.transparentIndex;
  PutGraphicControl(out, transparent != -1, image.attributes.frameDelay,
                    static_cast<std::uint8_t>(transparent));
  PutDescriptor(out, image.attributes.offsetX, image.attributes.offsetY, image.GetWidth(), image.GetHeight(),
                0);
  if (!WriteBytes(stream, out)) return false;
  const int minimumCodeSize = std::max<int>(static_cast<int>(bits), 2);
  if (!WriteImageData(stream, minimumCodeSize, width, height, [&](std::int32_t x, std::int32_t row) {
        return image.GetPixelIndex(x, height - 1 - row);
      })) {
    return false;
  }
  out.U8(';');
  return WriteBytes(stream, out);
}

// First palette index of each colour in a tile's table (at most 256
// entries), by open addressing.
class TileColourIndex {
public:
  void Clear() { m_used.fill(false); }
  // The index stored for colour, storing index when the colour is new.
  std::uint8_t Find(std::uint32_t colour, std::uint8_t index) {
    std::uint32_t slot = (colour * 2654435761u) >> (32 - kBits);
    while (m_used[slot] && m_colours[slot] != colour) slot = (slot + 1) & (kSlots - 1);
    if (!m_used[slot]) {
      m_used[slot] = true;
      m_colours[slot] = colour;
      m_indexes[slot] = index;
    }
    return m_indexes[slot];
  }

private:
  static constexpr int kBits = 9;
  static constexpr std::uint32_t kSlots = 1u << kBits;
  std::array<bool, kSlots> m_used{};
  std::array<std::uint32_t, kSlots> m_colours{};
  std::array<std::uint8_t, kSlots> m_indexes{};
};

std::uint32_t ColourKey(RgbQuad c) {
  return (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | c.blue;
}

// A 24-bit image as tiles of 17 x 15 pixels, each with a local table whose
// entry k = row x 17 + column + 1 is that pixel's colour and entry 0 the
// transparent colour (or black), so that every tile is lossless.
[[nodiscard]] bool EncodeTrueColour(CCodecStream& stream, const CCodecImage& image) {
  const auto width = static_cast<std::int32_t>(image.GetWidth());
  const auto height = static_cast<std::int32_t>(image.GetHeight());
  const bool transparent = image.attributes.transparentIndex >= 0;
  const RgbQuad background = transparent ? image.GetTransparentColor() : RgbQuad{};
  ByteWriter out;
  PutScreen(out, image, 0x11);
  if (!WriteBytes(stream, out)) return false;

  std::array<RgbQuad, 256> palette{};
  std::array<std::uint8_t, kTileWidth * kTileHeight> indexes{};
  TileColourIndex lookup;
  for (std::int32_t top = 0; top < height; top += kTileHeight) {
    for (std::int32_t left = 0; left < width; left += kTileWidth) {
      const std::int32_t tileWidth = std::min(kTileWidth, width - left);
      const std::int32_t tileHeight = std::min(kTileHeight, height - top);
      palette.fill(RgbQuad{});
      palette[0] = background;
      lookup.Clear();
      lookup.Find(ColourKey(background), 0);
      for (std::int32_t row = 0; row < tileHeight; ++row) {
        for (std::int32_t column = 0; column < tileWidth; ++column) {
          const RgbQuad colour = image.GetPixelColor(left + column, height - 1 - (top + row));
          const auto entry = static_cast<std::uint8_t>(row * kTileWidth + column + 1);
          palette[entry] = colour;
          indexes[row * kTileWidth + column] = lookup.Find(ColourKey(colour), entry);
        }
      }
      PutGraphicControl(out, transparent, 0, 0);
      PutDescriptor(out, left, top, static_cast<std::uint32_t>(tileWidth),
                    static_cast<std::uint32_t>(tileHeight), 0x87);
      for (const RgbQuad& entry : palette) {
        out.U8(entry.red);
        out.U8(entry.green);
        out.U8(entry.blue);
      }
      if (!WriteBytes(stream, out) ||
          !WriteImageData(stream, 8, tileWidth, tileHeight,
                          [&](std::int32_t x, std::int32_t row) { return indexes[row * kTileWidth + x]; })) {
        return false;
      }
    }
  }
  out.U8(';');
  return WriteBytes(stream, out);
}

}  // namespace

std::int32_t CCodecImageGIF::CountFrames(CCodecStream& stream) { return SurveyFrames(stream).count; }

bool CCodecImageGIF::Decode(CCodecStream& stream) {
  CCodecImage picture(CodecFormat::Gif);
  if (const char* error = DecodeGif(stream, *this, picture)) {
    SetLastError(error);
    return false;
  }
  picture.attributes.maxSide = attributes.maxSide;
  TakeFrom(picture);
  return true;
}

bool CCodecImageGIF::Encode(CCodecStream& stream) {
  if (IsEmpty()) {
    SetLastError("Empty image");
    return false;
  }
  if (GetWidth() > kMaxSide || GetHeight() > kMaxSide) {
    SetLastError(kTooLarge);
    return false;
  }
  if (!(GetBitCount() > 8 ? EncodeTrueColour(stream, *this) : EncodePalette(stream, *this))) {
    SetLastError(kWriteFailed);
    return false;
  }
  return true;
}
