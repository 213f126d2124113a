// What the sync measuring programs share: the cuts they time and the statistics they print.
#include "measure/sync_measure.h"
#include "shell/schedule.h"
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(SyncMeasure, CutsUpToTheLimitInOrderNeverTheShowsEnd) {
    EXPECT_TRUE(cutsUntil(kSchedule[0].seconds - 0.01).empty());
    std::vector<double> four = cutsUntil(kSchedule[3].seconds);
    ASSERT_EQ(four.size(), 4u) << "a cut at the limit itself counts";
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(four[size_t(i)], kSchedule[i].seconds);
    std::vector<double> all = cutsUntil(1e9);
    ASSERT_EQ(all.size(), size_t(kScheduleRows - 1)) << "the last row ends the show: no cut";
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(all[i - 1], all[i]);
}

TEST(SyncMeasure, SummarizesOffsetsWithoutReorderingThem) {
    // Offsets on a line 2 + 0.5 t: mean, middle and slope known exactly.
    const std::vector<double> times = {0, 10, 20, 30, 40}, line = {2, 7, 12, 17, 22};
    OffsetSummary s = summarizeOffsets(line, times);
    EXPECT_DOUBLE_EQ(s.mean, 12);
    EXPECT_DOUBLE_EQ(s.median, 12);
    EXPECT_DOUBLE_EQ(s.lo, 2);
    EXPECT_DOUBLE_EQ(s.hi, 22);
    EXPECT_DOUBLE_EQ(s.sd, std::sqrt(50.0)); // deviations 10, 5, 0: (200 + 50) / 5
    EXPECT_DOUBLE_EQ(s.slope, 0.5);
    // Unordered, with an outlier: the median is the middle of the sorted values, the
    // caller's order (paired with its times) stands, and a flat series has no slope.
    const std::vector<double> scattered = {9, -3, 4, 100, 4};
    s = summarizeOffsets(scattered, times);
    EXPECT_DOUBLE_EQ(s.median, 4);
    EXPECT_DOUBLE_EQ(s.lo, -3);
    EXPECT_DOUBLE_EQ(s.hi, 100);
    EXPECT_EQ(scattered[0], 9);
    s = summarizeOffsets({5, 5, 5}, {1, 2, 3});
    EXPECT_DOUBLE_EQ(s.slope, 0);
    EXPECT_DOUBLE_EQ(s.sd, 0);
    EXPECT_DOUBLE_EQ(s.median, 5);
}

} // namespace
