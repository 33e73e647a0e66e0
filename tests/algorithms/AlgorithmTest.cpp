#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "algorithms/Algorithm.h"
#include "algorithms/AlgorithmThread.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

struct Rows {
  std::int32_t from, to, start, end;
  bool operator==(const Rows&) const = default;
};

std::vector<Rows> TaskRows(CAlgorithm& algorithm) {
  std::lock_guard lock(algorithm.m_lock);
  std::vector<Rows> rows;
  for (const StripeTask& t : algorithm.m_tasks) rows.push_back({t.rowFrom, t.rowTo, t.rowStart, t.rowEnd});
  return rows;
}

struct SplitCase {
  const char* name;
  std::uint32_t w, h;
  std::int32_t overlap, rows;
  std::vector<Rows> expected;
};

TEST(SplitIntoStripes, FollowsThePixelOverlapAndRowRules) {
  ASSERT_GT(theAlgorithmThread.HelperCount(), 0u);
  const std::vector<SplitCase> cases = {
      {"899999 pixels run as one task", 2267, 397, 0, 0, {{0, 397, 0, 397}}},
      {"900000 pixels own 300 rows and read 304",
       1000,
       900,
       2,
       0,
       {{-2, 302, 0, 300}, {298, 602, 300, 600}, {598, 902, 600, 900}}},
      {"overlap pixels of exactly 150000 stripe",
       75000,
       12,
       1,
       0,
       {{-1, 5, 0, 4}, {3, 9, 4, 8}, {7, 13, 8, 12}}},
      {"overlap pixels above 150000 do not", 75001, 12, 1, 0, {{0, 12, 0, 12}}},
      {"256 rows with overlap 32",
       4,
       1000,
       32,
       256,
       {{-32, 224, 0, 192},
        {160, 416, 192, 384},
        {352, 608, 384, 576},
        {544, 800, 576, 768},
        {736, 992, 768, 960},
        {928, 1032, 960, 1000}}},
      {"rows not below the height give one task", 4, 1000, 32, 1000, {{0, 1000, 0, 1000}}},
      // Wider than a stripe's pixel budget: each stripe still owns a row.
      {"very wide rows own one row each", 400000, 3, 0, 0, {{0, 1, 0, 1}, {1, 2, 1, 2}, {2, 3, 2, 3}}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.name);
    CBgraImage16 source;
    ASSERT_EQ(source.Create(c.w, c.h), 1);
    CAlgorithm algorithm;
    algorithm.m_source = &source;
    EXPECT_EQ(algorithm.SplitIntoStripes(c.overlap, c.rows), static_cast<std::int32_t>(c.expected.size()));
    EXPECT_EQ(TaskRows(algorithm), c.expected);
  }
}

TEST(SplitIntoStripes, ParallelMustBeAllowedUpTheParentChain) {
  CBgraImage16 source;
  ASSERT_EQ(source.Create(1000, 900), 1);
  CAlgorithm parent;
  CAlgorithm child;
  child.NestIn(parent, 0, 100);
  child.m_source = &source;
  EXPECT_EQ(child.SplitIntoStripes(2, 0), 3);
  parent.m_allowParallel = 0;
  EXPECT_EQ(child.SplitIntoStripes(2, 0), 1);
  // An explicit stripe height is not subject to it.
  EXPECT_EQ(child.SplitIntoStripes(2, 100), 10);
}

TEST(SplitIntoStripes, SingleTaskWorksOnSourceAndTargetAndAnEmptyTargetBecomesACopy) {
  CBgraImage16 source = RowImage(5, 7);
  CBgraImage16 target;
  CAlgorithm algorithm;
  algorithm.m_source = &source;
  algorithm.m_target = &target;
  ASSERT_EQ(algorithm.SplitIntoStripes(2, 0), 1);
  ASSERT_EQ(target.width, 5u);
  EXPECT_EQ(std::memcmp(target.pixels, source.pixels, source.byteSize), 0);
  std::lock_guard lock(algorithm.m_lock);
  EXPECT_EQ(algorithm.m_tasks[0].sourceStripe, &source);
  EXPECT_EQ(algorithm.m_tasks[0].resultStripe, &target);
}

TEST(SplitIntoStripes, NoSourceBuildsNoTaskAndThePassFails) {
  CAlgorithm algorithm;
  EXPECT_EQ(algorithm.SplitIntoStripes(0, 0), 0);
  EXPECT_EQ(RunStripes(algorithm), 0);
  EXPECT_EQ(algorithm.m_success, 0);
}

// The rows -2, -1 of the first stripe and h, h + 1 of the last, by edge mode.
TEST(NextStripe, FillsRowsOutsideTheImageByEdgeMode) {
  const std::uint32_t h = 10;
  CBgraImage16 source = RowImage(3, h);
  struct Case {
    std::int32_t mode;
    std::uint16_t above[2];  // rows -2, -1: value = source row + 1, 0 for zero
    std::uint16_t below[2];  // rows h, h + 1
  };
  for (const Case& c : {Case{kEdgeZero, {0, 0}, {0, 0}}, Case{kEdgeClamp, {1, 1}, {10, 10}},
                        Case{kEdgeMirror, {3, 2}, {9, 8}}, Case{7, {3, 2}, {9, 8}}}) {
    SCOPED_TRACE(c.mode);
    CAlgorithm algorithm;
    algorithm.m_source = &source;
    ASSERT_EQ(algorithm.SplitIntoStripes(2, 6), 5);
    CBgraImage16 in;
    CBgraImage16 out;
    std::vector<std::uint16_t> firstRows;
    std::vector<std::uint16_t> lastRows;
    while (StripeTask* task = algorithm.NextStripe(in, out, c.mode)) {
      ASSERT_EQ(task->sourceStripe, &in);
      ASSERT_EQ(in.height, 6u);
      for (std::uint32_t i = 0; i < in.pixelCount; ++i)
        EXPECT_EQ(out.pixels[i * 4 + 3], in.pixels[i * 4 + 3]);
      if (task->rowStart == 0) firstRows = {in.At(0, 0)[0], in.At(0, 1)[0], in.At(0, 2)[0]};
      if (task->rowEnd == static_cast<std::int32_t>(h))
        lastRows = {in.At(1, 3)[1], in.At(1, 4)[1], in.At(1, 5)[1]};
      algorithm.EndStripe(task, 1);
      algorithm.ReleaseStripe(task);
    }
    EXPECT_EQ(firstRows, (std::vector<std::uint16_t>{c.above[0], c.above[1], 1}));
    EXPECT_EQ(lastRows, (std::vector<std::uint16_t>{10, c.below[0], c.below[1]}));
    EXPECT_EQ(algorithm.AllStripesDone(), 1);
  }
}

TEST(Progress, ChildSliceMapsIntoParentAndRepeatsAreDropped) {
  RecordingSink sink;
  CAlgorithm parent;
  parent.m_listener = {&sink, 7};
  CAlgorithm child;
  child.NestIn(parent, 10, 20);
  EXPECT_EQ(child.m_depth, 1);

  child.SetProgress(50);
  EXPECT_EQ(child.m_progress, 15);
  EXPECT_EQ(parent.m_progress, 15);
  child.SetProgress(50);
  ASSERT_EQ(sink.Messages().size(), 1u);
  const PostedMessage m = sink.Messages()[0];
  EXPECT_EQ(m.target, 7u);
  EXPECT_EQ(m.code, WM_ALGORITHM);
  EXPECT_EQ(m.wparam, 15u);
  EXPECT_EQ(m.lparam, 0u);

  // An empty slice reports nothing upwards.
  CAlgorithm silent;
  silent.NestIn(parent, 30, 30);
  silent.SetProgress(80);
  EXPECT_EQ(sink.Messages().size(), 1u);
}

TEST(Progress, FourStripesReportQuartersInOrderAndOneTaskReportsNothing) {
  RecordingSink sink;
  CBgraImage16 source = RowImage(8, 16);
  CBgraImage16 target;
  CTestInvert algorithm;
  algorithm.m_listener = {&sink, 1};
  algorithm.m_source = &source;
  algorithm.m_target = &target;
  algorithm.rowsPerStripe = 4 + 2 * CTestInvert::kOverlap;
  ASSERT_EQ(algorithm.Process(), 1);
  EXPECT_EQ(algorithm.stripesRun, 4);
  EXPECT_EQ(sink.WParams(1), (std::vector<std::uint64_t>{25, 50, 75, 100}));

  RecordingSink quiet;
  CTestInvert single;
  single.m_listener = {&quiet, 1};
  single.m_source = &source;
  single.m_target = &target;
  ASSERT_EQ(single.Process(), 1);
  EXPECT_TRUE(quiet.Messages().empty());
}

struct TestBlock {
  std::uint16_t size;
  std::uint16_t pad;
  std::int32_t level;
  std::int32_t mode;
  std::uint32_t pad2;
  double radius;
};
static_assert(sizeof(TestBlock) == 24);
static_assert(offsetof(TestBlock, level) == 4 && offsetof(TestBlock, radius) == 16);

class CBlockReader : public CAlgorithm {
public:
  TestBlock block{0, 0, -1, -1, 0, -1.0};
  int Process() override { return ReadParamBlock(block); }
};

TEST(ParameterBlock, CopiesWhatTheCallerSizeSaysUpToItsOwnAndStampsItsSize) {
  struct Case {
    const char* name;
    std::uint16_t callerSize;
    std::int32_t level, mode;
    double radius;
  };
  for (const Case& c :
       {Case{"shorter block keeps owner defaults", 8, 5, -1, -1.0},
        Case{"size 0 copies nothing", 0, -1, -1, -1.0}, Case{"same size copies everything", 24, 5, 6, 2.5},
        Case{"longer block is cut", 40, 5, 6, 2.5}}) {
    SCOPED_TRACE(c.name);
    std::uint8_t bytes[40] = {};
    const TestBlock caller{c.callerSize, 0, 5, 6, 0, 2.5};
    std::memcpy(bytes, &caller, sizeof caller);
    std::memset(bytes + 24, 0xEE, 16);
    CBlockReader reader;
    reader.m_params = bytes;
    ASSERT_EQ(reader.Process(), 1);
    EXPECT_EQ(reader.block.size, 24);
    EXPECT_EQ(reader.block.level, c.level);
    EXPECT_EQ(reader.block.mode, c.mode);
    EXPECT_EQ(reader.block.radius, c.radius);
  }
  CBlockReader none;
  EXPECT_EQ(none.Process(), 0);
}

TEST(MergeStripe, CopiesOwnedRowsAndRefusesAStripeThatDoesNotFit) {
  CBgraImage16 target = RowImage(4, 6);
  const CBgraImage16 before = RowImage(4, 6);
  CAlgorithm algorithm;
  algorithm.m_target = &target;

  CBgraImage16 narrow = RowImage(3, 6);
  algorithm.MergeStripe(narrow, 0, 2, 0);
  CBgraImage16 shortStripe = RowImage(4, 2);
  algorithm.MergeStripe(shortStripe, 0, 4, 1);  // would read past the stripe
  algorithm.MergeStripe(shortStripe, 5, 7, 0);  // past the target
  EXPECT_EQ(std::memcmp(target.pixels, before.pixels, before.byteSize), 0);

  algorithm.MergeStripe(shortStripe, 3, 4, 1);  // stripe row 1 holds value 2
  EXPECT_EQ(target.At(0, 3)[0], 2);
  EXPECT_EQ(target.At(0, 2)[0], 3);
  EXPECT_EQ(target.At(0, 4)[0], 5);
}

TEST(StripeFailure, AFailedStripeClearsSuccessWhileTheOthersStillRun) {
  CBgraImage16 source = NoiseImage(16, 64, 3);
  CBgraImage16 target;
  CTestInvert algorithm;
  algorithm.m_source = &source;
  algorithm.m_target = &target;
  algorithm.rowsPerStripe = 8;
  algorithm.onStripe = [](StripeTask* task) { return task->rowStart == 16 ? 0 : 1; };
  EXPECT_EQ(algorithm.Process(), 0);
  EXPECT_EQ(algorithm.m_success, 0);
  EXPECT_EQ(algorithm.stripesRun, 16);
  EXPECT_EQ(algorithm.TaskCount(), 0u);
}

// PrepareStripe claims the stripes but leaves one without pixels: that task
// cannot be handed out, fails, and the pass still ends.
class CPreparingAlgorithm : public CTestInvert {
public:
  int PrepareStripe(StripeTask* task, CBgraImage16& in, CBgraImage16&) override {
    if (task->rowStart == 8) {
      in.Free();
      return 1;
    }
    return 0;
  }
};

TEST(StripeFailure, ATaskThatCannotBeHandedOutFailsAndThePassEnds) {
  CBgraImage16 source = NoiseImage(16, 64, 4);
  CBgraImage16 target;
  CPreparingAlgorithm algorithm;
  algorithm.m_source = &source;
  algorithm.m_target = &target;
  algorithm.rowsPerStripe = 8;
  EXPECT_EQ(algorithm.Process(), 0);
  EXPECT_EQ(algorithm.stripesRun, 15);
}

}  // namespace
