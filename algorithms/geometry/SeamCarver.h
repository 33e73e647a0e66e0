#pragma once
// CSeamCarver: removes vertical seams, one at a time, from a grey plane and
// its edge-energy plane; the core of the content-aware scale, which carves
// horizontal seams by handing it the transposed planes.
//
// FindSeam fills the cumulative table C: C(x, 0) = E(x, 0), below it the
// least of the up to three neighbours in the row above plus E(x, y); it
// returns the column of the least value in the last row, the leftmost on
// ties. RemoveSeam traces the seam upward from that column (ties go right),
// moves the rest of each row of both planes one place left over the removed
// pixel and refreshes the two energies beside the seam from the grey plane.
// The planes keep their stride; the width shrinks by one per seam, and the
// column right of the new width keeps what it held.
//
// Large planes are shared by a team of threads: the table in column bands,
// kSeamChunkRows rows at a time (each band also computes the margin of its
// neighbours' columns that those rows need, so the team meets once per chunk
// instead of once per row), the row moves and refreshes in row ranges. Every
// value is computed exactly as on one thread, so the result never depends on
// the team's size. A seam is only about a millisecond of work, so the team
// meets often; on a machine whose other work keeps the members waiting for
// each other an adaptive carver (CarveSeam) times seams with and without the
// team and carves on with whichever is faster, trying the other again now
// and then.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "image/PixelBlock.h"
#include "image/Plane8.h"

// Rows of the table the team computes between two meetings.
inline constexpr std::int64_t kSeamChunkRows = 64;
// The narrowest band of columns worth a thread of its own ...
inline constexpr std::int64_t kSeamMinBand = 256;
// ... and the smallest plane (width x height) the team shares.
inline constexpr std::int64_t kSeamMinTeamCells = 65536;

// The energy of the pixel at centre from its 3 x 3 grey neighbours (rows
// stride bytes apart): the larger of the horizontal and the vertical
// difference of the neighbour sums, each divided by 3; at most 255.
inline std::uint8_t SeamEnergyAt(const std::uint8_t* centre, std::ptrdiff_t stride) {
  const std::uint8_t* up = centre - stride;
  const std::uint8_t* down = centre + stride;
  const int left = up[-1] + centre[-1] + down[-1];
  const int right = up[1] + centre[1] + down[1];
  const int top = up[-1] + up[0] + up[1];
  const int bottom = down[-1] + down[0] + down[1];
  const int gx = (left > right ? left - right : right - left) / 3;
  const int gy = (top > bottom ? top - bottom : bottom - top) / 3;
  return static_cast<std::uint8_t>(gx > gy ? gx : gy);
}

class CSeamCarver {
public:
  // threads: the team's size; 1 keeps all work on the calling thread. A team
  // whose threads cannot be started works on the calling thread alone.
  // adaptive: CarveSeam chooses between the team and the calling thread by
  // their speed; otherwise the team works on every plane large enough.
  explicit CSeamCarver(std::uint32_t threads = 1, bool adaptive = false);
  ~CSeamCarver();
  CSeamCarver(const CSeamCarver&) = delete;
  CSeamCarver& operator=(const CSeamCarver&) = delete;

  // Takes grey and energy planes of one size (at most 65536 wide) and starts
  // at their full width. 1, or 0 (the carver empty) for planes without
  // pixels or of different sizes, or exhausted memory.
  [[nodiscard]] int Reset(CPlane8 grey, CPlane8 energy);
  void Release();

  std::uint32_t Width() const { return static_cast<std::uint32_t>(m_width); }
  std::uint32_t Height() const { return m_grey.height; }
  // The threads that work together (1 without a team).
  std::uint32_t TeamSize() const;

  // Fills the cumulative table and returns the column where the least seam
  // ends in the last row. Needs a width of at least 1.
  std::uint32_t FindSeam();
  // Removes the seam that ends at column (of the last row) through the table
  // FindSeam filled, and narrows the planes by one.
  void RemoveSeam(std::uint32_t column);
  // Per row, the column (counted in the planes as Reset took them) that the
  // last RemoveSeam removed.
  std::span<const std::uint16_t> RemovedColumns() const { return {m_removed.get(), Height()}; }
  // FindSeam, then RemoveSeam of its column.
  void CarveSeam();

  std::uint8_t EnergyAt(std::uint32_t x, std::uint32_t y) const { return *m_energy.At(x, y); }
  std::uint8_t GreyAt(std::uint32_t x, std::uint32_t y) const { return *m_grey.At(x, y); }

private:
  class Team;

  // How many team members share the current plane (1: the calling thread),
  // and how many would without the adaptive choice.
  std::uint32_t Members() const;
  std::uint32_t TeamMembers() const;
  void FillTable();
  void FillTableBand(std::uint32_t member, std::uint32_t members);
  void MoveRows(std::int64_t from, std::int64_t to);
  void RefreshRows(std::int64_t from, std::int64_t to);

  CPlane8 m_grey;
  CPlane8 m_energy;
  // Per row one bit per column of the planes as Reset took them, set once
  // removed: the n-th clear bit of a row is the n-th column still there.
  LargeArray<std::uint64_t> m_removedBits;
  std::int64_t m_bitWords = 0;  // words per row
  LargeArray<std::uint32_t> m_table;
  std::unique_ptr<std::uint32_t[]> m_path;  // per row the column of the seam being removed
  std::unique_ptr<std::uint16_t[]> m_removed;
  std::unique_ptr<std::uint32_t[]> m_scratch;  // two rows with margins per team member
  std::int64_t m_scratchStride = 0;
  std::int64_t m_width = 0;
  std::unique_ptr<Team> m_team;

  static constexpr std::int64_t kTrialSeams = 9;
  // The adaptive choice, kept across Reset: seams are carved in rounds of a
  // trial with the team, a trial alone, then a stretch with the faster of
  // the two, longer each time the same one wins again.
  enum class Stage : std::uint8_t { kTeamTrial, kAloneTrial, kStretch };
  bool m_adaptive = false;
  bool m_alone = false;  // the team stays idle
  Stage m_stage = Stage::kTeamTrial;
  std::int64_t m_stageSeams = 0;                   // seams left in the stage
  std::array<double, kTrialSeams> m_trialRates{};  // seconds per pixel of the seams of a trial
  double m_teamRate = 0;                           // the median of the last team trial
  bool m_stretchAlone = false;
  std::int64_t m_stretchSeams = 0;
};
