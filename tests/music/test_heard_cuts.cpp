// Cuts found in a monitor's recording: placed from the start or, for music that joined
// late, from the end, and followed across short breaks in the sound.
#include "measure/heard_cuts.h"
#include "measure/sync_measure.h"
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

const int kRate = kSyncRate;

// 45 s of stand-in music: quiet noise throughout with louder bursts of random length at
// random gaps, no two stretches alike, so that each place in it matches only itself.
std::vector<float> standInMusic() {
    std::vector<float> m(size_t(45 * kRate));
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    auto noise = [&] { return float(next() >> 16 & 2047) / 1024 - 1; };
    for (float& x : m)
        x = 0.05f * noise();
    size_t at = 0;
    while (at < m.size()) {
        size_t length = 2000 + next() % 6000, gap = 1000 + next() % 8000;
        for (size_t i = 0; i < length && at + i < m.size(); ++i)
            m[at + i] += 0.5f * noise() * std::exp(-float(i) / 3000);
        at += length + gap;
    }
    return m;
}

// The recording: `silence` s, then the music from `from` s, with 25 ms of silence (an
// underrun) before each of `breaks` (s of music). On an exact clock: frame n captured at
// n / kRate s.
MonitorRecording record(const std::vector<float>& music, double silence, double from,
                        const std::vector<double>& breaks = {}) {
    MonitorRecording rec;
    rec.samples.assign(size_t(silence * kRate), 0.0f);
    for (size_t i = size_t(from * kRate); i < music.size(); ++i) {
        for (double at : breaks)
            if (i == size_t(at * kRate))
                rec.samples.insert(rec.samples.end(), size_t(0.025 * kRate), 0.0f);
        rec.samples.push_back(music[i]);
    }
    return rec;
}

RecordingClock exactClock() {
    RecordingClock c;
    c.line = {0, 1.0 / kRate};
    return c;
}

// Each cut heard `delay` s after it was played, and 25 ms more after each of `breaks`.
void expectHeard(const std::vector<HeardCut>& cuts, const std::vector<double>& played, double delay,
                 const std::vector<double>& breaks = {}) {
    ASSERT_EQ(cuts.size(), played.size());
    for (size_t i = 0; i < cuts.size(); ++i) {
        EXPECT_EQ(cuts[i].cut, played[i]);
        double expected = played[i] + delay;
        for (double at : breaks)
            expected += played[i] > at ? 0.025 : 0;
        EXPECT_NEAR(cuts[i].heard, expected, 0.0005) << "cut " << played[i];
    }
}

TEST(HeardCuts, EveryCutWhereItWasHeardPlacedFromEitherEnd) {
    const std::vector<float> music = standInMusic();
    const MonitorRecording rec = record(music, 1.5, 0);
    for (bool fromEnd : {false, true}) {
        SCOPED_TRACE(fromEnd ? "placed from the end" : "placed from the start");
        expectHeard(heardCuts(music, rec, exactClock(), 40, fromEnd), cutsUntil(39.5), 1.5);
    }
}

TEST(HeardCuts, FollowedAcrossBreaksInTheSound) {
    // Two underruns, at 10 s and 18 s: 50 ms more lag at the end than at the start, more
    // than one step of the search from one cut to the next.
    const std::vector<float> music = standInMusic();
    const std::vector<double> breaks = {10, 18};
    const MonitorRecording rec = record(music, 1.5, 0, breaks);
    for (bool fromEnd : {false, true}) {
        SCOPED_TRACE(fromEnd ? "placed from the end" : "placed from the start");
        expectHeard(heardCuts(music, rec, exactClock(), 40, fromEnd), cutsUntil(39.5), 1.5, breaks);
    }
}

TEST(HeardCuts, MusicThatJoinedLatePlacedFromTheEnd) {
    // The sound began 0.5 s into the recording with the music at 8 s: the cuts before 8 s
    // were never heard.
    const std::vector<float> music = standInMusic();
    const MonitorRecording rec = record(music, 0.5, 8);
    std::vector<double> heard;
    for (double cut : cutsUntil(39.5))
        if (cut > 8)
            heard.push_back(cut);
    ASSERT_FALSE(heard.empty());
    ASSERT_LT(heard.size(), cutsUntil(39.5).size());
    expectHeard(heardCuts(music, rec, exactClock(), 40, true), heard, 0.5 - 8);
}

} // namespace
