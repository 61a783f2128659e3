#pragma once
// Summaries of repeated measurements, printed as "figure|id|label|median|min|p90|unit"
// lines that tools/bench collects into bench/RESULTS.md.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace bench {

struct Summary {
  double median = 0, min = 0, p90 = 0;
  std::size_t samples = 0;
};

// Nearest-rank percentiles: every reported value is one that was measured.
inline double Percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

inline Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  if (values.empty()) return {};
  return {Percentile(values, 0.5), values.front(), Percentile(values, 0.9), values.size()};
}

inline void PrintFigure(std::string_view id, std::string_view label, const Summary& s, std::string_view unit) {
  std::printf("figure|%.*s|%.*s|%.6g|%.6g|%.6g|%.*s\n", static_cast<int>(id.size()), id.data(),
              static_cast<int>(label.size()), label.data(), s.median, s.min, s.p90,
              static_cast<int>(unit.size()), unit.data());
  std::fflush(stdout);
}

}  // namespace bench
