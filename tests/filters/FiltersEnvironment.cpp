#include <gtest/gtest.h>

#include "algorithms/AlgorithmThread.h"
#include "filters/EnlargeFilterSet.h"

namespace {

// The refinement's sweeps run on the stripe helpers: every test of this
// binary runs with the engine started, and with the enlargements' filters
// installed as the program installs them.
class EngineEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    ASSERT_EQ(theAlgorithmThread.Start(8), 1);
    InstallEnlargeFilters();
  }
  void TearDown() override { EXPECT_EQ(theAlgorithmThread.Shutdown(), 1); }
};
[[maybe_unused]] ::testing::Environment* const kEngine =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

}  // namespace
