// The screen sync tool's pure parts: frames from screen polls, flashes among them, the
// page's frame log.
#include "measure/flash_frames.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(FlashFrames, PatchPixelsByTheScreensChannelLayout) {
    // Xvfb's 24-bit screen: red in bits 16..23, blue in 0..7, the top byte padding.
    const uint32_t red = 0x00ff0000, blue = 0x000000ff, padded = 0xabff0000;
    EXPECT_NEAR(patchBrightness(&red, 1, 16, 8, 0), 0.2126 * 255, 1e-9);
    EXPECT_NEAR(patchBrightness(&blue, 1, 16, 8, 0), 0.0722 * 255, 1e-9);
    EXPECT_NEAR(patchBrightness(&red, 1, 0, 8, 16), 0.0722 * 255, 1e-9) << "red read as blue";
    const uint32_t grey[4] = {0x00000000, 0x00ffffff, 0x00ffffff, 0x00000000};
    EXPECT_NEAR(patchBrightness(grey, 4, 16, 8, 0), 127.5, 1e-9) << "the patch's mean";
    EXPECT_EQ(patchHash(&red, 1), patchHash(&padded, 1)) << "padding is no new picture";
    EXPECT_NE(patchHash(&red, 1), patchHash(&blue, 1));
    EXPECT_NE(patchHash(grey, 2), patchHash(grey + 1, 2)) << "the same pixels elsewhere";
}

TEST(FlashFrames, AFrameAtTheFirstPollOfEachNewPicture) {
    const std::vector<ScreenPoll> polls = {{1.000, 7, 10}, {1.001, 7, 10}, {1.002, 8, 60},
                                           {1.003, 8, 60}, {1.004, 7, 10}, {1.005, 7, 10}};
    std::vector<Stamp> frames = presentedFrames(polls);
    ASSERT_EQ(frames.size(), 3u) << "a picture coming back is a new frame";
    EXPECT_DOUBLE_EQ(frames[0].time, 1.000);
    EXPECT_DOUBLE_EQ(frames[1].time, 1.002);
    EXPECT_DOUBLE_EQ(frames[1].brightness, 60);
    EXPECT_DOUBLE_EQ(frames[2].time, 1.004);
    EXPECT_TRUE(presentedFrames({}).empty());

    // Every 20 ms, one frame 50 ms late: the median stands, one interval in six is long.
    std::vector<Stamp> steady;
    for (double t : {0.0, 0.02, 0.04, 0.09, 0.11, 0.13, 0.15})
        steady.push_back({t, 0});
    FrameInterval interval = frameInterval(steady);
    EXPECT_NEAR(interval.median, 20, 1e-9);
    EXPECT_NEAR(interval.longShare, 1.0 / 6, 1e-9);
    EXPECT_EQ(frameInterval({{1, 0}}).median, 0);
}

TEST(FlashFrames, AFlashIsTheFirstJumpNearTheCut) {
    // Heard at 10 s: a jump too early (-200 ms), a slow brightening (20 a frame), then the
    // flash at +40 ms and a second jump after it.
    const std::vector<Stamp> frames = {{9.78, 10}, {9.80, 80},  {9.90, 10},   {9.98, 30},
                                       {10.0, 50}, {10.02, 70}, {10.04, 120}, {10.06, 200}};
    const Stamp* flash = flashNear(frames, 10.0, 25);
    ASSERT_NE(flash, nullptr);
    EXPECT_DOUBLE_EQ(flash->time, 10.04);
    EXPECT_EQ(flashNear(frames, 10.0, 100), nullptr) << "no jump that large";
    EXPECT_EQ(flashNear(frames, 9.5, 25), nullptr) << "the jump at 10.04 s is past +250 ms";
    flash = flashNear(frames, 9.93, 25);
    ASSERT_NE(flash, nullptr);
    EXPECT_DOUBLE_EQ(flash->time, 9.80) << "up to 150 ms before the cut counts";
    flash = flashNear(frames, 10.0, 25, 0.25, 0.0);
    ASSERT_NE(flash, nullptr);
    EXPECT_DOUBLE_EQ(flash->time, 9.80) << "a window of the caller's";
}

TEST(FlashFrames, PageLogOnTheMonotonicClock) {
    // Wall clock 1000 s ahead of the monotonic one; a line cut short and one of text skipped.
    const std::string log = "1005000 1005004.5 2.333\n"
                            "1005016.5 1005021 2.3499999046325684\n"
                            "1005033 1005037\n"
                            "frames\n"
                            "1005050 1005055 2.383\n";
    std::vector<PageFrame> frames = parsePageLog(log, 1000);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_NEAR(frames[0].read, 5.0, 1e-9);
    EXPECT_NEAR(frames[0].drawn, 5.0045, 1e-9);
    EXPECT_DOUBLE_EQ(frames[0].music, 2.333);
    EXPECT_NEAR(frames[2].read, 5.05, 1e-9);
    // A cut at 2.35 s: the clock's 2350 ms in single precision, just below, reaches it.
    const PageFrame* f = frameDrawnFor(frames, 2.35);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f, &frames[1]);
    EXPECT_EQ(frameDrawnFor(frames, 2.34), &frames[1]);
    EXPECT_EQ(frameDrawnFor(frames, 2.333), &frames[0]);
    EXPECT_EQ(frameDrawnFor(frames, 2.4), nullptr);
}

} // namespace
