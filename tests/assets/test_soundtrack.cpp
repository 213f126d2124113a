// Checks the committed soundtrack file: format, levels, accents on every scene change, and that
// the generator still produces it.
#include "shell/schedule.h"
#include "measure/onset.h"
#include "assets/soundtrack/soundtrack.h"
#include "shell/music/music_decoder.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

struct Decoded {
    int rate = 0, channels = 0;
    std::vector<float> samples; // interleaved stereo
};

// Through the show's own decoder, which hands out stereo (a mono file on both sides).
Decoded decodeOgg(const std::string& path) {
    Decoded d;
    MusicDecoder decoder;
    if (!openMusicFile(decoder, path.c_str(), nullptr))
        return d;
    d.rate = decoder.rate;
    d.channels = decoder.channels;
    d.samples = decodeWholeMusic(decoder);
    return d;
}

double dbfs(double x) {
    return 20.0 * std::log10(std::max(x, 1e-12));
}

// RMS over both channels of interleaved stereo between two times (s), in dBFS.
double rmsDb(const std::vector<float>& s, double from, double to) {
    size_t a = 2 * size_t(from * kSampleRate), e = std::min(s.size(), 2 * size_t(to * kSampleRate));
    double sum = 0;
    for (size_t i = a; i < e; ++i)
        sum += double(s[i]) * s[i];
    return dbfs(std::sqrt(sum / double(e - a)));
}

std::vector<float> midChannel(const std::vector<float>& s) {
    std::vector<float> mid(s.size() / 2);
    for (size_t i = 0; i < mid.size(); ++i)
        mid[i] = 0.5f * (s[2 * i] + s[2 * i + 1]);
    return mid;
}

class CommittedSoundtrack : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* root = getenv("GLIMWICK_SOURCE_DIR");
        gDecoded = new Decoded(decodeOgg(std::string(root ? root : ".") + "/data/tarnwhistle.ogg"));
    }
    static void TearDownTestSuite() { delete gDecoded; }
    static Decoded* gDecoded;
};
Decoded* CommittedSoundtrack::gDecoded = nullptr;

TEST_F(CommittedSoundtrack, IsStereo44100AndOutlastsTheRun) {
    ASSERT_FALSE(gDecoded->samples.empty()) << "data/tarnwhistle.ogg missing or undecodable";
    EXPECT_EQ(gDecoded->rate, 44100);
    EXPECT_EQ(gDecoded->channels, 2);
    EXPECT_GE(double(gDecoded->samples.size() / 2) / 44100.0, 121.0);
}

TEST_F(CommittedSoundtrack, LevelsPeakDcAndFade) {
    const std::vector<float>& s = gDecoded->samples;
    ASSERT_GT(s.size(), size_t(2 * 121 * kSampleRate));
    float peak = 0;
    double sumL = 0, sumR = 0;
    for (size_t i = 0; i < s.size(); i += 2) {
        peak = std::max({peak, std::fabs(s[i]), std::fabs(s[i + 1])});
        sumL += s[i];
        sumR += s[i + 1];
    }
    double frames = double(s.size() / 2);
    double mainRms = rmsDb(s, 0.0, rowStart(kScheduleRows - 1)); // up to the end part
    printf("peak %.2f dBFS, RMS of the main part %.2f dBFS, DC %.2g %.2g\n", dbfs(peak), mainRms,
           sumL / frames, sumR / frames);
    EXPECT_LT(dbfs(peak), -1.0);
    EXPECT_GT(mainRms, -20.0);
    EXPECT_LT(mainRms, -12.0);
    EXPECT_LT(std::fabs(sumL / frames), 1e-3);
    EXPECT_LT(std::fabs(sumR / frames), 1e-3);
    // Still playing up to the fade, half gone in its middle, silent once the run is over.
    EXPECT_GT(rmsDb(s, 117.0, 118.0), -35.0);
    EXPECT_LT(rmsDb(s, 119.0, 119.5), rmsDb(s, 117.0, 118.0) - 6.0);
    EXPECT_LT(rmsDb(s, 120.0, 121.0), -70.0);
}

TEST_F(CommittedSoundtrack, AccentWithin20MsOfEverySceneChange) {
    ASSERT_FALSE(gDecoded->samples.empty());
    std::vector<Onset> onsets = detectOnsets(midChannel(gDecoded->samples), kSampleRate);
    // Every cut of the script but the last, which ends the run.
    for (int row = 0; row + 1 < kScheduleRows; ++row) {
        const double change = kSchedule[row].seconds;
        const Onset* o = onsetNear(onsets, change, 0.020);
        ASSERT_NE(o, nullptr) << "no onset within 20 ms of " << change << " s";
        // An accent, not just any hi-hat: clearly stronger than the typical onset around it.
        std::vector<double> around;
        for (const Onset& other : onsets)
            if (std::fabs(other.time - change) < 2.0)
                around.push_back(other.strength);
        std::sort(around.begin(), around.end());
        double median = around[around.size() / 2];
        printf("change %7.3f s: onset %+5.1f ms, strength %.3f (median around %.3f)\n", change,
               1000.0 * (o->time - change), o->strength, median);
        EXPECT_GE(o->strength, 1.5 * median) << "weak accent at " << change << " s";
    }
}

TEST_F(CommittedSoundtrack, GeneratorStillProducesIt) {
    ASSERT_FALSE(gDecoded->samples.empty());
    std::vector<float> fresh = mixSoundtrack(composeScore());
    const std::vector<float>& old = gDecoded->samples;
    ASSERT_LE(fresh.size(), old.size());
    // The codec is lossy and keeps noise bands only as noise: compare one-second blocks by
    // signal-to-difference ratio. Typical blocks come back at about 23 dB; a changed note or
    // chord brings its blocks near 0 dB. A changed mix level shows in the overall RMS, which
    // the codec keeps to a few hundredths of a dB.
    EXPECT_NEAR(rmsDb(fresh, 0.0, kSoundtrackSeconds), rmsDb(old, 0.0, kSoundtrackSeconds), 0.25);
    std::vector<double> ratios;
    for (size_t block = 0; block + 1 < size_t(kSoundtrackSeconds); ++block) {
        double sig = 0, diff = 0;
        for (size_t i = 2 * block * kSampleRate; i < 2 * (block + 1) * kSampleRate; ++i) {
            sig += double(fresh[i]) * fresh[i];
            diff += double(fresh[i] - old[i]) * (fresh[i] - old[i]);
        }
        if (sig > 1e-6 * kSampleRate)
            ratios.push_back(10.0 * std::log10(sig / std::max(diff, 1e-20)));
    }
    ASSERT_GT(ratios.size(), size_t(115));
    std::sort(ratios.begin(), ratios.end());
    double median = ratios[ratios.size() / 2];
    printf("signal-to-difference per second: worst %.1f dB, median %.1f dB\n", ratios.front(),
           median);
    EXPECT_GT(ratios.front(), 6.0);
    EXPECT_GT(median, 18.0);
}

} // namespace
