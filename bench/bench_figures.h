// What every benchmark prints about a figure it measured in interleaved rounds: the median
// of the round ratios, their spread, and one summary line per figure that scripts/bench.sh
// collects. A round measures both sides of a ratio under the same load, so a burst of load
// from other programs spoils a round or two, not the figure. Header only, plain C++.
#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qly_bench {

// The q-quantile of the samples (0.5: the median); 0 for none.
inline double Quantile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

inline double Median(const std::vector<double>& v) {
    return Quantile(v, 0.5);
}

enum class Aim { AtMost, AtLeast };

// Prints "summary: FIGURE = MEDIAN (rounds LOW .. HIGH, R rounds; aim <= T) met" or
// "... NOT met". Returns whether the median meets the aim.
inline bool PrintSummary(const char* figure,
                         const std::vector<double>& rounds,
                         Aim aim,
                         double target) {
    const double median = Median(rounds);
    const double low = rounds.empty() ? 0 : *std::min_element(rounds.begin(), rounds.end());
    const double high = rounds.empty() ? 0 : *std::max_element(rounds.begin(), rounds.end());
    const bool met = !rounds.empty() && (aim == Aim::AtMost ? median <= target : median >= target);
    std::printf("summary: %s = %.2f (rounds %.2f .. %.2f, %zu rounds; aim %s %.2f) %s\n", figure,
                median, low, high, rounds.size(), aim == Aim::AtMost ? "<=" : ">=", target,
                met ? "met" : "NOT met");
    std::fflush(stdout);
    return met;
}

}  // namespace qly_bench
