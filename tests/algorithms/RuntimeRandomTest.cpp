#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "algorithms/RuntimeRandom.h"

namespace {

std::vector<int> Draw(int n) {
  std::vector<int> values;
  for (int i = 0; i < n; ++i) values.push_back(RuntimeRandom());
  return values;
}

TEST(RuntimeRandom, SeedOneGivesTheClassicSequenceAndSeedsRepeat) {
  SeedRuntimeRandom(1);
  EXPECT_EQ(Draw(4), (std::vector<int>{41, 18467, 6334, 26500}));
  SeedRuntimeRandom(2024);
  const std::vector<int> first = Draw(100);
  SeedRuntimeRandom(2024);
  EXPECT_EQ(Draw(100), first);
  for (int v : first) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, kRuntimeRandomMax);
  }
}

TEST(RuntimeRandom, EachThreadHasItsOwnStateStartingAtOne) {
  SeedRuntimeRandom(77);
  std::vector<int> other;
  std::thread worker([&other] { other = Draw(2); });
  worker.join();
  EXPECT_EQ(other, (std::vector<int>{41, 18467}));
}

}  // namespace
