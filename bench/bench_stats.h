#pragma once
// Figures for the measuring tools: summaries of timed samples, and the rows
// of the one table that scripts/bench.sh prints. Every tool writes its rows
// to standard output as
//
//   row<TAB>measure<TAB>figure<TAB>target<TAB>met
//
// and its progress to standard error, so the script can gather the rows of
// several tools, native and under Wine, into one table.

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace lptlcd::bench {

// The smallest sample with at least `percent` percent of the samples at or
// below it (nearest rank), for 0 < percent <= 100. NaN when there are none.
double Percentile(std::vector<double> samples, double percent);

struct Summary {
  std::size_t count = 0;
  // All NaN when count is 0, so an empty measurement never meets a target.
  double min = std::numeric_limits<double>::quiet_NaN();
  // The middle sample, or the mean of the two middle ones.
  double median = std::numeric_limits<double>::quiet_NaN();
  // Percentile(samples, 99).
  double p99 = std::numeric_limits<double>::quiet_NaN();
  double max = std::numeric_limits<double>::quiet_NaN();
  double mean = std::numeric_limits<double>::quiet_NaN();
};

Summary Summarize(std::vector<double> samples);

enum class Verdict { kMet, kNotMet, kNoTarget };

// A figure that could not be measured (NaN) meets no target.
Verdict AtMost(double figure, double limit);
Verdict AtLeast(double figure, double limit);

const char* VerdictText(Verdict verdict);  // "yes", "NO", "-"

// One table row as described above, with a line end. Tabs and line breaks
// inside the fields become spaces, so a row is always one line of five fields.
std::string TableRow(const std::string& measure, const std::string& figure,
                     const std::string& target, Verdict verdict);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...);

}  // namespace lptlcd::bench
