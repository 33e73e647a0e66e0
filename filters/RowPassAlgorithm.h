#pragma once
// CRowPassAlgorithm: the base of filters built from whole-picture passes in
// which every row is computed on its own (tone ramps, stretches, blends,
// weighted sums that read a whole working picture). A pass cuts the rows
// into stripes for the helper threads; each stripe is handed the source and
// target records themselves and writes only the rows it owns, so nothing is
// copied in or merged back and the result does not depend on the cut.

#include <cstdint>
#include <vector>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

class CRowPassAlgorithm : public CAlgorithm {
public:
  // What a cancel of the algorithm thread's job does to a pass.
  enum class OnCancel {
    kSkip,      // the stripes not yet begun are skipped
    kFinishAll  // they are made afterwards on the calling thread: the pass is always whole
  };

  // Hands every stripe the source and target themselves.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;
  // Progress within the running pass's share.
  void OnStripeDone(StripeTask* task) override;

protected:
  // Runs ProcessStripe over all rows of m_source and reports progress from lo
  // to hi of this algorithm's scale. Large pictures are cut into stripes of
  // about kStripeOwnPixels when parallel work is allowed, each starting on a
  // multiple of align; otherwise one task covers every row. m_target must
  // exist (an empty one becomes a copy of the source). 1 when every stripe
  // succeeded, else 0.
  [[nodiscard]] int RunRowPass(std::int32_t lo, std::int32_t hi, std::int32_t align = 1,
                               OnCancel onCancel = OnCancel::kSkip);
  // The rows [first, end) of the picture that task owns, clipped to height.
  static void OwnRows(const StripeTask& task, std::uint32_t height, std::uint32_t& first, std::uint32_t& end);
  // 1 when the task runs alone (it may then report progress itself).
  int IsSingleTask() { return TaskCount() <= 1 ? 1 : 0; }

private:
  std::int32_t m_passLo = 0;
  std::int32_t m_passHi = 100;
  std::int64_t m_passStripesDone = 0;  // m_lock
  // With OnCancel::kFinishAll, a non-zero byte for each row a stripe made (m_lock).
  std::vector<std::uint8_t> m_rowsDone;
};
