// The fixed-step and fixed-rate clocks, the script of scenes and its end, the frame test
// list and the change flags, without a window.
#include "shell/demo_state.h"
#include "shell/dispatch.h"
#include "shell/frame_clock.h"
#include "shell/frame_list.h"
#include "shell/schedule.h"
#include <cmath>
#include <cstdint>
#include <string>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Music time as the clock reports it: whole milliseconds times 0.001f, rounded to float.
float musicSeconds(int ms) {
    return float(double(ms) * double(0.001f));
}

TEST(FrameClock, FirstFrameAdvancesByTheFirstReadingClampedTo025) {
    FrameClock clock;
    int32_t ticks = 0;
    advanceFrameClock(clock, musicSeconds(50), ticks);
    EXPECT_EQ(ticks, 2); // 0.05 s is a hair short of three float step lengths
    EXPECT_FLOAT_EQ(clock.previousTime, 0.05f);
    EXPECT_NEAR(frameMojo(clock), 0.05 * 17.4, 1e-4);

    FrameClock late;
    int32_t lateTicks = 0;
    advanceFrameClock(late, 0.5f, lateTicks);
    // 0.25 s at most, and the float step length sits a hair above 1/60: 14 steps, not 15.
    EXPECT_EQ(lateTicks, 14);
    EXPECT_FLOAT_EQ(late.accumulator, 0.0166666545f);
    EXPECT_NEAR(frameMojo(late), 0.25 * 17.4, 1e-4);
}

TEST(FrameClock, RepeatedTimeAddsNothingAndExactStepCounts) {
    FrameClock clock;
    int32_t ticks = 0;
    advanceFrameClock(clock, musicSeconds(100), ticks);
    FrameClock before = clock;
    int32_t ticksBefore = ticks;
    float mojoBefore = frameMojo(clock);
    advanceFrameClock(clock, musicSeconds(100), ticks);
    EXPECT_EQ(ticks, ticksBefore);
    EXPECT_EQ(clock.accumulator, before.accumulator);
    EXPECT_EQ(frameMojo(clock), mojoBefore);

    // A sum of exactly one step length counts as a step.
    FrameClock exact;
    int32_t exactTicks = 0;
    advanceFrameClock(exact, 1.0f / 60.0f, exactTicks);
    EXPECT_EQ(exactTicks, 1);
    EXPECT_EQ(exact.accumulator, 0.0f);
    EXPECT_FLOAT_EQ(exact.mojoBase, 0.29f);
}

TEST(FrameClock, BackwardStepDrainsTheAccumulatorAndMovesMojoBack) {
    FrameClock clock;
    int32_t ticks = 0;
    for (int ms = 0; ms <= 2000; ms += 16)
        advanceFrameClock(clock, musicSeconds(ms), ticks);
    int32_t ticksBefore = ticks;
    float mojoBefore = frameMojo(clock);
    advanceFrameClock(clock, 0.0f, ticks); // a looping stream starts over
    EXPECT_EQ(ticks, ticksBefore);
    EXPECT_LT(clock.accumulator, 0.0f);
    EXPECT_LT(frameMojo(clock), mojoBefore);
    // No step until the accumulator has climbed back to one step length.
    float debt = -clock.accumulator;
    advanceFrameClock(clock, debt, ticks);
    EXPECT_EQ(ticks, ticksBefore);
}

TEST(FrameClock, MojoTracksMusicAt174PerSecondOverAWholeRun) {
    FrameClock clock;
    int32_t ticks = 0;
    for (int ms = 0; ms <= 120000; ms += 17)
        advanceFrameClock(clock, musicSeconds(ms), ticks);
    double seconds = 119.986; // the last reading, 7058 x 17 ms
    EXPECT_NEAR(ticks, seconds * 60, 2);
    // mojoBase is stored in single precision once per frame: over 7000 frames near 2000
    // its rounding adds up to about 0.1 mojo units (0.006 s), no more.
    EXPECT_NEAR(frameMojo(clock), seconds * 17.4, 0.2);
    EXPECT_NEAR(frameMojo(clock), 0.29 * (ticks + clock.accumulator * 60), 0.2);
}

struct Row {
    int firstMs, scene, part, variant;
};

TEST(Schedule, EveryMillisecondOfARunFollowsTheScript) {
    const std::vector<Row> expected = {
        {0, 1, 0, 0},      {3340, 1, 0, 1},    {7290, 1, 0, 2},    {11000, 1, 0, 3},
        {15186, 2, 0, 3},  {22530, 3, 0, 0},   {30460, 4, 0, 1},   {41000, 5, 0, 2},
        {49500, 6, 0, 3},  {72160, 70, 0, 3},  {74000, 701, 0, 0}, {76000, 71, 0, 3},
        {80000, 73, 0, 0}, {82000, 732, 0, 1}, {83500, 74, 0, 0},  {85500, 75, 0, 0},
        {87500, 76, 0, 0}, {91000, 77, 0, 0},  {93000, 78, 0, 0},  {95000, 79, 0, 0},
        {97000, 8, 0, 0},  {105040, 9, 3, 0},
    };
    DemoState state;
    bool finished = false;
    std::vector<Row> seen;
    int finishedAt = -1;
    for (int ms = 0; ms <= 121000 && finishedAt < 0; ++ms) {
        applySchedule(state, musicSeconds(ms), finished);
        if (finished) {
            finishedAt = ms;
            break;
        }
        if (seen.empty() || seen.back().scene != state.scene || seen.back().part != state.part ||
            seen.back().variant != state.variant)
            seen.push_back({ms, state.scene, state.part, state.variant});
    }
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].firstMs, expected[i].firstMs) << "row " << i + 1;
        EXPECT_EQ(seen[i].scene, expected[i].scene) << "row " << i + 1;
        EXPECT_EQ(seen[i].part, expected[i].part) << "row " << i + 1;
        EXPECT_EQ(seen[i].variant, expected[i].variant) << "row " << i + 1;
    }
    EXPECT_EQ(finishedAt, 120000);
    // The end leaves the last frame's choice in place.
    EXPECT_EQ(state.scene, 9);
    EXPECT_EQ(state.part, 3);
    EXPECT_EQ(state.variant, 0);
}

TEST(Schedule, RowsThatKeepAFieldKeepWhatTheLastAppliedRowLeft) {
    DemoState state;
    bool finished = false;
    applySchedule(state, musicSeconds(82500), finished); // row 14: variant 1
    ASSERT_EQ(state.variant, 1);
    applySchedule(state, musicSeconds(85600), finished); // a slow frame skips row 15
    EXPECT_EQ(state.scene, 75);
    EXPECT_EQ(state.variant, 1);
    EXPECT_FALSE(finished);
    state.part = 3; // rows 10 to 20 never set part
    applySchedule(state, musicSeconds(75000), finished);
    EXPECT_EQ(state.part, 3);
}

TEST(FixedRateClock, FrameTimesAreRoundedWholeMilliseconds) {
    EXPECT_EQ(fixedRateMilliseconds(0, 60), 0);
    EXPECT_EQ(fixedRateMilliseconds(1, 60), 17); // 16.67
    EXPECT_EQ(fixedRateMilliseconds(2, 60), 33); // 33.33
    EXPECT_EQ(fixedRateMilliseconds(4330, 60), 72167);
    EXPECT_EQ(fixedRateMilliseconds(4440, 60), 74000);
    EXPECT_EQ(fixedRateMilliseconds(7199, 60), 119983);
    EXPECT_EQ(fixedRateMilliseconds(1, 48), 21); // 20.833
    EXPECT_EQ(fixedRateMilliseconds(3, 48), 63); // 62.5 rounds up
    EXPECT_EQ(fixedRateMilliseconds(1, 1), 1000);
    // Hours of frames at the highest rate still fit the millisecond count.
    EXPECT_EQ(fixedRateMilliseconds(240 * 3600, 240), 3600000);
}

TEST(FixedRateClock, ReadsAsTheMusicClockAndReachesTheEndAtFrame7200) {
    for (int64_t frame : {0, 1, 4330, 7199, 7200})
        EXPECT_EQ(float(fixedRateSeconds(frame, 60)),
                  musicSeconds(fixedRateMilliseconds(frame, 60)));
    bool finished = false;
    DemoState state;
    applySchedule(state, float(fixedRateSeconds(7199, 60)), finished);
    EXPECT_FALSE(finished);
    applySchedule(state, float(fixedRateSeconds(7200, 60)), finished);
    EXPECT_TRUE(finished);
}

// The page's end watch reads the looped music (121.5 s a pass) every `period` seconds from
// `from` to `to` seconds of playing; the time of the reading that ends the show, or -1.
double watchedEnd(double from, double to, double period) {
    double earlier = 0;
    for (double t = from; t <= to; t += period) {
        double reading = musicSeconds(int(std::lround(std::fmod(t, 121.5) * 1000)));
        if (musicPassedEnd(earlier, reading))
            return t;
        earlier = reading;
    }
    return -1;
}

TEST(ShowEnd, TheMusicPassingTheLastCutEndsTheShowFramesDrawnOrNot) {
    EXPECT_FALSE(musicPassedEnd(0, 0));
    EXPECT_FALSE(musicPassedEnd(3.0, 3.0)); // a clock that holds
    EXPECT_FALSE(musicPassedEnd(3.0, musicSeconds(119999)));
    EXPECT_TRUE(musicPassedEnd(3.0, musicSeconds(120000))); // the cut itself, as the schedule
    EXPECT_TRUE(musicPassedEnd(119.0, 121.4));
    // Looped back: the earlier reading ran on to the end of its pass.
    EXPECT_TRUE(musicPassedEnd(110.0, 0.5));
    // A hidden page: no frame from 3 s to 125.9 s (4.4 s into the second pass, past the
    // 3 s the last frame read), the watch reading at a hidden page's slower pace.
    for (double period : {0.25, 1.0, 1.4}) {
        double ended = watchedEnd(3.0, 125.9, period);
        EXPECT_GE(ended, 120.0) << "every " << period << " s";
        EXPECT_LT(ended, 121.5 + period) << "every " << period << " s";
    }
    // A page that was shown throughout plays no second pass either.
    EXPECT_LT(watchedEnd(0, 300, 1.0 / 60), 120.02);
}

TEST(FrameList, TakesAShortListOfFramesTheShowDraws) {
    std::vector<int64_t> frames;
    std::string error;
    ASSERT_TRUE(parseFrameList("6600,120,1020,120,7199", 60, frames, &error)) << error;
    EXPECT_EQ(frames, (std::vector<int64_t>{120, 1020, 6600, 7199}));
    ASSERT_TRUE(parseFrameList("3599", 30, frames, &error)) << error;

    // Nothing past the show's end: frame 7200 of a 60 fps run is at 120 s, and numbers
    // that would keep a page rendering for days are refused at once.
    for (const char* list : {"7200", "3600", "120,99999999999", "99999999999999999999999"}) {
        EXPECT_FALSE(parseFrameList(list, list[0] == '3' ? 30 : 60, frames, &error)) << list;
        EXPECT_NE(error.find("is not drawn"), std::string::npos) << list << ": " << error;
    }
    // At most 16 frames (the page keeps every one as a picture), repeats counted once.
    std::string listed; // "0,1,...,15,"
    for (int i = 0; i < 16; ++i)
        listed += std::to_string(i) + ",";
    const std::string sixteen = listed + "15", seventeen = listed + "16";
    EXPECT_TRUE(parseFrameList(sixteen.c_str(), 60, frames, &error)) << error;
    EXPECT_FALSE(parseFrameList(seventeen.c_str(), 60, frames, &error));
    EXPECT_EQ(error, "--frames takes at most 16 frames");
    for (const char* list : {"", ",", "1,", "1,,2", "-1", "+5", " 5", "5 ", "0x10", "1.5"}) {
        EXPECT_FALSE(parseFrameList(list, 60, frames, &error)) << "'" << list << "'";
        EXPECT_EQ(error, "--frames takes frame numbers separated by commas") << "'" << list << "'";
    }
}

TEST(ChangeFlags, FollowThePreviousFrameFromMinusOne) {
    DemoState state;
    bool finished = false;
    applySchedule(state, 0.0f, finished);
    updateChangeFlags(state);
    EXPECT_TRUE(state.sceneChanged && state.partChanged && state.variantChanged);
    applySchedule(state, musicSeconds(16), finished);
    updateChangeFlags(state);
    EXPECT_FALSE(state.sceneChanged || state.partChanged || state.variantChanged);

    applySchedule(state, musicSeconds(72159), finished); // scene 6, variant 3
    updateChangeFlags(state);
    applySchedule(state, musicSeconds(72160), finished); // scene 70 keeps part and variant
    updateChangeFlags(state);
    EXPECT_TRUE(state.sceneChanged);
    EXPECT_FALSE(state.partChanged);
    EXPECT_FALSE(state.variantChanged);

    applySchedule(state, musicSeconds(105039), finished);
    updateChangeFlags(state);
    applySchedule(state, musicSeconds(105040), finished); // into the end part
    updateChangeFlags(state);
    EXPECT_TRUE(state.sceneChanged);
    EXPECT_TRUE(state.partChanged);
    EXPECT_FALSE(state.variantChanged);

    applySchedule(state, musicSeconds(120000), finished); // the last frame changes nothing
    updateChangeFlags(state);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(state.sceneChanged || state.partChanged || state.variantChanged);
    resetChangeFlags();
    updateChangeFlags(state);
    EXPECT_TRUE(state.sceneChanged);
}

} // namespace
