// Checks the synthesiser's guarantees the soundtrack relies on, and the onset detector itself.
#include "measure/onset.h"
#include "assets/soundtrack/instruments.h"
#include "assets/soundtrack/synth.h"
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

float peakOf(const std::vector<float>& v) {
    float p = 0;
    for (float x : v)
        p = std::max(p, std::fabs(x));
    return p;
}

// Every voice starts and ends at silence, so notes never click in or out.
TEST(Synth, EveryInstrumentStartsAndEndsSilently) {
    for (int i = 0; i <= int(Instrument::Bell); ++i) {
        Note n{Instrument(i), 0.0, 0.3, 57.0, 0.8, 0.3, 0.7, 0.0};
        StereoBuffer b = renderNote(n, 7);
        ASSERT_GT(b.left.size(), size_t(100)) << "instrument " << i;
        float peak = std::max(peakOf(b.left), peakOf(b.right));
        EXPECT_GT(peak, 0.01f) << "instrument " << i << " is silent";
        for (const std::vector<float>* ch : {&b.left, &b.right}) {
            EXPECT_EQ(ch->front(), 0.0f) << "instrument " << i;
            EXPECT_EQ(ch->back(), 0.0f) << "instrument " << i;
            // Faded, not cut: the last millisecond stays well under the note's peak.
            float tail = peakOf(std::vector<float>(ch->end() - 44, ch->end()));
            EXPECT_LT(tail, 0.2f * peak) << "instrument " << i;
        }
    }
}

TEST(Synth, SameSeedSameNoteDifferentSeedDifferentNoise) {
    Note n{Instrument::Snare, 0.0, 0.1, 0.0, 0.8, 0.0, 0.5, 0.0};
    EXPECT_EQ(renderNote(n, 3).left, renderNote(n, 3).left);
    EXPECT_NE(renderNote(n, 3).left, renderNote(n, 4).left);
}

TEST(Synth, EnvelopeIsContinuousAndEndsAtRelease) {
    Adsr env{0.01, 0.1, 0.6, 0.2};
    EXPECT_DOUBLE_EQ(adsrGain(env, 0.5, 0.0), 0.0);
    EXPECT_NEAR(adsrGain(env, 0.5, 0.01), 1.0, 1e-9);
    EXPECT_NEAR(adsrGain(env, 0.5, 0.5 - 1e-6), adsrGain(env, 0.5, 0.5 + 1e-6), 1e-4);
    EXPECT_NEAR(adsrGain(env, 0.5, 0.45), 0.6, 0.01);
    EXPECT_EQ(adsrGain(env, 0.5, 0.7), 0.0);
    // Released during the attack: falls from the level reached, not from full.
    EXPECT_LT(adsrGain(env, 0.005, 0.005), 0.51);
}

TEST(Synth, LimiterHoldsTheCeilingAndLeavesQuietSignalsAlone) {
    // A loud quarter second (peaks near 1.8), then quiet noise (peaks 0.3).
    StereoBuffer b = makeStereoBuffer(44100);
    Noise noise{99};
    for (size_t i = 0; i < b.left.size(); ++i) {
        double level = i < 11025 ? 1.8 : 0.3;
        b.left[i] = float(level * nextNoise(noise));
        b.right[i] = float(level * nextNoise(noise));
    }
    StereoBuffer original = b;
    limitPeaks(b, 0.7, 0.005, 0.05);
    EXPECT_LE(std::max(peakOf(b.left), peakOf(b.right)), 0.7f + 1e-6f);
    // Gain is already falling 5 ms ahead of the loud part's first peak.
    EXPECT_LT(std::fabs(b.left[100] / original.left[100]), 0.99f);
    // Half a second after the loud part (ten release times) the signal passes untouched.
    for (size_t i = 33075; i < 33175; ++i)
        EXPECT_NEAR(b.left[i], original.left[i], 1e-4f);
    // A signal that never reaches the ceiling is not changed at all.
    StereoBuffer quiet = makeStereoBuffer(4410);
    for (size_t i = 0; i < quiet.left.size(); ++i)
        quiet.left[i] = quiet.right[i] = float(0.69 * std::sin(double(i) * 0.05));
    StereoBuffer copy = quiet;
    limitPeaks(quiet, 0.7, 0.005, 0.05);
    EXPECT_EQ(quiet.left, copy.left);
}

TEST(Synth, HighPassRemovesDc) {
    StereoBuffer b = makeStereoBuffer(44100);
    for (size_t i = 0; i < b.left.size(); ++i)
        b.left[i] = b.right[i] = 0.5f + 0.2f * float(std::sin(2 * M_PI * 440.0 * i / 44100.0));
    highPass(b, 20.0);
    double mean = 0;
    for (size_t i = 22050; i < 44100; ++i)
        mean += b.left[i];
    EXPECT_NEAR(mean / 22050.0, 0.0, 1e-3);
    EXPECT_NEAR(peakOf(std::vector<float>(b.left.begin() + 22050, b.left.end())), 0.2f, 0.01f);
}

// The detector finds tone bursts under a steady pad where they start, and nothing in the pad.
TEST(OnsetDetector, FindsBurstsOnTimeAndNothingInASteadySound) {
    const int rate = 44100;
    const double starts[] = {0.5, 1.237, 2.0105, 2.9, 3.4449};
    std::vector<float> s(size_t(4.5 * rate));
    Noise noise{5};
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / rate;
        double x = 0.1 * std::sin(2 * M_PI * 220.0 * t) + 0.01 * nextNoise(noise);
        for (double st : starts)
            if (t >= st)
                x += 0.3 * std::exp(-(t - st) / 0.08) *
                     (std::sin(2 * M_PI * 1320.0 * t) + 0.3 * nextNoise(noise));
        s[i] = float(x);
    }
    std::vector<Onset> onsets = detectOnsets(s, rate);
    for (double st : starts) {
        const Onset* o = onsetNear(onsets, st, 0.010);
        EXPECT_NE(o, nullptr) << "burst at " << st;
    }
    for (const Onset& o : onsets) {
        bool nearBurst = false;
        for (double st : starts)
            nearBurst = nearBurst || std::fabs(o.time - st) < 0.05;
        EXPECT_TRUE(nearBurst || o.time < 0.05) << "spurious onset at " << o.time;
    }
    EXPECT_EQ(onsetNear(onsets, 1.7, 0.1), nullptr);
}

} // namespace
