#include <gtest/gtest.h>

#include "algorithms/AlgorithmThread.h"

namespace {

// The save runs go to the algorithm thread: every test of this binary runs
// with the engine started.
class EngineEnvironment : public ::testing::Environment {
public:
  void SetUp() override { ASSERT_EQ(theAlgorithmThread.Start(4), 1); }
  void TearDown() override { EXPECT_EQ(theAlgorithmThread.Shutdown(), 1); }
};
[[maybe_unused]] ::testing::Environment* const kEngine =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

}  // namespace
