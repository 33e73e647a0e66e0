#include "algorithms/tone/ColorMixer.h"

#include <algorithm>

#include "platform/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = sizeof(ColorMixerParams);

// One output row, with the constant already in 16-bit units.
struct Mix {
  std::int32_t red, green, blue, constant;
  explicit Mix(const ColorMixerParams::Row& row)
      : red(row.red), green(row.green), blue(row.blue), constant(row.constant * 65535 / 100) {}
  std::uint16_t Of(std::int32_t r, std::int32_t g, std::int32_t b) const {
    return static_cast<std::uint16_t>(
        std::clamp((r * red + g * green + b * blue) / 100 + constant, 0, 65535));
  }
};

void WriteRow(ByteWriter& w, const ColorMixerParams::Row& row) {
  w.I32(row.red);
  w.I32(row.green);
  w.I32(row.blue);
  w.I32(row.constant);
}

ColorMixerParams::Row ReadRow(ByteReader& r) {
  ColorMixerParams::Row row;
  row.red = r.I32();
  row.green = r.I32();
  row.blue = r.I32();
  row.constant = r.I32();
  return row;
}

void ClampRow(ColorMixerParams::Row& row) {
  constexpr std::int32_t limit = ColorMixerParams::kLimit;
  for (std::int32_t* v : {&row.red, &row.green, &row.blue, &row.constant}) *v = std::clamp(*v, -limit, limit);
}

}  // namespace

void ValidateColorMixerParams(ColorMixerParams& block) {
  block.mode = block.mode != 0 ? 1 : 0;
  for (ColorMixerParams::Row* row : {&block.redOut, &block.greenOut, &block.blueOut, &block.lumaOut}) {
    ClampRow(*row);
  }
}

std::array<std::uint8_t, kBlockSize> ColorMixerParamsToBytes(const ColorMixerParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.reserved0);
  w.I32(block.mode);
  for (const ColorMixerParams::Row* row : {&block.redOut, &block.greenOut, &block.blueOut, &block.lumaOut}) {
    WriteRow(w, *row);
  }
  std::array<std::uint8_t, kBlockSize> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int ColorMixerParamsFromBytes(std::span<const std::uint8_t> bytes, ColorMixerParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), kBlockSize);
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, kBlockSize> merged = ColorMixerParamsToBytes(ColorMixerParams{});
  std::copy_n(bytes.begin(), stored, merged.begin());
  ByteReader r(merged);
  ColorMixerParams read;
  r.Skip(2 + sizeof read.reserved0);  // the size word becomes 72
  read.mode = r.I32();
  read.redOut = ReadRow(r);
  read.greenOut = ReadRow(r);
  read.blueOut = ReadRow(r);
  read.lumaOut = ReadRow(r);
  if (!r.ok()) return 0;
  ValidateColorMixerParams(read);
  block = read;
  return 1;
}

int CColorMixer::Process() {
  if (!m_params || !m_source || m_source->IsEmpty() || !m_target) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateColorMixerParams(m_block);
  int done = 0;
  if (m_block.mode == 0) {
    done = MixChannels(*m_source, *m_target);
  } else {
    // Only the luminance is computed from the source: the target starts as
    // its copy, which keeps the chroma.
    done = m_target->CopyFrom(*m_source) && MixLuminance(*m_source, *m_target);
  }
  if (done) SetProgress(100);
  return done;
}

int CColorMixer::MixChannels(const CBgraImage16& source, CBgraImage16& target) const {
  if (source.IsEmpty()) return 0;
  if (&target != &source && !target.Create(source.width, source.height)) return 0;
  const Mix red(m_block.redOut), green(m_block.greenOut), blue(m_block.blueOut);
  const std::size_t count = std::size_t{source.width} * source.height;
  const std::uint16_t* in = source.pixels;
  std::uint16_t* out = target.pixels;
  for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) {
    const std::int32_t b = in[0], g = in[1], r = in[2], a = in[3];
    out[0] = blue.Of(r, g, b);
    out[1] = green.Of(r, g, b);
    out[2] = red.Of(r, g, b);
    out[3] = static_cast<std::uint16_t>(a);
  }
  return 1;
}

int CColorMixer::MixLuminance(const CBgraImage16& source, CBgraImage16& target) const {
  if (source.IsEmpty() || target.IsEmpty() || source.width != target.width ||
      source.height != target.height) {
    return 0;
  }
  // The mix reads the source's R, G and B after the target has become YCbCr:
  // in place, they are kept aside first.
  CBgraImage16 kept;
  const CBgraImage16* from = &source;
  if (&source == &target) {
    if (!kept.CopyFrom(source)) return 0;
    from = &kept;
  }
  const Mix luma(m_block.lumaOut);
  target.RgbToYcc();
  const std::size_t count = std::size_t{source.width} * source.height;
  const std::uint16_t* in = from->pixels;
  std::uint16_t* out = target.pixels;
  for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) out[2] = luma.Of(in[2], in[1], in[0]);
  target.YccToRgb();
  return 1;
}
