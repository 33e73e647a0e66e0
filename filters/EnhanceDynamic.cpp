#include "filters/EnhanceDynamic.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "algorithms/GaussBlur.h"
#include "algorithms/tone/ApplyToneTables.h"
#include "platform/LittleEndian.h"

namespace {

std::uint32_t Grey(const std::uint16_t* p) {
  return (6 * std::uint32_t{p[1]} + 3 * std::uint32_t{p[2]} + p[0]) / 10;
}

}  // namespace

void ValidateEnhanceDynamicParams(EnhanceDynamicParams& block) {
  block.shadow = std::clamp(block.shadow, 0, EnhanceDynamicParams::kMaxAmount);
  block.highlight = std::clamp(block.highlight, 0, EnhanceDynamicParams::kMaxAmount);
}

std::array<std::uint8_t, sizeof(EnhanceDynamicParams)> EnhanceDynamicParamsToBytes(
    const EnhanceDynamicParams& block) {
  ByteWriter w;
  w.U16(block.size);
  w.Zeros(sizeof block.padding);
  w.I32(block.method);
  w.I32(block.shadow);
  w.I32(block.highlight);
  std::array<std::uint8_t, sizeof(EnhanceDynamicParams)> bytes{};
  std::copy_n(w.bytes().begin(), bytes.size(), bytes.begin());
  return bytes;
}

int EnhanceDynamicParamsFromBytes(std::span<const std::uint8_t> bytes, EnhanceDynamicParams& block) {
  if (bytes.size() < 2) return 0;
  const std::size_t stored = std::min<std::size_t>(LoadLE16(bytes.data()), sizeof(EnhanceDynamicParams));
  if (bytes.size() < stored) return 0;
  std::array<std::uint8_t, sizeof(EnhanceDynamicParams)> full = EnhanceDynamicParamsToBytes({});
  std::copy_n(bytes.begin(), stored, full.begin());
  ByteReader r(full);
  EnhanceDynamicParams read;
  r.U16();
  r.Skip(sizeof read.padding);
  read.method = r.I32();
  read.shadow = r.I32();
  read.highlight = r.I32();
  ValidateEnhanceDynamicParams(read);
  block = read;
  return 1;
}

void CEnhanceDynamic::BuildCurve(std::int32_t shadow, std::int32_t highlight, ToneTableSpan table) {
  const std::int64_t a = shadow, b = highlight;
  const double y1 = static_cast<double>((a * 8000 + 640000) / 80);
  const double y3 = static_cast<double>(65536 - (b + 80) * 8000 / 80);
  struct Knot {
    double x, y, slope;
  };
  const std::array<Knot, 5> knots = {{
      {0, 0, a != 0 ? 2 * y1 / 8000 : 1.0},
      {8000, y1, 1.0},
      {32768, 32768, (y3 - y1) / 49355},
      {57355, y3, 1.0},
      {65535, 65535, b != 0 ? 2 * (65535 - y3) / 8180 : 1.0},
  }};
  for (std::size_t k = 0; k + 1 < knots.size(); ++k) {
    const Knot& p = knots[k];
    const Knot& q = knots[k + 1];
    const double h = q.x - p.x;
    for (auto v = static_cast<std::int64_t>(p.x); v <= static_cast<std::int64_t>(q.x); ++v) {
      const double t = (static_cast<double>(v) - p.x) / h;
      const double t2 = t * t, t3 = t2 * t;
      const double y = (2 * t3 - 3 * t2 + 1) * p.y + (t3 - 2 * t2 + t) * h * p.slope +
                       (-2 * t3 + 3 * t2) * q.y + (t3 - t2) * h * q.slope;
      // Amounts far beyond the dialog's push the curve past either end.
      table[static_cast<std::size_t>(v)] = static_cast<std::uint16_t>(std::clamp(y, 0.0, 65535.0));
    }
  }
}

double CEnhanceDynamic::ShadowGain(std::int32_t shadow) { return std::max(1.0, shadow / 20.0); }

std::uint8_t CEnhanceDynamic::ShadowWeight(std::uint32_t grey) {
  if (grey < 5000) return 255;
  if (grey < 15000) return static_cast<std::uint8_t>((15000 - grey) * 255 / 10000);
  return 0;
}

std::uint8_t CEnhanceDynamic::HighlightWeight(std::uint32_t grey) {
  if (grey < 25000) return 0;
  if (grey < 45000) return static_cast<std::uint8_t>((grey - 25000) * 255 / 20000);
  return 255;
}

int CEnhanceDynamic::Process() {
  if (!m_source || m_source->IsEmpty() || !m_target) return 0;
  if (!ReadParamBlock(m_block)) return 0;
  ValidateEnhanceDynamicParams(m_block);
  if (!m_target->CopyFrom(*m_source)) return 0;
  if (m_block.shadow == 0 && m_block.highlight == 0) return 1;
  if (m_block.method == 0) return ApplyCurve();
  if (m_block.method == 1) return ApplyLocal();
  return 1;
}

int CEnhanceDynamic::ApplyCurve() {
  m_tables.reset(new (std::nothrow) ToneTable[1]);
  if (!m_tables) return 0;
  BuildCurve(m_block.shadow, m_block.highlight, m_tables[0]);
  m_pass = Pass::kCurve;
  const int done = RunRowPass(0, 100, 1, OnCancel::kFinishAll);
  m_tables.reset();
  return done;
}

int CEnhanceDynamic::ApplyLocal() {
  const CBgraImage16& source = *m_source;
  m_tables.reset(new (std::nothrow) ToneTable[2]);
  if (!m_tables || !m_shadowMask.Create(source.width, source.height) ||
      !m_highlightMask.Create(source.width, source.height)) {
    m_tables.reset();
    return 0;
  }
  FillIdentity(m_tables[0]);
  FillIdentity(m_tables[1]);
  if (!ApplyLutGain(m_tables[0], ShadowGain(m_block.shadow), 50000) ||
      !ApplyLutGain(m_tables[1], 25.0 / (m_block.highlight + 25), 32768)) {
    m_tables.reset();
    return 0;
  }

  m_pass = Pass::kMasks;
  int done = RunRowPass(0, 20, 1, OnCancel::kFinishAll);
  if (done) {
    const double radius = std::min(source.width, source.height) / 15.0;
    CGaussBlur blur;
    done = blur.BlurPlane(m_shadowMask, m_shadowMask, radius) &&
           blur.BlurPlane(m_highlightMask, m_highlightMask, radius);
    SetProgress(60);
  }
  if (done) {
    m_pass = Pass::kBlend;
    done = RunRowPass(60, 100, 1, OnCancel::kFinishAll);
  }
  m_tables.reset();
  m_shadowMask.Free();
  m_highlightMask.Free();
  return done;
}

int CEnhanceDynamic::ProcessStripe(StripeTask* task) {
  if (!task || !m_source || !m_target || !m_tables) return 0;
  const CBgraImage16& source = *m_source;
  CBgraImage16& target = *m_target;
  if (target.width != source.width || target.height != source.height) return 0;
  std::uint32_t first = 0, end = 0;
  OwnRows(*task, source.height, first, end);
  const std::size_t count = std::size_t{source.width} * (end - first);
  const std::uint16_t* in = source.Row(first);
  std::uint16_t* out = target.Row(first);
  if (m_pass == Pass::kCurve) {
    ApplyToneTables(in, out, count, m_tables[0], m_tables[0], m_tables[0]);
    return 1;
  }
  if (m_shadowMask.width != source.width || m_shadowMask.height != source.height ||
      m_highlightMask.width != source.width || m_highlightMask.height != source.height) {
    return 0;
  }
  std::uint8_t* shadow = m_shadowMask.Row(first);
  std::uint8_t* highlight = m_highlightMask.Row(first);
  if (m_pass == Pass::kMasks) {
    for (std::size_t i = 0; i < count; ++i, in += 4) {
      const std::uint32_t g = Grey(in);
      shadow[i] = ShadowWeight(g);
      highlight[i] = HighlightWeight(g);
    }
    return 1;
  }
  const ToneTable& lift = m_tables[0];
  const ToneTable& hold = m_tables[1];
  for (std::size_t i = 0; i < count; ++i, in += 4, out += 4) {
    const std::int32_t k = shadow[i], h = highlight[i];
    for (int c = 0; c < 3; ++c) {
      const std::int32_t v = in[c];
      std::int32_t o = v;
      if (k != 0) o += (lift[static_cast<std::size_t>(v)] - o) * k / 255;
      if (h != 0) o += (hold[static_cast<std::size_t>(v)] - o) * h / 255;
      out[c] = static_cast<std::uint16_t>(o);
    }
    out[3] = in[3];
  }
  return 1;
}
