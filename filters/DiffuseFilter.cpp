#include "filters/DiffuseFilter.h"

#include <algorithm>
#include <new>

#include "algorithms/AlgorithmThread.h"
#include "algorithms/GaussBlur.h"
#include "platform/LittleEndian.h"

void ValidateDiffuseParams(DiffuseParams& block) {
  if (block.mode != 1) block.mode = 0;
  if (!(block.radius >= DiffuseParams::kMinRadius)) block.radius = DiffuseParams::kMinRadius;  // NaN too
  block.radius = std::min(block.radius, DiffuseParams::kMaxRadius);
  block.amount = std::clamp(block.amount, 0, DiffuseParams::kMaxPercent);
  block.highlight = std::clamp(block.highlight, 0, DiffuseParams::kMaxPercent);
  block.shadow = std::clamp(block.shadow, 0, DiffuseParams::kMaxPercent);
}

std::array<std::uint8_t, sizeof(DiffuseParams)> DiffuseParamsToBytes(const DiffuseParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.U8(block.mode);
  w.Zeros(sizeof block.padding0);
  w.F64(block.radius);
  w.I32(block.amount);
  w.I32(block.highlight);
  w.I32(block.shadow);
  w.Zeros(sizeof block.padding1);
  std::array<std::uint8_t, sizeof(DiffuseParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int DiffuseParamsFromBytes(std::span<const std::uint8_t> bytes, DiffuseParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(DiffuseParams));
  if (bytes.size() < stored) return 0;
  // A shorter (older) record leaves the remaining fields at the fresh block's.
  std::array<std::uint8_t, sizeof(DiffuseParams)> full = DiffuseParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  DiffuseParams read;
  r.U16();
  read.mode = r.U8();
  r.Skip(sizeof read.padding0);
  read.radius = r.F64();
  read.amount = r.I32();
  read.highlight = r.I32();
  read.shadow = r.I32();
  ValidateDiffuseParams(read);
  block = read;
  return 1;
}

void CDiffuseFilter::BuildRamp(const DiffuseParams& block, ToneTableSpan ramp) {
  std::int64_t lower = 0, upper = 0;
  if (block.mode == 1) {
    lower = 55000 - 100 * std::int64_t{block.highlight};
    upper = 60000 - 30 * std::int64_t{block.highlight};
  } else {
    lower = 30 * std::int64_t{block.shadow};
    upper = 65535 - 200 * std::int64_t{block.highlight};
  }
  for (std::int64_t v = 0; v < 65536; ++v) {
    std::int64_t out = 65535;
    if (v < lower) {
      out = 0;
    } else if (v < upper) {
      out = (v - lower) * 65535 / (upper - lower);
    }
    ramp[static_cast<std::size_t>(v)] = static_cast<std::uint16_t>(out);
  }
}

int CDiffuseFilter::Process() {
  // The blend reads source rows after the target's are written.
  if (!m_source || m_source->IsEmpty() || !m_target || m_target == m_source) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateDiffuseParams(m_block);
  m_ramp.reset(new (std::nothrow) ToneTable[1]);
  if (!m_ramp) return 0;
  BuildRamp(m_block, m_ramp[0]);
  // The target holds the ramped picture, the blur goes to m_highlights, and
  // the blend of source and blur comes back into the target.
  if (!m_target->Create(m_source->width, m_source->height)) return 0;
  m_pass = Pass::kRamp;
  int done = RunRowPass(0, 10);
  if (done) {
    CGaussBlur blur;
    blur.NestIn(*this, 10, 70);
    const GaussBlurParams params{m_block.radius};
    blur.m_source = m_target;
    blur.m_target = &m_highlights;
    blur.m_params = &params;
    done = blur.Process();
  }
  if (done) {
    m_pass = Pass::kCombine;
    done = RunRowPass(70, 100);
  }
  m_highlights.Free();
  m_ramp.reset();
  // Stripes a cancel skipped hold the ramp or nothing at all.
  if (done && theAlgorithmThread.IsCancelRequested()) return m_target->CopyFrom(*m_source);
  return done;
}

int CDiffuseFilter::ProcessStripe(StripeTask* task) {
  if (!task || !m_source || !m_target) return 0;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height) return 0;
  std::uint32_t first = 0, end = 0;
  OwnRows(*task, source.height, first, end);
  const std::size_t count = std::size_t{source.width} * (end - first);
  const std::uint16_t* in = source.Row(first);
  std::uint16_t* out = target.Row(first);
  if (m_pass == Pass::kRamp) {
    if (!m_ramp) return 0;
    const ToneTable& ramp = m_ramp[0];
    for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) {
      out[0] = ramp[in[0]];
      out[1] = ramp[in[1]];
      out[2] = ramp[in[2]];
      out[3] = in[3];
    }
    return 1;
  }
  if (m_highlights.width != source.width || m_highlights.height != source.height) return 0;
  const std::uint16_t* glow = m_highlights.Row(first);
  const std::uint32_t amount = static_cast<std::uint32_t>(m_block.amount);
  if (m_block.mode == 1) {
    for (std::size_t i = 0; i < count; ++i, in += 4, glow += 4, out += 4) {
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<std::uint16_t>(std::min(amount * glow[c] / 100 + in[c], 65535u));
      out[3] = in[3];
    }
  } else {
    const std::uint32_t rest = 100 - amount;
    for (std::size_t i = 0; i < count; ++i, in += 4, glow += 4, out += 4) {
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<std::uint16_t>((glow[c] * amount + in[c] * rest) / 100);
      out[3] = in[3];
    }
  }
  return 1;
}
