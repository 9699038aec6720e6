// Order statistics of a series of round-trip times.
#include "latency_summary.h"

#include <algorithm>
#include <cmath>

namespace {

// The nearest-rank percentile of sorted, which is not empty.
double NearestRank(const std::vector<double> &sorted, double percent)
{
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(sorted.size()));
    const size_t index = static_cast<size_t>(std::max(rank, 1.0)) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

double Median(const std::vector<double> &sorted)
{
    const size_t middle = sorted.size() / 2;
    if (sorted.size() % 2 == 1)
        return sorted[middle];
    return (sorted[middle - 1] + sorted[middle]) / 2.0;
}

} // namespace

LatencySummary SummarizeLatencies(std::vector<double> samples)
{
    if (samples.empty())
        return LatencySummary{0, 0.0, 0.0, 0.0, 0.0, 0.0};
    std::sort(samples.begin(), samples.end());
    return LatencySummary{samples.size(),           samples.front(),
                          Median(samples),          NearestRank(samples, 95.0),
                          NearestRank(samples, 99.0), samples.back()};
}
