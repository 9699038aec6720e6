// The summary of a series of round-trip times: count, minimum, median, percentiles, maximum.
#ifndef CAPTURE_CLIENT_LATENCY_SUMMARY_H
#define CAPTURE_CLIENT_LATENCY_SUMMARY_H

#include <cstddef>
#include <vector>

struct LatencySummary {
    size_t count;
    double minimum;
    double median; // the mean of the two middle values for an even count
    double p95;    // percentiles by nearest rank: the smallest sample that at least p% reach
    double p99;
    double maximum;
};

// The summary of samples, in their unit; all zero when there are none.
LatencySummary SummarizeLatencies(std::vector<double> samples);

#endif
