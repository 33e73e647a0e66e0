#pragma once
// CRowStripedWarp: the loop the geometric warps share. Each output pixel is
// computed from the source alone, so the rows of the output can be made in
// any order: large outputs are cut into bands of rows that the helper
// threads make side by side, each writing only its own rows, and the result
// is the same, bit for bit, as one pass on the calling thread.
//
// A warp overrides WarpRows and calls WarpAllRows with the image it writes.
// A cancel of the algorithm thread's job makes the engine skip pending
// stripes; they are made afterwards on the calling thread, so a pass always
// completes.

#include <cstdint>
#include <memory>

#include "algorithms/Algorithm.h"
#include "image/BgraImage16.h"

class CRowStripedWarp : public CAlgorithm {
public:
  // The rows the task owns, through WarpRows.
  [[nodiscard]] int ProcessStripe(StripeTask* task) override;
  // Hands every stripe the written image itself: nothing is copied or merged.
  int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe) override;
  // Progress by finished stripes, within the pass's range.
  void OnStripeDone(StripeTask* task) override;

protected:
  // Makes rows [from, to) of the pass's output. Several calls run at once on
  // the helper threads; reportRows is set only when the whole pass runs as
  // one pass, for the warp's own progress by rows. 1 or 0.
  [[nodiscard]] virtual int WarpRows(std::int32_t from, std::int32_t to, bool reportRows) = 0;

  // Runs WarpRows over all rows of output: in bands of about
  // kStripeOwnPixels, each starting at a multiple of align, when output has
  // at least kStripeMinPixels, the engine has helpers and parallel work is
  // allowed up the parent chain; otherwise in one pass on this thread.
  // Finished bands report progress from progressLo to progressHi (nothing
  // when the two are equal). 1, or 0 for an empty output, exhausted memory
  // or a band that failed.
  [[nodiscard]] int WarpAllRows(CBgraImage16& output, std::int32_t align, std::int32_t progressLo,
                                std::int32_t progressHi);

private:
  CBgraImage16* m_output = nullptr;
  std::int32_t m_bandRows = 0;
  std::int32_t m_progressFrom = 0;
  std::int32_t m_progressTo = 100;
  std::int64_t m_bandsFinished = 0;  // m_lock
  // One flag per band, each set by the one thread that made the band.
  std::unique_ptr<std::uint8_t[]> m_bandDone;
};
