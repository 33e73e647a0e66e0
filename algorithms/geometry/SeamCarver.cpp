#include "algorithms/geometry/SeamCarver.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <bit>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "image/CpuFeatures.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// cur[x] = min(prev[x - 1], prev[x], prev[x + 1]) + e[x] for from <= x < to.
void InteriorRowScalar(const std::uint32_t* prev, const std::uint8_t* e, std::uint32_t* cur,
                       std::int64_t from, std::int64_t to) {
  for (std::int64_t x = from; x < to; ++x) {
    cur[x] = std::min(std::min(prev[x - 1], prev[x]), prev[x + 1]) + e[x];
  }
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void InteriorRowAvx2(const std::uint32_t* prev, const std::uint8_t* e,
                                             std::uint32_t* cur, std::int64_t from, std::int64_t to) {
  std::int64_t x = from;
  for (; x + 8 <= to; x += 8) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prev + x - 1));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prev + x));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prev + x + 1));
    const __m256i energy = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(e + x)));
    const __m256i least = _mm256_min_epu32(_mm256_min_epu32(a, b), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(cur + x), _mm256_add_epi32(least, energy));
  }
  InteriorRowScalar(prev, e, cur, x, to);
}
#endif

void InteriorRow(const std::uint32_t* prev, const std::uint8_t* e, std::uint32_t* cur, std::int64_t from,
                 std::int64_t to) {
#if defined(__x86_64__)
  if (CpuHasAvx2()) {
    InteriorRowAvx2(prev, e, cur, from, to);
    return;
  }
#endif
  InteriorRowScalar(prev, e, cur, from, to);
}

// One row of the table for from <= x < to, the arrays indexed alike; the
// plane's first column sits at index first and its last at index last
// (either may lie outside the range), where only two neighbours exist.
void TableRow(const std::uint32_t* prev, const std::uint8_t* e, std::uint32_t* cur, std::int64_t from,
              std::int64_t to, std::int64_t first, std::int64_t last) {
  if (from >= to) return;
  if (first == last) {  // a plane one column wide
    cur[first] = prev[first] + e[first];
    return;
  }
  std::int64_t x = from;
  std::int64_t end = to;
  if (x == first) {
    cur[x] = std::min(prev[x], prev[x + 1]) + e[x];
    ++x;
  }
  const bool lastInRange = end - 1 == last;
  if (lastInRange) --end;
  if (x < end) InteriorRow(prev, e, cur, x, end);
  if (lastInRange) cur[last] = std::min(prev[last - 1], prev[last]) + e[last];
}

// The position of the n-th clear bit (from 0) of a row of words, which must
// exist; the bit is then set.
std::uint16_t TakeColumn(std::uint64_t* words, std::int64_t n) {
  std::uint64_t* w = words;
  for (;; ++w) {
    const std::int64_t clear = 64 - std::popcount(*w);
    if (n < clear) break;
    n -= clear;
  }
  std::uint64_t open = ~*w;
  for (; n > 0; --n) open &= open - 1;  // drop the lowest clear bits before it
  const int bit = std::countr_zero(open);
  *w |= std::uint64_t{1} << bit;
  return static_cast<std::uint16_t>((w - words) * 64 + bit);
}

// Seams per trial of the adaptive choice, and per stretch after it: the
// first, doubled each time the same way wins again, up to the last.

constexpr std::int64_t kFirstStretchSeams = 128;
constexpr std::int64_t kLongestStretchSeams = 4096;
// How much faster per pixel the team must be to carve on.
constexpr double kTeamMargin = 1.25;

}  // namespace

// A fixed group of threads that run one job together, the calling thread
// as member 0; Sync lets a job's members meet between its stages.
class CSeamCarver::Team {
public:
  explicit Team(std::uint32_t size) : m_size(size), m_barrier(size) {}
  ~Team() {
    if (m_started) {
      m_quit.store(true, std::memory_order_relaxed);
      m_barrier.arrive_and_wait();
    }
    for (std::thread& t : m_workers) t.join();
  }
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  // Starts the members 1 to size - 1; false (none left running) when a
  // thread cannot be made.
  [[nodiscard]] bool Start() {
    try {
      for (std::uint32_t member = 1; member < m_size; ++member)
        m_workers.emplace_back([this, member] { Work(member); });
    } catch (...) {
      m_quit.store(true, std::memory_order_relaxed);
      OpenGate();
      for (std::thread& t : m_workers) t.join();
      m_workers.clear();
      return false;
    }
    m_started = true;
    OpenGate();
    return true;
  }

  std::uint32_t Size() const { return m_size; }

  void Run(const std::function<void(std::uint32_t)>& job) {
    m_job = &job;
    m_barrier.arrive_and_wait();
    job(0);
    m_barrier.arrive_and_wait();
  }

  void Sync() { m_barrier.arrive_and_wait(); }

private:
  void OpenGate() {
    m_gate.store(1, std::memory_order_release);
    m_gate.notify_all();
  }

  void Work(std::uint32_t member) {
    m_gate.wait(0, std::memory_order_acquire);
    if (m_quit.load(std::memory_order_relaxed)) return;
    for (;;) {
      m_barrier.arrive_and_wait();
      if (m_quit.load(std::memory_order_relaxed)) return;
      (*m_job)(member);
      m_barrier.arrive_and_wait();
    }
  }

  const std::uint32_t m_size;
  std::barrier<> m_barrier;
  std::vector<std::thread> m_workers;
  std::atomic<int> m_gate{0};
  std::atomic<bool> m_quit{false};
  bool m_started = false;
  const std::function<void(std::uint32_t)>* m_job = nullptr;
};

CSeamCarver::CSeamCarver(std::uint32_t threads, bool adaptive)
    : m_adaptive(adaptive), m_stageSeams(kTrialSeams), m_stretchSeams(kFirstStretchSeams / 2) {
  if (threads <= 1) return;
  try {
    auto team = std::make_unique<Team>(threads);
    if (team->Start()) m_team = std::move(team);
  } catch (...) {
    m_team.reset();
  }
}

CSeamCarver::~CSeamCarver() = default;

std::uint32_t CSeamCarver::TeamSize() const { return m_team ? m_team->Size() : 1; }

void CSeamCarver::Release() {
  m_grey = CPlane8();
  m_energy = CPlane8();
  m_removedBits.reset();
  m_bitWords = 0;
  m_table.reset();
  m_path.reset();
  m_removed.reset();
  m_scratch.reset();
  m_scratchStride = 0;
  m_width = 0;
}

int CSeamCarver::Reset(CPlane8 grey, CPlane8 energy) {
  Release();
  if (grey.IsEmpty() || energy.IsEmpty() || grey.width != energy.width || grey.height != energy.height ||
      grey.width > 65536) {
    return 0;
  }
  const std::uint64_t count = std::uint64_t{grey.width} * grey.height;
  m_bitWords = (std::int64_t{grey.width} + 63) / 64;
  m_removedBits = AllocLargeArray<std::uint64_t>(std::uint64_t(m_bitWords) * grey.height);
  m_table = AllocLargeArray<std::uint32_t>(count);
  m_path = AllocWorkArray<std::uint32_t>(grey.height);
  m_removed = AllocWorkArray<std::uint16_t>(grey.height);
  m_scratchStride = std::int64_t{grey.width} + 2 * kSeamChunkRows + 2;
  if (m_team) m_scratch = AllocWorkArray<std::uint32_t>(std::uint64_t(2 * m_scratchStride) * m_team->Size());
  if (!m_removedBits || !m_table || !m_path || !m_removed || (m_team && !m_scratch)) {
    Release();
    return 0;
  }
  std::fill_n(m_removedBits.get(), m_bitWords * grey.height, std::uint64_t{0});
  m_grey = std::move(grey);
  m_energy = std::move(energy);
  m_width = m_grey.width;
  return 1;
}

std::uint32_t CSeamCarver::Members() const { return m_alone ? 1 : TeamMembers(); }

std::uint32_t CSeamCarver::TeamMembers() const {
  if (!m_team) return 1;
  const std::int64_t h = m_grey.height;
  if (m_width * h < kSeamMinTeamCells) return 1;
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(m_width / kSeamMinBand, 1, m_team->Size()));
}

void CSeamCarver::FillTable() {
  const std::int64_t w = m_width, h = m_grey.height, stride = m_grey.width;
  std::uint32_t* table = m_table.get();
  const std::uint8_t* energy = m_energy.pixels;
  for (std::int64_t x = 0; x < w; ++x) table[x] = energy[x];
  for (std::int64_t y = 1; y < h; ++y) {
    TableRow(table + (y - 1) * stride, energy + y * stride, table + y * stride, 0, w, 0, w - 1);
  }
}

void CSeamCarver::FillTableBand(std::uint32_t member, std::uint32_t members) {
  const std::int64_t w = m_width, h = m_grey.height, stride = m_grey.width;
  std::uint32_t* table = m_table.get();
  const std::uint8_t* energy = m_energy.pixels;
  // Members beyond the working ones only meet the others.
  const std::int64_t b0 = member < members ? w * member / members : w;
  const std::int64_t b1 = member < members ? w * (member + 1) / members : w;
  for (std::int64_t x = b0; x < b1; ++x) table[x] = energy[x];
  m_team->Sync();

  std::uint32_t* a = m_scratch.get() + 2 * m_scratchStride * member;
  std::uint32_t* b = a + m_scratchStride;
  const std::int64_t base = std::max<std::int64_t>(0, b0 - kSeamChunkRows);
  for (std::int64_t y0 = 0; y0 < h - 1; y0 += kSeamChunkRows) {
    const std::int64_t y1 = std::min(y0 + kSeamChunkRows, h - 1);
    if (b0 < b1) {
      // Row y0 is whole; the band and its margins are carried down from it
      // in the scratch rows, the margins one column narrower per row.
      const std::int64_t hi0 = std::min(w, b1 + kSeamChunkRows);
      std::memcpy(a, table + y0 * stride + base,
                  static_cast<std::size_t>(hi0 - base) * sizeof(std::uint32_t));
      for (std::int64_t y = y0 + 1; y <= y1; ++y) {
        const std::int64_t k = y - y0;
        const std::int64_t lo = std::max<std::int64_t>(0, b0 - kSeamChunkRows + k);
        const std::int64_t hi = std::min(w, b1 + kSeamChunkRows - k);
        TableRow(a, energy + y * stride + base, b, lo - base, hi - base, -base, w - 1 - base);
        std::memcpy(table + y * stride + b0, b + (b0 - base),
                    static_cast<std::size_t>(b1 - b0) * sizeof(std::uint32_t));
        std::swap(a, b);
      }
    }
    m_team->Sync();
  }
}

std::uint32_t CSeamCarver::FindSeam() {
  const std::int64_t w = m_width, h = m_grey.height, stride = m_grey.width;
  if (w <= 0) return 0;
  const std::uint32_t members = Members();
  if (members <= 1) {
    FillTable();
  } else {
    m_team->Run([this, members](std::uint32_t member) { FillTableBand(member, members); });
  }
  const std::uint32_t* last = m_table.get() + (h - 1) * stride;
  std::int64_t best = 0;
  for (std::int64_t x = 1; x < w; ++x) {
    if (last[x] < last[best]) best = x;
  }
  return static_cast<std::uint32_t>(best);
}

void CSeamCarver::MoveRows(std::int64_t from, std::int64_t to) {
  const std::int64_t w = m_width, stride = m_grey.width;
  for (std::int64_t y = from; y < to; ++y) {
    const std::int64_t c = m_path[y];
    const auto n = static_cast<std::size_t>(w - 1 - c);
    std::uint8_t* grey = m_grey.pixels + y * stride + c;
    std::uint8_t* energy = m_energy.pixels + y * stride + c;
    std::memmove(grey, grey + 1, n);
    std::memmove(energy, energy + 1, n);
  }
}

void CSeamCarver::RefreshRows(std::int64_t from, std::int64_t to) {
  // The bounds are those of the planes before this removal.
  const std::int64_t w = m_width, h = m_grey.height, stride = m_grey.width;
  for (std::int64_t y = std::max<std::int64_t>(from, 1); y < std::min(to, h - 1); ++y) {
    const std::int64_t c = m_path[y];
    for (std::int64_t x = c - 1; x <= c; ++x) {
      if (x < 1 || x > w - 2) continue;
      m_energy.pixels[y * stride + x] = SeamEnergyAt(m_grey.pixels + y * stride + x, stride);
    }
  }
}

void CSeamCarver::RemoveSeam(std::uint32_t column) {
  const std::int64_t w = m_width, h = m_grey.height, stride = m_grey.width;
  if (w <= 0) return;
  std::int64_t c = std::min<std::int64_t>(column, w - 1);
  for (std::int64_t y = h - 1;; --y) {
    m_path[y] = static_cast<std::uint32_t>(c);
    m_removed[y] = TakeColumn(m_removedBits.get() + y * m_bitWords, c);
    if (y == 0) break;
    const std::uint32_t* above = m_table.get() + (y - 1) * stride;
    if (w == 1) {
      c = 0;
    } else if (c == 0) {
      if (above[1] <= above[0]) c = 1;
    } else if (c == w - 1) {
      if (above[c - 1] < above[c]) --c;
    } else {
      const std::uint32_t left = above[c - 1], up = above[c], right = above[c + 1];
      if (left < up) {
        c += left < right ? -1 : 1;
      } else if (right <= up) {
        ++c;
      }
    }
  }

  const std::uint32_t members = Members();
  if (members <= 1) {
    MoveRows(0, h);
    RefreshRows(0, h);
  } else {
    const std::uint32_t size = m_team->Size();
    m_team->Run([this, h, size](std::uint32_t member) {
      const std::int64_t from = h * member / size, to = h * (member + 1) / size;
      MoveRows(from, to);
      m_team->Sync();
      RefreshRows(from, to);
    });
  }
  m_width = w - 1;
}

void CSeamCarver::CarveSeam() {
  if (!m_adaptive || !m_team) {
    RemoveSeam(FindSeam());
    return;
  }
  m_alone = m_stage == Stage::kAloneTrial || (m_stage == Stage::kStretch && m_stretchAlone);
  // Only seams the team would share count; smaller planes are carved alone.
  if (TeamMembers() <= 1) {
    RemoveSeam(FindSeam());
    return;
  }
  const double cells = static_cast<double>(m_width) * m_grey.height;
  const auto start = std::chrono::steady_clock::now();
  RemoveSeam(FindSeam());
  if (m_stage == Stage::kStretch) {
    if (--m_stageSeams <= 0) {
      m_stage = Stage::kTeamTrial;
      m_stageSeams = kTrialSeams;
    }
    return;
  }
  // Trials keep each seam's time per pixel; their medians are compared, so
  // a seam that waited for the processor does not decide.
  m_trialRates[static_cast<std::size_t>(kTrialSeams - m_stageSeams)] =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / cells;
  if (--m_stageSeams > 0) return;
  std::nth_element(m_trialRates.begin(), m_trialRates.begin() + kTrialSeams / 2, m_trialRates.end());
  const double median = m_trialRates[static_cast<std::size_t>(kTrialSeams / 2)];
  if (m_stage == Stage::kTeamTrial) {
    m_teamRate = median;
    m_stage = Stage::kAloneTrial;
    m_stageSeams = kTrialSeams;
    return;
  }
  // The team must be clearly faster, for it also keeps other threads busy.
  const bool alone = m_teamRate * kTeamMargin >= median;
  m_stretchSeams =
      alone == m_stretchAlone ? std::min(2 * m_stretchSeams, kLongestStretchSeams) : kFirstStretchSeams;
  m_stretchAlone = alone;
  m_stage = Stage::kStretch;
  m_stageSeams = m_stretchSeams;
}
