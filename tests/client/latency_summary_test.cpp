// The order statistics of round-trip times.
#include "latency_summary.h"

#include <gtest/gtest.h>

#include <vector>

TEST(LatencySummary, OrderStatisticsOfUnsortedSamples)
{
    std::vector<double> hundred;
    for (int value = 100; value >= 1; --value)
        hundred.push_back(value);
    const LatencySummary summary = SummarizeLatencies(hundred);
    EXPECT_EQ(summary.count, 100u);
    EXPECT_EQ(summary.minimum, 1.0);
    EXPECT_EQ(summary.median, 50.5);
    EXPECT_EQ(summary.p95, 95.0);
    EXPECT_EQ(summary.p99, 99.0);
    EXPECT_EQ(summary.maximum, 100.0);
}

TEST(LatencySummary, SmallSeriesTakeTheNearestRank)
{
    const LatencySummary odd = SummarizeLatencies({3.0, 1.0, 2.0});
    EXPECT_EQ(odd.median, 2.0);
    EXPECT_EQ(odd.p95, 3.0);

    const LatencySummary twenty = SummarizeLatencies(
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    EXPECT_EQ(twenty.p95, 19.0);
    EXPECT_EQ(twenty.p99, 20.0);

    const LatencySummary one = SummarizeLatencies({7.5});
    EXPECT_EQ(one.minimum, 7.5);
    EXPECT_EQ(one.median, 7.5);
    EXPECT_EQ(one.p99, 7.5);

    const LatencySummary none = SummarizeLatencies({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.maximum, 0.0);
}
