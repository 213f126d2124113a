// The music clock on the test output, with a clock of the test's own: anchors, readings
// between them, holds, passes, and going on silent and back. Nothing here sleeps.
#include "shell/music/music_player.h"
#include "tests/support/test_data.h"
#include "tests/support/test_output.h"
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const int64_t kMs = 1000000; // ns
int64_t gNow = 0;
int64_t testNow() {
    return gNow;
}
std::vector<std::string> gSaid;
void remember(const char* line) {
    gSaid.push_back(line);
}

TEST(MusicClockArithmetic, ReadingsAreWholeMillisecondsTimesTheSinglePrecisionThousandth) {
    // 15185 ms reads as exactly the single-precision 15.185; 3340 ms as the single value
    // just above 3.34, so that "less than 3.34" is already false; 74000 ms as exactly 74.
    EXPECT_EQ(clockSeconds(15185, 1000), 15185.0 * double(0.001f));
    EXPECT_EQ(float(clockSeconds(15185, 1000)), 15.185f);
    EXPECT_EQ(float(clockSeconds(3340, 1000)), std::nextafter(3.34f, 4.0f));
    EXPECT_FALSE(float(clockSeconds(3340, 1000)) < 3.34f);
    EXPECT_EQ(float(clockSeconds(74000, 1000)), 74.0f);
    // Truncated, never rounded up: a millisecond is read once it has been heard whole.
    EXPECT_EQ(clockSeconds(44099, 44100), 999.0 * double(0.001f));
    EXPECT_EQ(clockSeconds(44100, 44100), 1000.0 * double(0.001f));
    EXPECT_EQ(clockSeconds(0.9, 1000), 0.0);
}

TEST(MusicClockArithmetic, AnAnchorRunsOnByRealTimeUpToItsReach) {
    Anchor anchor;
    anchor.frames = 1000;
    anchor.at = 5000 * kMs;
    anchor.reach = 500;
    EXPECT_DOUBLE_EQ(audibleFrames(anchor, anchor.at, 1000), 1000);
    EXPECT_DOUBLE_EQ(audibleFrames(anchor, anchor.at + 100 * kMs, 1000), 1100);
    EXPECT_DOUBLE_EQ(audibleFrames(anchor, anchor.at + 100 * kMs, 44100), 1000 + 500);
    EXPECT_DOUBLE_EQ(audibleFrames(anchor, anchor.at + 10000 * kMs, 1000), 1500) << "held";
    EXPECT_DOUBLE_EQ(audibleFrames(anchor, anchor.at - 7 * kMs, 1000), 1000) << "never before";
    anchor.reach = kRunsFree;
    EXPECT_DOUBLE_EQ(audibleFrames(anchor, anchor.at + 10000 * kMs, 1000), 11000);
}

TEST(MusicClockArithmetic, APassIsCountedFromItsStartOnceThatIsHeard) {
    Anchor anchor;
    anchor.passBefore = 0;
    anchor.passStart = 4000; // decoded ahead: published before it is heard
    PassShape shape{1000, 4000, true};
    EXPECT_DOUBLE_EQ(framesIntoPass(anchor, 3999, shape), 3999);
    EXPECT_DOUBLE_EQ(framesIntoPass(anchor, 4000, shape), 0);
    EXPECT_DOUBLE_EQ(framesIntoPass(anchor, 4250, shape), 250);
    // No decoder said where the next pass began (sound was lost): the pass's length does.
    EXPECT_DOUBLE_EQ(framesIntoPass(anchor, 8000 + 17, shape), 17);
    EXPECT_DOUBLE_EQ(framesIntoPass(anchor, 12000 + 5, shape), 5);
    shape.loop = false; // a stream that does not loop just goes on counting
    EXPECT_DOUBLE_EQ(framesIntoPass(anchor, 8000 + 17, shape), 4017);
}

TEST(MusicClockArithmetic, TheFloorKeepsReadingsFromSteppingBack) {
    Anchor anchor;
    anchor.frames = 2000;
    anchor.reach = 1000;
    PassShape shape{1000, 0, false};
    double floor = 0;
    EXPECT_EQ(clockReading(anchor, 500 * kMs, shape, &floor), clockSeconds(2500, 1000));
    anchor.frames = 2100; // a later report behind what was read already
    anchor.at = 500 * kMs;
    EXPECT_EQ(clockReading(anchor, 500 * kMs, shape, &floor), clockSeconds(2500, 1000));
    EXPECT_EQ(clockReading(anchor, 900 * kMs, shape, &floor), clockSeconds(2500, 1000));
    EXPECT_EQ(clockReading(anchor, 1000 * kMs, shape, &floor), clockSeconds(2600, 1000));
}

// A player on the test output with a 0.5 s mono file at 8000 Hz (4000 frames a pass).
class MusicPlayerTest : public testing::Test {
  protected:
    static constexpr int kRate = 8000;
    void SetUp() override {
        gNow = 1000 * kMs;
        gSaid.clear();
        path_ = tempFilePath("clock-tone.ogg");
        ASSERT_TRUE(writeToneOgg(path_.c_str(), 0.5, 1, kRate, 1));
        std::string why;
        ASSERT_TRUE(openMusicFile(player.decoder, path_.c_str(), &why)) << why;
        ASSERT_EQ(player.decoder.fileFrames, 4000u);
        player.output = &output;
        player.now = testNow;
        player.say = remember;
    }
    void TearDown() override {
        stopPlayer(player);
        remove(path_.c_str());
    }
    // One request of `frames`, the output saying frames [0, audible) of its stream have
    // been heard by now; the clock moves on by what was requested.
    std::vector<float> request(int frames, double audible, double reach) {
        std::vector<float> out = output.play(frames, audible, gNow, reach);
        return out;
    }
    double readAt(int64_t ms) {
        gNow = ms * kMs;
        return playerTime(player);
    }
    // Keeps the player every 10 ms from now to `ms`.
    void keepUntil(int64_t ms) {
        while (gNow < ms * kMs) {
            gNow += 10 * kMs;
            keepPlayer(player);
        }
    }

    MusicPlayer player;
    TestOutput output;
    std::string path_;
};

TEST_F(MusicPlayerTest, ReadingsMoveBetweenReportsAndHoldWhileThePositionStandsStill) {
    ASSERT_TRUE(startPlayer(player, true, nullptr));
    EXPECT_EQ(readAt(1000), 0.0);
    EXPECT_EQ(readAt(1200), 0.0) << "nothing heard yet: the clock waits for the output";
    gNow = 1200 * kMs;
    request(800, 0, 800); // frame 0 heard now, 100 ms more to come
    EXPECT_EQ(readAt(1200), 0.0);
    EXPECT_EQ(readAt(1237), clockSeconds(37 * 8, kRate)) << "interpolated by real time";
    EXPECT_EQ(readAt(1300), clockSeconds(800, kRate));
    EXPECT_EQ(readAt(1450), clockSeconds(800, kRate)) << "a late report holds the clock";
    request(800, 800, 800); // the output moved on: its report is the clock again
    EXPECT_EQ(readAt(1450), clockSeconds(800, kRate));
    EXPECT_EQ(readAt(1460), clockSeconds(880, kRate));
    request(800, 880, 800); // the same report again: the output's position stands still
    EXPECT_EQ(readAt(1460), clockSeconds(880, kRate));
    gNow = 1470 * kMs;
    request(800, 880, 800);
    EXPECT_EQ(readAt(5000), clockSeconds(880, kRate)) << "held while nothing is heard";
    EXPECT_TRUE(gSaid.empty());
}

TEST_F(MusicPlayerTest, TheClockWrapsWhenThePassEndsAndNeverStepsBackWithinOne) {
    ASSERT_TRUE(startPlayer(player, true, nullptr));
    // 10 ms requests, heard 30 ms after they are asked for; readings every 2 ms.
    const int block = 80, latency = 240;
    double handed = 0, previous = 0;
    int wraps = 0;
    double lastBeforeWrap = -1, firstAfterWrap = -1;
    for (int64_t ms = 1000; ms < 1900; ms += 2) {
        gNow = ms * kMs;
        if (ms % 10 == 0) {
            request(block, std::max(0.0, handed - latency), block);
            handed += block;
        }
        double t = playerTime(player);
        if (t < previous) {
            ++wraps;
            lastBeforeWrap = previous;
            firstAfterWrap = t;
        }
        previous = t;
    }
    ASSERT_EQ(wraps, 1) << "one wrap in 0.9 s of a 0.5 s file";
    EXPECT_GE(lastBeforeWrap, 0.497);
    EXPECT_LE(lastBeforeWrap, 0.5);
    EXPECT_LE(firstAfterWrap, 0.003);
}

TEST_F(MusicPlayerTest, AnOutputThatWillNotStartLeavesTheClockRunningAndIsTriedOnceASecond) {
    output.starts = false;
    ASSERT_TRUE(startPlayer(player, true, nullptr)) << "not fatal";
    ASSERT_EQ(gSaid.size(), 1u);
    EXPECT_EQ(gSaid[0], "glimwick: sound lost (the test output does not start); going on silent");
    EXPECT_EQ(readAt(1000), 0.0);
    EXPECT_EQ(readAt(1250), clockSeconds(250 * 8, kRate)) << "on the wall clock from 0";
    gNow = 1000 * kMs;
    keepUntil(4050);
    EXPECT_EQ(output.started, 1 + 3) << "one try a second";
    EXPECT_EQ(gSaid.size(), 1u) << "said once, not once a try";
    EXPECT_EQ(readAt(4050), clockSeconds(50 * 8, kRate)) << "3.05 s: the seventh pass";
    output.starts = true;
    keepUntil(5010);
    ASSERT_NE(output.source, nullptr) << "started within a second of being able to";
    EXPECT_FALSE(player.silent);
}

// The sound goes away near the end of a pass and comes back, in a later pass, a little
// over a second later: the clock ran on in real time from where it stood, and the music
// resumes there, at the very samples the file has at that point.
TEST_F(MusicPlayerTest, LostSoundResumesAtTheClockEvenAcrossTheLoopPoint) {
    ASSERT_TRUE(startPlayer(player, true, nullptr));
    double handed = 0;
    for (int64_t ms = 1000; ms <= 1400; ms += 10) {
        gNow = ms * kMs;
        request(80, handed, 80); // no latency: heard as asked for
        handed += 80;
    }
    double before = readAt(1400);
    EXPECT_EQ(before, clockSeconds(3200, kRate));
    // The reports stop; the loss is noticed 600 ms later. The clock held meanwhile
    // (reach 10 ms), and runs on from there, not from the time of the last report.
    EXPECT_EQ(readAt(2000), clockSeconds(3280, kRate));
    output.lostWhy = "the audio device was removed";
    gNow = 2000 * kMs;
    keepPlayer(player);
    ASSERT_EQ(gSaid.size(), 1u);
    EXPECT_EQ(gSaid[0], "glimwick: sound lost (the audio device was removed); going on silent");
    EXPECT_EQ(output.source, nullptr) << "the lost output was stopped";
    EXPECT_EQ(readAt(2000), clockSeconds(3280, kRate));
    EXPECT_EQ(readAt(2100), clockSeconds(80, kRate)) << "at 4000 frames the next pass began";
    // Retried at 3000 ms: the position then is 3280 + 8000 frames = pass 3, frame 3280.
    output.opens = false;
    keepUntil(2990);
    EXPECT_EQ(output.opened, 0);
    keepUntil(3000);
    EXPECT_EQ(output.opened, 1);
    EXPECT_EQ(output.source, nullptr);
    output.opens = true;
    keepUntil(4000); // opens and starts at 4000 ms: 3280 + 16000 frames, frame 3280 again
    ASSERT_NE(output.source, nullptr);
    EXPECT_EQ(gSaid.size(), 1u);
    std::vector<float> resumed = request(200, 0, 0);

    MusicDecoder reference;
    ASSERT_TRUE(openMusicFile(reference, path_.c_str(), nullptr));
    rewindMusic(reference, true);
    std::vector<float> expected(size_t(3480) * 2);
    decodeMusic(reference, expected.data(), 3480);
    for (size_t i = 0; i < 400; ++i)
        ASSERT_EQ(resumed[i], expected[3280 * 2 + i]) << "sample " << i;
    // Held at the clock's position until the new stream is heard, then its reports rule.
    EXPECT_EQ(readAt(4100), clockSeconds(3280, kRate));
    gNow = 4100 * kMs;
    request(200, 80, 80);
    EXPECT_EQ(readAt(4100), clockSeconds(3360, kRate));
    EXPECT_EQ(readAt(4105), clockSeconds(3400, kRate));
    // A second loss is said again.
    output.lostWhy = "gone again";
    keepPlayer(player);
    EXPECT_EQ(gSaid.size(), 2u);
}

TEST_F(MusicPlayerTest, AStreamThatDoesNotLoopEndsInSilenceAndItsClockRunsOn) {
    ASSERT_TRUE(startPlayer(player, false, nullptr));
    std::vector<float> all;
    for (int i = 0; i < 60; ++i) {
        std::vector<float> block = request(100, 100.0 * i, 100);
        all.insert(all.end(), block.begin(), block.end());
        gNow += 12500000; // 12.5 ms
    }
    for (size_t i = 4000 * 2; i < all.size(); ++i)
        ASSERT_EQ(all[i], 0.0f) << "frame " << i / 2;
    EXPECT_EQ(readAt(gNow / kMs), clockSeconds(6000, kRate)) << "no wrap";
}

TEST_F(MusicPlayerTest, NothingPlaysWithoutMusicOrOutput) {
    closeMusicDecoder(player.decoder);
    std::string why;
    EXPECT_FALSE(startPlayer(player, true, &why));
    EXPECT_EQ(why, "music: no music is open");
    EXPECT_EQ(playerTime(player), 0.0);
}

} // namespace
