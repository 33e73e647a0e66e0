// The ratios the benchmarks print: a run's time is the median of its
// repetitions (or of the single run), never one of the other aggregates,
// whatever order the names sort in, and the words say which side is faster.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/RatioTable.h"

namespace {

// Five repetitions of a run as Google Benchmark reports them, the runs and
// then the four aggregates; the aggregates alone with aggregatesOnly. The
// coefficient of variation is small and sorts first ("_cv"), the old fault.
void AddRepeated(RatioTable& table, const std::string& name, double median, bool aggregatesOnly) {
  const double runs[] = {median * 1.3, median * 0.9, median, median * 1.05, median * 0.95};
  if (!aggregatesOnly) {
    for (double seconds : runs) table.Add(name, "", seconds);
  }
  table.Add(name, "mean", median * 1.04);
  table.Add(name, "median", median);
  table.Add(name, "stddev", median * 0.15);
  table.Add(name, "cv", 0.14);
}

}  // namespace

TEST(RatioTable, TakesTheMedianOfRepetitionsOrTheSingleRun) {
  struct Case {
    const char* what;
    int repetitions;  // 0: one run, no aggregates
    bool aggregatesOnly;
  };
  for (const Case c :
       {Case{"single run", 0, false}, Case{"repetitions", 5, false}, Case{"aggregates only", 5, true}}) {
    SCOPED_TRACE(c.what);
    RatioTable table;
    const std::string ours = "BM_Tessera/method:3/divisor:2";
    const std::string peer = "BM_VipsResize/method:3/divisor:2";
    if (c.repetitions == 0) {
      table.Add(ours, "", 0.120);
      table.Add(peer, "", 0.204);
    } else {
      AddRepeated(table, ours, 0.120, c.aggregatesOnly);
      AddRepeated(table, peer, 0.204, c.aggregatesOnly);
    }
    EXPECT_DOUBLE_EQ(table.Seconds(ours), 0.120);
    EXPECT_DOUBLE_EQ(table.Seconds(peer), 0.204);
    EXPECT_EQ(table.Compare(ours, peer, "vips"),
              "Tessera 1.70x faster than vips (Tessera 120.0 ms, vips 204.0 ms)");
    EXPECT_EQ(table.Compare(peer, ours, "X"), "Tessera 1.70x slower than X (Tessera 204.0 ms, X 120.0 ms)");
  }
}

TEST(RatioTable, AnEvenCountTakesTheMeanOfTheMiddleTwo) {
  RatioTable table;
  for (double seconds : {0.4, 0.1, 0.3, 0.2}) table.Add("BM_A", "", seconds);
  EXPECT_DOUBLE_EQ(table.Seconds("BM_A"), 0.25);
}

TEST(RatioTable, NamesAreExactAndAMissingRunIsNamed) {
  // A name that is a prefix of another's is still its own run.
  RatioTable table;
  table.Add("BM_TesseraGaussBlurOneThread/2", "", 0.5);
  table.Add("BM_TesseraGaussBlur/2", "", 0.1);
  table.Add("BM_VipsGaussblur/2", "", 0.1);
  EXPECT_DOUBLE_EQ(table.Seconds("BM_TesseraGaussBlur/2"), 0.1);
  EXPECT_EQ(table.Seconds("BM_TesseraGaussBlur"), -1.0);
  EXPECT_EQ(table.Compare("BM_TesseraGaussBlur/2", "BM_VipsGaussblur/2", "vips"),
            "Tessera as fast as vips (Tessera 100.0 ms, vips 100.0 ms)");
  EXPECT_EQ(table.Compare("BM_TesseraGaussBlur/2", "BM_VipsGaussblur/10", "vips"),
            "no time for BM_VipsGaussblur/10");
  EXPECT_EQ(table.Compare("BM_Nothing", "BM_VipsGaussblur/2", "vips"), "no time for BM_Nothing");
  EXPECT_EQ(table.Names(), (std::vector<std::string>{"BM_TesseraGaussBlurOneThread/2",
                                                     "BM_TesseraGaussBlur/2", "BM_VipsGaussblur/2"}));
  EXPECT_EQ(RatioTable::Milliseconds(0.000125), "0.125 ms");
}
