// The music clock on SDL's dummy audio driver, with short generated Ogg Vorbis files.
#include "shell/music_stream.h"
#include "tests/support/test_data.h"
#include <SDL2/SDL.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

class MusicStream : public testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        resetMusicSlots();
        const char* error = nullptr;
        ASSERT_TRUE(initSound(&error)) << (error ? error : "");
    }
    void TearDown() override { closeSound(); }
};

TEST_F(MusicStream, ClockIsMonotonicWholeMillisecondsAndKeepsWallTime) {
    std::string path = tempFilePath("music-long.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 6.0));
    const char* error = nullptr;
    ASSERT_TRUE(openMusic(path.c_str(), &error)) << (error ? error : "");
    EXPECT_DOUBLE_EQ(musicTime(), 0.0) << "nothing is audible before playback starts";
    ASSERT_EQ(playMusic(true), 0);

    double start = wallSeconds();
    double previous = 0, first = -1, firstWall = 0;
    int distinct = 0;
    while (wallSeconds() - start < 3.0) {
        double t = musicTime();
        ASSERT_TRUE(isWholeMilliseconds(t)) << t;
        ASSERT_GE(t, previous) << "the clock stepped back within one pass";
        if (t > previous)
            ++distinct;
        if (first < 0 && t > 0) {
            first = t;
            firstWall = wallSeconds();
        }
        previous = t;
        SDL_Delay(1);
    }
    double advance = previous - first;
    double wall = wallSeconds() - firstWall;
    EXPECT_NEAR(advance, wall, 0.06) << "music " << advance << " s over " << wall << " s";
    // Interpolated between device buffers (23 ms each), not stepping buffer by buffer.
    EXPECT_GT(distinct, 1000);
    remove(path.c_str());
}

TEST_F(MusicStream, AStreamShorterThanTheRunLoopsBackToZero) {
    std::string path = tempFilePath("music-short.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 1.0));
    ASSERT_TRUE(openMusic(path.c_str()));
    playMusic(true);
    double start = wallSeconds(), peak = 0, previous = 0;
    bool wrapped = false;
    while (wallSeconds() - start < 1.8) {
        double t = musicTime();
        peak = std::max(peak, t);
        if (t < previous - 0.5)
            wrapped = true;
        previous = t;
        SDL_Delay(2);
    }
    EXPECT_TRUE(wrapped);
    EXPECT_NEAR(peak, 1.0, 0.05) << "the pass ends where the stream does";
    EXPECT_LT(previous, 0.9);
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
        EXPECT_GE(musicTime(), 0.0);
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
