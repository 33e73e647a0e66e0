#pragma once
// CAlgorithm: the base of every image algorithm. One object reads m_source,
// writes m_target, takes its settings from a caller-owned parameter block and
// reports progress; it runs synchronously, nested inside another algorithm
// (a slice of the parent's progress) or as the job of the algorithm thread.
// A striped pass cuts the image into horizontal stripes (SplitIntoStripes)
// that the helper threads compute side by side (RunStripes in
// AlgorithmThread.h); each stripe writes only the target rows it owns.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <type_traits>
#include <vector>

#include "algorithms/AlgorithmMessageSink.h"
#include "image/BgraImage16.h"

class CAlgorithm;

enum StripeState : std::uint8_t {
  kStripePending = 0,
  kStripeRunning = 1,
  kStripeDone = 2,
  kStripeFailed = 255,
};

// How stripe rows above and below the image are filled; any other value
// mirrors.
enum EdgeMode : std::int32_t {
  kEdgeZero = 0,
  kEdgeClamp = 1,
  kEdgeMirror = 2,
};

// The row (or column) of 0..h - 1 that index i stands for under edgeMode, or
// -1 for a zero row. Mirroring does not repeat the edge (-1 reads 1, h reads
// h - 2) and folds indices far outside back into range.
std::int64_t EdgeSourceRow(std::int64_t i, std::int64_t h, std::int32_t edgeMode);

struct StripeTask {
  std::int32_t rowFrom = 0;   // first source row needed, overlap included; may be negative
  std::int32_t rowTo = 0;     // end of the source rows needed; may exceed the height
  std::int32_t rowStart = 0;  // first result row this stripe owns
  std::int32_t rowEnd = 0;    // end of the rows it owns
  CBgraImage16* sourceStripe = nullptr;
  CBgraImage16* resultStripe = nullptr;
  std::uint8_t state = kStripePending;  // StripeState, guarded by the owner's m_lock
  CAlgorithm* owner = nullptr;
};

// Automatic striping: images from this many pixels are striped ...
inline constexpr std::int64_t kStripeMinPixels = 900000;
// ... when the overlap rows of a stripe (both sides) stay within this ...
inline constexpr std::int64_t kStripeMaxOverlapPixels = 150000;
// ... and each stripe owns about this many pixels.
inline constexpr std::int64_t kStripeOwnPixels = 300000;

class CAlgorithm {
public:
  CAlgorithm() = default;
  virtual ~CAlgorithm() = default;
  CAlgorithm(const CAlgorithm&) = delete;
  CAlgorithm& operator=(const CAlgorithm&) = delete;

  // Runs the whole algorithm from m_source to m_target; 1 or 0.
  [[nodiscard]] virtual int Process() { return 1; }
  // Computes task's sourceStripe into its resultStripe; the rows that count
  // are rowStart - rowFrom up to rowEnd - rowFrom. With a single task the
  // stripes are the source and target themselves. 1 or 0.
  [[nodiscard]] virtual int ProcessStripe(StripeTask* task);
  // Progress by finished stripes (runs on the helpers, several at once).
  virtual void OnStripeDone(StripeTask* task);
  // Copies result-stripe rows offset + (row - firstRow) into target rows
  // [firstRow, endRow); does nothing when the stripe does not fit the target.
  virtual void MergeStripe(const CBgraImage16& resultStripe, std::int32_t firstRow, std::int32_t endRow,
                           std::int32_t offset);
  // Nonzero when the override filled the two stripes itself and set the
  // task's stripe pointers; 0 lets NextStripe build them.
  virtual int PrepareStripe(StripeTask* task, CBgraImage16& sourceStripe, CBgraImage16& resultStripe);

  // Reports percent of this algorithm's own scale: mapped into
  // [m_progressLo, m_progressHi], forwarded to the parent, or posted to
  // m_listener at top level. Repeats are dropped. Safe from several threads.
  void SetProgress(std::int32_t percent);

  // Builds the tasks of one pass and returns their number. rowsPerStripe 0
  // decides automatically; a positive value (more than 2 x overlap) asks for
  // stripes of that many source rows. Creates an empty target as a copy of
  // the source. 0 when there is no source or the target cannot be made.
  [[nodiscard]] std::int32_t SplitIntoStripes(std::int32_t overlap, std::int32_t rowsPerStripe);
  // The next pending task with its stripes filled, or null when none is left
  // or the running job was cancelled (pending tasks are then skipped).
  // edgeMode -1 takes m_edgeMode.
  [[nodiscard]] StripeTask* NextStripe(CBgraImage16& sourceStripe, CBgraImage16& resultStripe,
                                       std::int32_t edgeMode);
  // 1 when no task is pending or running.
  int AllStripesDone();
  // 1 when this algorithm and every one up its parent chain may be striped.
  int IsParallelAllowed() const;

  // Makes this algorithm a child of parent running in [lo, hi] of the
  // parent's percent scale, one level deeper.
  void NestIn(CAlgorithm& parent, std::int32_t lo, std::int32_t hi);

  // Task bookkeeping for the stripe loop and RunStripes.
  std::size_t TaskCount();
  [[nodiscard]] StripeTask* SingleTask();  // the task of a one-task pass, set running; null otherwise
  void EndStripe(StripeTask* task, int succeeded);
  void ReleaseStripe(StripeTask* task);
  void ClearTasks();

  std::vector<StripeTask> m_tasks;  // guarded by m_lock
  CAlgorithm* m_parent = nullptr;
  std::int32_t m_progressLo = 0;
  std::atomic<std::int32_t> m_progress{0};
  std::int32_t m_progressHi = 100;
  std::int32_t m_savedLo = 0;
  std::int32_t m_savedHi = 100;
  std::int32_t m_edgeMode = kEdgeClamp;
  std::int32_t m_depth = 0;
  std::atomic<std::int32_t> m_success{1};
  std::int32_t m_allowParallel = 1;
  std::mutex m_lock;
  CBgraImage16* m_source = nullptr;
  CBgraImage16* m_target = nullptr;
  const void* m_params = nullptr;
  // Who hears this algorithm's progress at top level; StartAlgorithmAsync
  // installs the job's listener here.
  AlgorithmListener m_listener;

protected:
  // The parameter-block convention: copies min(caller's size word, own size)
  // bytes of m_params into own and stamps own size into its size word. A
  // shorter block leaves the remaining fields as the owner set them; a
  // longer one is cut. 0 when there is no block.
  template <typename Block>
  [[nodiscard]] int ReadParamBlock(Block& own) const {
    static_assert(std::is_standard_layout_v<Block> && std::is_trivially_copyable_v<Block>);
    static_assert(sizeof(Block) >= 2 && sizeof(Block) <= 0xFFFF);
    return CopyParamBlock(&own, sizeof(Block));
  }
  [[nodiscard]] int CopyParamBlock(void* own, std::size_t ownSize) const;

private:
  // Stripes of the current pass that OnStripeDone has counted (m_lock).
  std::int64_t m_stripesFinished = 0;
};
