// The music clock on SDL's dummy audio driver or a sound server, with short generated
// Ogg Vorbis files.
#include "shell/music_stream.h"
#include "tests/support/test_data.h"
#include <SDL2/SDL.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

double wallSeconds() {
    return double(SDL_GetPerformanceCounter()) / double(SDL_GetPerformanceFrequency());
}

// The clock reports whole milliseconds times 0.001f; recover the count and check it.
bool isWholeMilliseconds(double t) {
    double ms = t / double(0.001f);
    return std::fabs(ms - std::round(ms)) < 1e-6;
}

// The pace the driver plays at, as a range of rates against the wall clock. A sound
// server's sink runs on the system clock, so the music can never run fast by more than
// 1%; it can fall behind when the machine is so busy that the stream runs dry (heard as
// a gap, and reported by the server, so the clock waits too): up to 5% allowed. SDL's
// dummy driver is no clock: it sleeps the buffer period rounded down to whole ms (21 ms
// for 21.3 ms of 1024 frames at 48000 Hz: up to 1.6% fast), then loses every wake-up the
// scheduler delays: on a loaded 2-core machine 12% has been seen. Either way a clock
// counting at the wrong rate is caught: half or double speed, 48000 Hz frames counted at
// 44100 (8.8% fast) or 44100 Hz frames at 48000 (8% slow, on the server).
bool isDummyDriver() {
    const char* driver = SDL_GetCurrentAudioDriver();
    return driver && strcmp(driver, "dummy") == 0;
}
double slowestRate() {
    return isDummyDriver() ? 0.8 : 0.95;
}
double fastestRate() {
    return isDummyDriver() ? 1.02 : 1.01;
}

// Where the first pass of a looping stream ended, as far as readings every few
// milliseconds can tell: at or after the last reading before the wrap, and no later than
// that reading plus the wall time until the next one (a busy machine may hold the reader
// off for a while right at the end of the pass).
struct PassEnd {
    double previous = 0, previousWall = 0;
    double lastBefore = -1; // music seconds: the first pass's last reading; -1 before a wrap
    double gap = 0;         // wall seconds from that reading to the next one
    // Takes one reading; true when it begins a new pass (steps back by more than `jump`).
    bool take(double t, double wall, double jump) {
        bool wrapped = t < previous - jump;
        if (wrapped && lastBefore < 0) {
            lastBefore = previous;
            gap = wall - previousWall;
        }
        previous = t;
        previousWall = wall;
        return wrapped;
    }
};

// The first pass lasted `seconds` of music, to within `tolerance` and what the readings
// could not see.
void expectPassLength(const PassEnd& end, double seconds, double tolerance) {
    ASSERT_GE(end.lastBefore, 0) << "the stream never looped";
    EXPECT_LE(end.lastBefore, seconds + tolerance) << "the pass ran past the stream's end";
    EXPECT_GE(end.lastBefore + end.gap * fastestRate(), seconds - tolerance)
        << "the pass ended early: last reading " << end.lastBefore << " s, next after " << end.gap
        << " s";
}

class MusicStream : public testing::Test {
  protected:
    void SetUp() override {
        const char* error = nullptr;
        ASSERT_TRUE(initSound(&error)) << (error ? error : "");
    }
    void TearDown() override { closeSound(); }

    // Plays `path` looped for `seconds` of wall time, reading the clock about every
    // millisecond: it must be whole milliseconds, never step back within a pass, and,
    // from its first movement to the end, advance at the wall clock's rate (no faster
    // and no slower than the driver's pace allows).
    void checkClockKeepsTime(const std::string& path, double seconds) {
        const char* error = nullptr;
        ASSERT_TRUE(openMusic(path.c_str(), &error)) << (error ? error : "");
        EXPECT_DOUBLE_EQ(musicTime(), 0.0) << "nothing is audible before playback starts";
        ASSERT_EQ(playMusic(true), 0);
        double start = wallSeconds(), previous = 0;
        int distinct = 0, rounds = 0;
        // Least-squares slope of music time over wall time, from the clock's first
        // movement on: buffer boundaries average out, the pace remains.
        double n = 0, sw = 0, sm = 0, sww = 0, swm = 0;
        while (wallSeconds() - start < seconds) {
            double t = musicTime();
            double now = wallSeconds() - start;
            ASSERT_TRUE(isWholeMilliseconds(t)) << t;
            ASSERT_GE(t, previous) << "the clock stepped back within one pass";
            ++rounds;
            if (t > previous)
                ++distinct;
            if (t > 0) {
                n += 1, sw += now, sm += t, sww += now * now, swm += now * t;
            }
            previous = t;
            SDL_Delay(1);
        }
        ASSERT_GT(n, 100) << "the clock hardly moved";
        double rate = (n * swm - sw * sm) / (n * sww - sw * sw);
        printf("%s: music runs at %.4f of wall time\n", path.c_str(), rate);
        EXPECT_GE(rate, slowestRate());
        EXPECT_LE(rate, fastestRate());
        // Interpolated between device buffers, not stepping buffer by buffer: at least
        // one new reading in three rounds. Each round sleeps at least 1 ms, so with a
        // buffer of 20 ms or more a clock that steps per buffer stays far below that,
        // however long a busy machine makes the rounds.
        EXPECT_GT(distinct, rounds / 3) << distinct << " of " << rounds;
    }
};

TEST_F(MusicStream, ClockIsMonotonicWholeMillisecondsAndKeepsWallTime) {
    std::string path = tempFilePath("music-long.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 6.0));
    checkClockKeepsTime(path, 3.0);
    remove(path.c_str());
}

// Any rate Vorbis allows, mono or stereo: played at its own speed, the clock counting
// the file's own frames.
TEST_F(MusicStream, FilesOfOtherRatesAndChannelsKeepTime) {
    const struct { int rate, channels; } kShapes[] = {{22050, 1}, {48000, 2}, {32000, 1}};
    for (const auto& shape : kShapes) {
        SCOPED_TRACE(std::to_string(shape.rate) + " Hz, " + std::to_string(shape.channels) +
                     " channel(s)");
        std::string path = tempFilePath("music-shape.ogg");
        ASSERT_TRUE(writeToneOgg(path.c_str(), 4.0, 1, shape.rate, shape.channels));
        checkClockKeepsTime(path, 2.0);
        remove(path.c_str());
    }
}

// A few pages of garbage in the middle of a file: decoding skips them, silence makes
// up for the lost stretch, so the pass still lasts as long as the file and the clock
// never stalls or steps back.
TEST_F(MusicStream, ADamagedMiddleIsSkippedAndTheClockGoesOn) {
    std::string path = tempFilePath("music-damaged.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 4.0));
    FILE* file = fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fseek(file, size * 6 / 10, SEEK_SET); // well past the headers
    for (int i = 0; i < 3000; ++i)
        fputc((i * 7919 + 13) & 0xff, file);
    fclose(file);
    const char* error = nullptr;
    ASSERT_TRUE(openMusic(path.c_str(), &error)) << error;
    playMusic(true);
    double start = wallSeconds(), lastMove = start;
    PassEnd end;
    while (wallSeconds() - start < 5.0) {
        double t = musicTime(), now = wallSeconds();
        double previous = end.previous;
        if (!end.take(t, now, 1.0)) {
            ASSERT_GE(t, previous) << "stepped back inside a pass";
        }
        if (t != previous)
            lastMove = now;
        // Decoding that spun on the damage would hold the audio thread, and the clock,
        // for good; half a second tells that apart from a busy machine's late wake-up.
        ASSERT_LT(now - lastMove, 0.5) << "the clock stalled at " << t << " s";
        SDL_Delay(2);
    }
    expectPassLength(end, 4.0, 0.06);
    remove(path.c_str());
}

TEST_F(MusicStream, AStreamShorterThanTheRunLoopsBackToZero) {
    std::string path = tempFilePath("music-short.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 1.0));
    ASSERT_TRUE(openMusic(path.c_str()));
    playMusic(true);
    double start = wallSeconds();
    PassEnd end;
    while (wallSeconds() - start < 1.8) {
        end.take(musicTime(), wallSeconds(), 0.5);
        SDL_Delay(2);
    }
    expectPassLength(end, 1.0, 0.05);
    EXPECT_LT(end.previous, 0.9) << "the second pass starts from zero";
    remove(path.c_str());
}

TEST_F(MusicStream, UnreadableFilesAreRefusedWithTheirName) {
    const char* error = nullptr;
    EXPECT_FALSE(openMusic("no/such/tarnwhistle.ogg", &error));
    ASSERT_NE(error, nullptr);
    EXPECT_NE(std::string(error).find("no/such/tarnwhistle.ogg"), std::string::npos) << error;

    std::string junk = tempFilePath("music-junk.ogg");
    FILE* file = fopen(junk.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("this is not an Ogg Vorbis stream, only text pretending to be one.\n", file);
    fclose(file);
    error = nullptr;
    EXPECT_FALSE(openMusic(junk.c_str(), &error));
    ASSERT_NE(error, nullptr);
    EXPECT_NE(std::string(error).find(junk), std::string::npos) << error;

    // A good file cut short opens or is refused, but never crashes the player.
    std::string whole = tempFilePath("music-whole.ogg"), cut = tempFilePath("music-cut.ogg");
    ASSERT_TRUE(writeToneOgg(whole.c_str(), 2.0));
    FILE* in = fopen(whole.c_str(), "rb");
    FILE* out = fopen(cut.c_str(), "wb");
    char buffer[6000];
    size_t n = fread(buffer, 1, sizeof buffer, in);
    fwrite(buffer, 1, n, out);
    fclose(in);
    fclose(out);
    if (openMusic(cut.c_str())) {
        playMusic(true);
        SDL_Delay(300);
        double before = musicTime();
        SDL_Delay(60);
        EXPECT_NE(musicTime(), before) << "the clock runs on, on what could be decoded";
    }
    // Two streams chained in one file could change format mid-way: refused up front.
    std::string chained = tempFilePath("music-chained.ogg"),
                second = tempFilePath("music-second.ogg");
    ASSERT_TRUE(writeToneOgg(second.c_str(), 0.5, 2));
    std::string command = "cat '" + whole + "' '" + second + "' > '" + chained + "'";
    ASSERT_EQ(system(command.c_str()), 0);
    error = nullptr;
    EXPECT_FALSE(openMusic(chained.c_str(), &error));
    ASSERT_NE(error, nullptr);
    EXPECT_NE(std::string(error).find("single"), std::string::npos) << error;

    remove(junk.c_str());
    remove(whole.c_str());
    remove(cut.c_str());
    remove(chained.c_str());
    remove(second.c_str());
}

TEST_F(MusicStream, CloseSoundTwiceIsSafeAndStopsTheClock) {
    std::string path = tempFilePath("music-close.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 1.0));
    ASSERT_TRUE(openMusic(path.c_str()));
    playMusic(true);
    SDL_Delay(100);
    closeSound();
    closeSound();
    EXPECT_EQ(musicTime(), 0.0);
    EXPECT_EQ(playMusic(true), -1);
    remove(path.c_str());
}

} // namespace
