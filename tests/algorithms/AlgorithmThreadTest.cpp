#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "algorithms/AlgorithmHelpThread.h"
#include "algorithms/AlgorithmThread.h"
#include "algorithms/WorkerExitRegistry.h"
#include "tests/algorithms/EngineTestSupport.h"

namespace {

constexpr unsigned kTestHelpers = 4;

// Every test of this binary runs with the global engine started.
class EngineEnvironment : public ::testing::Environment {
public:
  void SetUp() override { ASSERT_EQ(theAlgorithmThread.Start(kTestHelpers), 1); }
  void TearDown() override { EXPECT_EQ(theAlgorithmThread.Shutdown(), 1); }
};
[[maybe_unused]] ::testing::Environment* const kEngine =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

// An algorithm whose Process is a test's function.
class CScripted : public CAlgorithm {
public:
  std::function<int(CScripted&)> body;
  int Process() override { return body ? body(*this) : 1; }
};

// Records registrations and can close like the owning window would.
class TestRegistry : public IWorkerExitRegistry {
public:
  std::shared_ptr<CWorkerExitEvent> RegisterWorkerExitEvent(std::function<void()> requestStop) override {
    std::lock_guard lock(m_mutex);
    m_stops.push_back(std::move(requestStop));
    m_events.push_back(std::make_shared<CWorkerExitEvent>());
    return m_events.back();
  }
  std::size_t Count() {
    std::lock_guard lock(m_mutex);
    return m_events.size();
  }
  // Asks every worker to stop and waits for all of them within the bound.
  bool Close() {
    std::vector<std::function<void()>> stops;
    std::vector<std::shared_ptr<CWorkerExitEvent>> events;
    {
      std::lock_guard lock(m_mutex);
      stops = m_stops;
      events = m_events;
    }
    for (auto& stop : stops) stop();
    const auto deadline = std::chrono::steady_clock::now() + kWorkerExitWait;
    bool all = true;
    for (auto& event : events) all = event->WaitUntil(deadline) && all;
    return all;
  }

private:
  std::mutex m_mutex;
  std::vector<std::function<void()>> m_stops;
  std::vector<std::shared_ptr<CWorkerExitEvent>> m_events;
};

TEST(AlgorithmThread, HelperCountIsProcessorsCappedAtEightAndAtLeastOne) {
  EXPECT_EQ(CAlgorithmThread::HelperCountFor(0), 1u);
  EXPECT_EQ(CAlgorithmThread::HelperCountFor(1), 1u);
  EXPECT_EQ(CAlgorithmThread::HelperCountFor(3), 3u);
  EXPECT_EQ(CAlgorithmThread::HelperCountFor(16), 8u);
  for (auto [processors, helpers] : {std::pair{0u, 1u}, {16u, 8u}}) {
    CAlgorithmThread engine;
    ASSERT_EQ(engine.Start(processors), 1);
    EXPECT_EQ(engine.HelperCount(), helpers);
    EXPECT_EQ(engine.Shutdown(), 1);
  }
}

TEST(RunStripes, StripedResultIsBitIdenticalToOneTask) {
  const CBgraImage16 source = NoiseImage(1000, 1000, 11);
  CBgraImage16 reference;
  CBgraImage16 striped;
  {
    CTestInvert whole;
    whole.m_allowParallel = 0;
    whole.m_source = const_cast<CBgraImage16*>(&source);
    whole.m_target = &reference;
    ASSERT_EQ(whole.Process(), 1);
    EXPECT_EQ(whole.stripesRun, 1);
  }
  CTestInvert parts;
  parts.m_source = const_cast<CBgraImage16*>(&source);
  parts.m_target = &striped;
  ASSERT_EQ(parts.Process(), 1);
  EXPECT_EQ(parts.stripesRun, 4);  // stripes of 300, 300, 300 and 100 rows
  ASSERT_EQ(striped.byteSize, reference.byteSize);
  EXPECT_EQ(std::memcmp(striped.pixels, reference.pixels, reference.byteSize), 0);
}

TEST(RunStripes, AThousandPassesWithTheAlgorithmDestroyedAtOnce) {
  CBgraImage16 source = NoiseImage(16, 64, 5);
  CBgraImage16 target;
  for (int i = 0; i < 1000; ++i) {
    auto algorithm = std::make_unique<CTestInvert>();
    algorithm->m_source = &source;
    algorithm->m_target = &target;
    algorithm->rowsPerStripe = 8;
    ASSERT_EQ(algorithm->SplitIntoStripes(CTestInvert::kOverlap, 8), 16);
    ASSERT_EQ(RunStripes(*algorithm), 1);
    ASSERT_EQ(algorithm->stripesRun, 16);
    algorithm.reset();  // no helper may still hold it
  }
}

TEST(RunStripes, WithoutHelpersTheCallerRunsTheStripes) {
  CAlgorithmThread idle;  // never started: no helper
  CBgraImage16 source = NoiseImage(16, 64, 6);
  CBgraImage16 viaCaller;
  CBgraImage16 viaHelpers;
  CTestInvert local;
  local.m_source = &source;
  local.m_target = &viaCaller;
  ASSERT_EQ(local.SplitIntoStripes(CTestInvert::kOverlap, 8), 16);
  ASSERT_EQ(idle.RunStripes(local), 1);
  EXPECT_EQ(local.stripesRun, 16);
  CTestInvert shared;
  shared.m_source = &source;
  shared.m_target = &viaHelpers;
  shared.rowsPerStripe = 8;
  ASSERT_EQ(shared.Process(), 1);
  EXPECT_EQ(std::memcmp(viaCaller.pixels, viaHelpers.pixels, viaHelpers.byteSize), 0);
}

TEST(RunStripes, APassStartedInsideAStripeRunsOnThatHelper) {
  CBgraImage16 source = NoiseImage(16, 64, 7);
  CBgraImage16 target;
  CBgraImage16 innerTarget;
  std::atomic<int> innerRuns{0};
  CTestInvert outer;
  outer.m_source = &source;
  outer.m_target = &target;
  outer.rowsPerStripe = 8;
  outer.onStripe = [&](StripeTask*) {
    CTestInvert inner;
    CBgraImage16 scratch;
    inner.m_source = &source;
    inner.m_target = &scratch;
    inner.rowsPerStripe = 16;
    const int ok = inner.Process();
    innerRuns += inner.stripesRun;
    return ok;
  };
  ASSERT_EQ(outer.Process(), 1);
  EXPECT_EQ(innerRuns, 16 * 6);
}

TEST(AsyncJob, CompletionFollowsEveryProgressValueOnceAndCarriesCommandAndResult) {
  RecordingSink sink;
  CScripted job;
  job.body = [](CScripted& self) {
    for (int p = 0; p <= 100; p += 10) {
      self.SetProgress(p);
      self.SetProgress(p);
    }
    return -1;
  };
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 42, {&sink, 5}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(5));
  theAlgorithmThread.WaitWhileBusy();
  std::vector<std::uint64_t> expected;
  for (std::uint64_t p = 0; p <= 100; p += 10) expected.push_back(p);
  expected.push_back(1042);
  EXPECT_EQ(sink.WParams(5), expected);
  EXPECT_EQ(sink.Messages().back().lparam, ~std::uint64_t{0});  // -1, sign-extended

  // The same object again: every value once more, and command 0 gives 1000.
  RecordingSink again;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 0, {&again, 5}), 1);
  ASSERT_TRUE(again.WaitForCompletion(5));
  theAlgorithmThread.WaitWhileBusy();
  expected.back() = 1000;
  EXPECT_EQ(again.WParams(5), expected);
}

TEST(AsyncJob, ASecondStartWaitsForTheFirstJobsCompletionAndKeepsItsOwnListener) {
  RecordingSink sink;
  std::promise<void> running;
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  CScripted first;
  first.body = [&](CScripted& self) {
    self.SetProgress(50);
    running.set_value();
    gate.wait();
    return 1;
  };
  CScripted second;
  second.body = [](CScripted& self) {
    self.SetProgress(30);
    return 1;
  };
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&first, nullptr, nullptr, nullptr, 1, {&sink, 100}), 1);
  running.get_future().wait();
  EXPECT_EQ(theAlgorithmThread.IsBusy(), 1);

  std::atomic<bool> returned{false};
  std::thread starter([&] {
    EXPECT_EQ(theAlgorithmThread.StartAlgorithmAsync(&second, nullptr, nullptr, nullptr, 2, {&sink, 200}), 1);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned);  // it cannot return while the first job runs
  release.set_value();
  starter.join();
  ASSERT_TRUE(sink.WaitForCompletion(200));
  theAlgorithmThread.WaitWhileBusy();

  const auto messages = sink.Messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].target, 100u);
  EXPECT_EQ(messages[0].wparam, 50u);
  EXPECT_EQ(messages[1].target, 100u);
  EXPECT_EQ(messages[1].wparam, 1001u);
  EXPECT_EQ(messages[2].target, 200u);
  EXPECT_EQ(messages[2].wparam, 30u);
  EXPECT_EQ(messages[3].target, 200u);
  EXPECT_EQ(messages[3].wparam, 1002u);
}

TEST(AsyncJob, StartingFromTheAlgorithmThreadItselfIsRefused) {
  RecordingSink sink;
  CScripted inner;
  CScripted outer;
  outer.body = [&](CScripted&) {
    return theAlgorithmThread.StartAlgorithmAsync(&inner, nullptr, nullptr, nullptr, 0, {}) == 0 ? 1 : 0;
  };
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&outer, nullptr, nullptr, nullptr, 0, {&sink, 1}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(1));
  EXPECT_EQ(sink.Messages().back().lparam, 1u);
  theAlgorithmThread.WaitWhileBusy();
  EXPECT_EQ(theAlgorithmThread.StartAlgorithmAsync(nullptr, nullptr, nullptr, nullptr, 0, {}), 0);
}

// A cancel from the first stripe lets running stripes finish, skips the rest
// of the job's passes, is no failure, and is cleared when the job ends.
TEST(AsyncJob, CancelSkipsPendingStripesForTheRestOfTheJob) {
  RecordingSink sink;
  CBgraImage16 source = RowImage(4, 64);
  CBgraImage16 target;
  CTestInvert job;
  job.passes = 2;
  job.rowsPerStripe = 1 + 2 * CTestInvert::kOverlap;  // one row per stripe: 64 tasks a pass
  // The stripes taken next to the first wait for its cancel, so no helper
  // can finish a stripe and take another before it.
  std::promise<void> cancelled;
  std::shared_future<void> afterCancel = cancelled.get_future().share();
  job.onStripe = [&](StripeTask* task) {
    if (task->rowStart == 0) {
      theAlgorithmThread.Cancel();
      cancelled.set_value();
    } else {
      afterCancel.wait();
    }
    return 1;
  };
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, &source, &target, nullptr, 3, {&sink, 9}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(9));
  theAlgorithmThread.WaitWhileBusy();

  EXPECT_LE(job.stripesRun, static_cast<int>(kTestHelpers));  // only those already running
  EXPECT_EQ(sink.Messages().back().wparam, 1003u);
  EXPECT_EQ(sink.Messages().back().lparam, 1u);
  EXPECT_EQ(theAlgorithmThread.CancelFlag(), 0);
  // Skipped stripes keep the copy of the source.
  int untouched = 0;
  for (std::uint32_t y = 0; y < 64; ++y) untouched += target.At(0, y)[0] == y + 1 ? 1 : 0;
  EXPECT_GE(untouched, 64 - static_cast<int>(kTestHelpers));
}

TEST(AsyncJob, CancelWhileIdleHasNoEffectOnASynchronousRun) {
  theAlgorithmThread.WaitWhileBusy();
  theAlgorithmThread.Cancel();
  EXPECT_EQ(theAlgorithmThread.IsCancelRequested(), 0);
  CBgraImage16 source = NoiseImage(16, 64, 8);
  CBgraImage16 target;
  CTestInvert algorithm;
  algorithm.m_source = &source;
  algorithm.m_target = &target;
  algorithm.rowsPerStripe = 8;
  EXPECT_EQ(algorithm.Process(), 1);
  EXPECT_EQ(algorithm.stripesRun, 16);
  // The next job clears it as it starts.
  RecordingSink sink;
  CScripted job;
  ASSERT_EQ(theAlgorithmThread.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 0, {&sink, 1}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(1));
  theAlgorithmThread.WaitWhileBusy();
  EXPECT_EQ(theAlgorithmThread.CancelFlag(), 0);
}

TEST(Shutdown, RegisteredWorkersStopWhenTheOwnerClosesAndLaterStartsFail) {
  TestRegistry registry;
  CAlgorithmThread engine;
  ASSERT_EQ(engine.Start(2, &registry), 1);
  EXPECT_EQ(engine.Start(2, &registry), 1);  // already running
  EXPECT_EQ(registry.Count(), 3u);           // two helpers and the thread

  RecordingSink sink;
  CScripted job;
  ASSERT_EQ(engine.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 4, {&sink, 1}), 1);
  ASSERT_TRUE(sink.WaitForCompletion(1));
  engine.WaitWhileBusy();

  EXPECT_TRUE(registry.Close());
  EXPECT_EQ(engine.StartAlgorithmAsync(&job, nullptr, nullptr, nullptr, 4, {&sink, 1}), 0);
  EXPECT_EQ(engine.Shutdown(), 1);
  EXPECT_EQ(engine.Start(2), 0);
}

// A job that ignores the stop is left running after the bound; the engine's
// state outlives the object, and the job still completes.
TEST(Shutdown, AJobPastTheBoundIsDetachedAndStillCompletes) {
  auto sink = std::make_shared<RecordingSink>();
  auto job = std::make_shared<CScripted>();
  std::promise<void> running;
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  job->body = [&running, gate](CScripted&) {
    running.set_value();
    gate.wait();
    return 1;
  };
  {
    CAlgorithmThread engine;
    ASSERT_EQ(engine.Start(1), 1);
    ASSERT_EQ(engine.StartAlgorithmAsync(job.get(), nullptr, nullptr, nullptr, 6, {sink.get(), 1}), 1);
    running.get_future().wait();
    EXPECT_EQ(engine.Shutdown(std::chrono::milliseconds(20)), 0);
  }
  release.set_value();
  ASSERT_TRUE(sink->WaitForCompletion(1));
  EXPECT_EQ(sink->WParams(1).back(), 1006u);
  // Let the detached thread leave before the sink and job go.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace
