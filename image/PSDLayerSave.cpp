#include "image/PSDLayerSave.h"

#include <array>
#include <cstring>
#include <initializer_list>

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "platform/AtomicFile.h"

namespace {

constexpr std::uint32_t kLayerRecordBytes = 118;
// The layer count and record after the length field, before the channels.
constexpr std::uint32_t kLayerInfoHead = 4 + 2 + kLayerRecordBytes;
constexpr std::uint32_t kBlockSlack = 374;
constexpr std::uint32_t kExtraDataBytes = 60;
constexpr std::uint32_t kBlendingRanges = 10;
// B, G, R, A bytes of a pixel in channel order A, R, G, B.
constexpr std::array<int, 4> kChannelBytes = {3, 2, 1, 0};
constexpr std::array<std::int16_t, 4> kChannelIds = {-1, 0, 1, 2};

class BigEndianCursor {
public:
  explicit BigEndianCursor(std::uint8_t* at) : m_at(at) {}
  void U8(std::uint8_t v) { *m_at++ = v; }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v >> 8));
    U8(static_cast<std::uint8_t>(v));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v >> 16));
    U16(static_cast<std::uint16_t>(v));
  }
  void Text(const char* text) {
    const std::size_t n = std::strlen(text);
    std::memcpy(m_at, text, n);
    m_at += n;
  }
  void Skip(std::size_t n) { m_at += n; }

private:
  std::uint8_t* m_at;
};

[[nodiscard]] bool WriteBigEndian(CAtomicFile& file,
                                  std::initializer_list<std::pair<std::uint32_t, int>> fields) {
  std::array<std::uint8_t, 64> bytes{};
  BigEndianCursor cursor(bytes.data());
  std::size_t size = 0;
  for (const auto& [value, width] : fields) {
    width == 2 ? cursor.U16(static_cast<std::uint16_t>(value)) : cursor.U32(value);
    size += static_cast<std::size_t>(width);
  }
  return file.Write(bytes.data(), size);
}

}  // namespace

CPSDLayerSave::LayerInfo CPSDLayerSave::BuildLayerInfo(const CBgraImage& image) {
  LayerInfo info;
  const std::uint64_t pixels = std::uint64_t{image.width} * image.height;
  const std::uint64_t channelBytes = ChannelBlockBytes(pixels);
  const std::uint64_t allocated = std::uint64_t{image.byteSize} + kBlockSlack;
  info.block = AllocPixelBlock(allocated);
  if (!info.block) return info;
  std::memset(info.block.get(), 0, static_cast<std::size_t>(allocated));
  info.size = static_cast<std::uint32_t>(kLayerInfoHead + 4 * channelBytes);

  BigEndianCursor out(info.block.get());
  out.U32(info.size - 4);
  out.U16(0xFFFF);  // -1: the first alpha channel holds the merged transparency
  out.U32(0);
  out.U32(0);
  out.U32(image.height);
  out.U32(image.width);
  out.U16(4);
  for (const std::int16_t id : kChannelIds) {
    out.U16(static_cast<std::uint16_t>(id));
    out.U32(static_cast<std::uint32_t>(channelBytes));
  }
  out.Text("8BIMnorm");
  out.U8(255);   // opacity
  out.U8(0);     // clipping
  out.U8(0x20);  // flags
  out.U8(0);     // filler
  out.U32(kExtraDataBytes);
  out.U32(0);  // layer mask data
  out.U32(4 * kBlendingRanges);
  for (std::uint32_t i = 0; i < kBlendingRanges; ++i) {
    out.U16(0x0000);
    out.U16(0xFFFF);
  }
  out.U8(5);
  out.Text("Layer");
  out.Skip(6);  // padding of the name to a multiple of 4

  std::uint8_t* channel = info.block.get() + kLayerInfoHead;
  for (const int byte : kChannelBytes) {
    std::uint8_t* to = channel + 2;  // after the compression code 0 (raw)
    for (std::uint64_t i = 0; i < pixels; ++i) to[i] = image.pixels[4 * i + static_cast<std::uint64_t>(byte)];
    channel += channelBytes;
  }
  return info;
}

int CPSDLayerSave::Save(const std::filesystem::path& path, const CBgraImage16& image) {
  CBgraImage bytes;
  if (image.IsEmpty() || !image.ToBgraImageDithered(bytes)) return 0;
  LayerInfo info = BuildLayerInfo(bytes);
  if (!info.block) return 0;

  CAtomicFile file;
  if (!file.Open(path) || !file.Write("8BPS", 4) ||
      !WriteBigEndian(file, {{1, 2},
                             {0, 4},
                             {0, 2},
                             {4, 2},
                             {bytes.height, 4},
                             {bytes.width, 4},
                             {8, 2},
                             {3, 2},
                             {0, 4},
                             {0, 4},
                             {info.size + 4, 4}}) ||
      !file.Write(info.block.get(), info.size) || !WriteBigEndian(file, {{0, 4}, {0, 2}})) {
    return 0;
  }
  // The merged planes R, G, B, A reuse the block, which holds at least 4 N
  // bytes.
  const std::uint64_t pixels = std::uint64_t{bytes.width} * bytes.height;
  std::uint8_t* plane = info.block.get();
  for (const int byte : {2, 1, 0, 3}) {
    for (std::uint64_t i = 0; i < pixels; ++i)
      plane[i] = bytes.pixels[4 * i + static_cast<std::uint64_t>(byte)];
    plane += pixels;
  }
  return file.Write(info.block.get(), static_cast<std::size_t>(4 * pixels)) && file.Commit() ? 1 : 0;
}
