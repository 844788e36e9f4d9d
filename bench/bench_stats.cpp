#include "bench/bench_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace lptlcd::bench {

namespace {

constexpr double kNoFigure = std::numeric_limits<double>::quiet_NaN();

double NearestRank(const std::vector<double>& sorted, double percent) {
  // Rank k (from 1) is the smallest with k >= percent/100 * n.
  const double n = static_cast<double>(sorted.size());
  auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * n));
  rank = std::clamp<std::size_t>(rank, 1, sorted.size());
  return sorted[rank - 1];
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

double Percentile(std::vector<double> samples, double percent) {
  if (samples.empty()) return kNoFigure;
  std::sort(samples.begin(), samples.end());
  return NearestRank(samples, percent);
}

Summary Summarize(std::vector<double> samples) {
  Summary summary;
  summary.count = samples.size();
  if (samples.empty()) return summary;
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  summary.min = samples.front();
  summary.max = samples.back();
  summary.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
  summary.p99 = NearestRank(samples, 99.0);
  double sum = 0.0;
  for (double sample : samples) sum += sample;
  summary.mean = sum / static_cast<double>(n);
  return summary;
}

Verdict AtMost(double figure, double limit) {
  return figure <= limit ? Verdict::kMet : Verdict::kNotMet;  // false for NaN
}

Verdict AtLeast(double figure, double limit) {
  return figure >= limit ? Verdict::kMet : Verdict::kNotMet;  // false for NaN
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kMet:
      return "yes";
    case Verdict::kNotMet:
      return "NO";
    case Verdict::kNoTarget:
      break;
  }
  return "-";
}

std::string TableRow(const std::string& measure, const std::string& figure,
                     const std::string& target, Verdict verdict) {
  return "row\t" + OneLine(measure) + "\t" + OneLine(figure) + "\t" + OneLine(target) + "\t" +
         VerdictText(verdict) + "\n";
}

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  if (length < 0) return {};
  return std::string(buffer,
                     std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

}  // namespace lptlcd::bench
