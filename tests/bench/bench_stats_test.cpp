#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/bench_stats.h"

namespace lptlcd::bench {
namespace {

std::vector<double> OneTo(int n) {
  std::vector<double> values;
  for (int i = n; i >= 1; --i) values.push_back(i);  // unsorted on purpose
  return values;
}

TEST(Percentile, NearestRankOfAThousandSamples) {
  // The 99th percentile of 1..1000 is the 990th sample: 990 samples are at
  // or below it, and no smaller sample has that many.
  EXPECT_EQ(Percentile(OneTo(1000), 99), 990);
  EXPECT_EQ(Percentile(OneTo(1000), 50), 500);
  EXPECT_EQ(Percentile(OneTo(1000), 100), 1000);
}

TEST(Percentile, SmallSamplesRoundTheRankUp) {
  // 99 % of 10 samples is 9.9 samples: the rank is 10, the largest.
  EXPECT_EQ(Percentile(OneTo(10), 99), 10);
  EXPECT_EQ(Percentile(OneTo(10), 90), 9);
  EXPECT_EQ(Percentile(OneTo(10), 1), 1);
  EXPECT_EQ(Percentile({7.5}, 99), 7.5);
}

TEST(Percentile, NoSamplesGiveNoFigure) { EXPECT_TRUE(std::isnan(Percentile({}, 50))); }

TEST(Summarize, OddAndEvenCounts) {
  const Summary odd = Summarize({5, 1, 3});
  EXPECT_EQ(odd.count, 3u);
  EXPECT_EQ(odd.min, 1);
  EXPECT_EQ(odd.median, 3);
  EXPECT_EQ(odd.max, 5);
  EXPECT_EQ(odd.mean, 3);
  EXPECT_EQ(odd.p99, 5);

  const Summary even = Summarize({4, 1, 3, 2});
  EXPECT_EQ(even.median, 2.5);
  EXPECT_EQ(even.mean, 2.5);
}

TEST(Summarize, ASingleOutlierMovesTheTailNotTheMedian) {
  std::vector<double> latencies(999, 1.0);
  latencies.push_back(40.0);
  const Summary summary = Summarize(latencies);
  EXPECT_EQ(summary.median, 1.0);
  EXPECT_EQ(summary.p99, 1.0);
  EXPECT_EQ(summary.max, 40.0);
  latencies.resize(980);
  latencies.resize(1000, 40.0);  // 20 slow ones: 2 %, so they reach the 99th percentile
  EXPECT_EQ(Summarize(latencies).p99, 40.0);
}

TEST(Summarize, NothingMeasuredMeetsNoTarget) {
  const Summary empty = Summarize({});
  EXPECT_EQ(empty.count, 0u);
  EXPECT_TRUE(std::isnan(empty.median));
  EXPECT_TRUE(std::isnan(empty.max));
  EXPECT_EQ(AtMost(empty.median, 1.5), Verdict::kNotMet);
  EXPECT_EQ(AtLeast(empty.median, 0), Verdict::kNotMet);
}

TEST(Verdicts, LimitsAreInclusive) {
  EXPECT_EQ(AtMost(1.5, 1.5), Verdict::kMet);
  EXPECT_EQ(AtMost(1.5001, 1.5), Verdict::kNotMet);
  EXPECT_EQ(AtLeast(100e6, 100e6), Verdict::kMet);
  EXPECT_EQ(AtLeast(99.9e6, 100e6), Verdict::kNotMet);
}

TEST(TableRow, FiveTabSeparatedFieldsOnOneLine) {
  EXPECT_EQ(TableRow("latency", "1.2 ms", "<= 1.5 ms", Verdict::kMet),
            "row\tlatency\t1.2 ms\t<= 1.5 ms\tyes\n");
  // A stray tab or line break in a field must not split the row.
  EXPECT_EQ(TableRow("a\tb", "1\n2", "x\r", Verdict::kNoTarget), "row\ta b\t1 2\tx \t-\n");
}

TEST(Format, FormatsLikePrintf) {
  EXPECT_EQ(Format("%.2f ms, %zu of %d", 1.234, std::size_t{3}, 4), "1.23 ms, 3 of 4");
  EXPECT_EQ(Format("%s", std::string(600, 'x').c_str()).size(), 511u);  // cut, never overrun
}

}  // namespace
}  // namespace lptlcd::bench
