// Measures how far the music clock is from what a PulseAudio sink actually plays: plays
// the soundtrack through the music stream, records the sink's monitor and logs the clock.
// Usage: measure_sync [seconds] [monitor source] [music file]; run with_pulse.sh.
#include "shell/music_stream.h"
#include "measure/onset.h"
#include "measure/monitor_recording.h"
#include "measure/sync_measure.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

const int kRate = kSyncRate;
const double kSearchWindow = 0.1; // seconds either side of a predicted onset

// The clock's readings while the music played, and when each was taken (monotonic s).
struct ClockLog {
    std::vector<double> clock, clockTime;
};

// One cut: where the file has its onset (s), and the clock minus what was heard (ms).
struct CutOffset {
    double cut, fileOnset, byOnset, byWave;
};

// The lag (frames) at which b best matches a around a's frame `at`, searched within
// `around` of `guess`: the recording is the file, delayed and unchanged.
long bestLag(const std::vector<float>& a, long at, const std::vector<float>& b, long guess,
             long around) {
    const long window = kRate / 20; // 50 ms from the onset on
    long best = guess;
    double bestScore = -1e300;
    for (long lag = guess - around; lag <= guess + around; ++lag) {
        double score = 0;
        for (long i = at - window / 5; i < at + window; ++i) {
            long j = i + lag;
            if (i >= 0 && size_t(i) < a.size() && j >= 0 && size_t(j) < b.size())
                score += double(a[size_t(i)]) * b[size_t(j)];
        }
        if (score > bestScore)
            bestScore = score, best = lag;
    }
    return best;
}

// Plays `music` through the music stream for `run.seconds` while the monitor records,
// reading the clock every millisecond.
bool record(const SyncArgs& run, const std::string& music, MonitorRecording& rec, ClockLog& log) {
    if (!startMonitorRecording(rec, run.source, kRate)) {
        stopMonitorRecording(rec);
        return false;
    }
    std::string error;
    resetMusicSlots();
    if (!initSound(&error) || !openMusic(music.c_str(), &error)) {
        fprintf(stderr, "measure_sync: %s\n", error.c_str());
        stopMonitorRecording(rec);
        return false;
    }
    playMusic(false);
    double start = monotonicSeconds();
    while (monotonicSeconds() - start < run.seconds + 1.0) {
        double t = musicTime();
        log.clockTime.push_back(monotonicSeconds());
        log.clock.push_back(t);
        if (t >= run.seconds)
            break;
        timespec ms{0, 1000000};
        nanosleep(&ms, nullptr);
    }
    stopMonitorRecording(rec);
    closeSound();
    return true;
}

// Each cut whose onset is found in the file and in the recording: when the clock said it
// was audible against when it was heard, by onset and by waveform.
std::vector<CutOffset> findCuts(const std::vector<float>& file,
                                const std::vector<Onset>& fileOnsets, const MonitorRecording& rec,
                                const CaptureLine& line, const ClockLog& log, double seconds) {
    std::vector<Onset> heardOnsets = detectOnsets(rec.samples, kRate);
    const std::vector<double>& clock = log.clock;
    std::vector<CutOffset> cuts;
    for (double cut : cutsUntil(seconds - 0.5)) {
        const Onset* fo = onsetNear(fileOnsets, cut, 0.02);
        if (!fo)
            continue;
        // When the clock said the file's onset was audible: first reading at or past it.
        size_t k = size_t(std::lower_bound(clock.begin(), clock.end(), fo->time) - clock.begin());
        if (k >= clock.size())
            continue;
        double clockAt = log.clockTime[k] - (clock[k] - fo->time);
        // The same onset in the recording, near where the clock put it.
        double predicted = (clockAt - line.start) / line.perFrame / kRate;
        const Onset* ho = onsetNear(heardOnsets, predicted, kSearchWindow);
        if (!ho)
            continue;
        double heardAt = line.start + line.perFrame * ho->time * kRate;
        long fileFrame = lround(fo->time * kRate);
        long lag = bestLag(file, fileFrame, rec.samples, lround((ho->time - fo->time) * kRate),
                           kRate / 100);
        double waveAt = line.start + line.perFrame * double(fileFrame + lag);
        cuts.push_back({cut, fo->time, 1000 * (clockAt - heardAt), 1000 * (clockAt - waveAt)});
    }
    return cuts;
}

void reportRecording(const MonitorRecording& rec, double spread) {
    printf("recording: %zu reads, capture times within %.2f ms of the line in half of them\n",
           rec.anchorFrame.size(), 1000 * spread);
    double byCapture = 0, byRead = 0;
    monitorRateError(rec, kRate, &byCapture, &byRead);
    printf("monitor frames came %+.1f ppm off nominal by capture times, %+.1f ppm by read times\n",
           byCapture, byRead);
    printf("sound path: %s\n", sdlDriverNamed() ? "SDL, driver named by SDL_AUDIODRIVER"
                                                : "the sound server directly when one answers");
}

// The cuts' table and the offsets' statistics; 1 when too few cuts were found.
int reportCuts(const std::vector<CutOffset>& cuts, const ClockLog& log) {
    printf("cut       file onset  offset by onsets  by waveform   (clock minus audible, ms)\n");
    std::vector<double> cutTimes, byOnset, byWave;
    for (const CutOffset& c : cuts) {
        cutTimes.push_back(c.cut);
        byOnset.push_back(c.byOnset);
        byWave.push_back(c.byWave);
        printf("%8.3f  %8.3f    %+8.2f          %+8.2f\n", c.cut, c.fileOnset, c.byOnset, c.byWave);
    }
    if (cuts.size() < 2) {
        printf("too few cuts found (%zu)\n", cuts.size());
        return 1;
    }
    for (auto* v : {&byOnset, &byWave}) {
        OffsetSummary s = summarizeOffsets(*v, cutTimes);
        printf("%s: %zu cuts, mean %+.2f ms, sd %.2f ms, range %+.2f..%+.2f ms, drift %+.2f ms "
               "over 120 s\n",
               v == &byOnset ? "by onsets  " : "by waveform", v->size(), s.mean, s.sd, s.lo, s.hi,
               s.slope * 120);
    }
    int backwards = 0;
    for (size_t i = 1; i < log.clock.size(); ++i)
        backwards += log.clock[i] < log.clock[i - 1];
    printf("clock readings %zu, steps back %d\n", log.clock.size(), backwards);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    SyncArgs run = syncArgs(argc, argv, 1);
    std::string music =
        argc > 3 ? argv[3] : std::string(GLIMWICK_SOURCE_DIR) + "/data/tarnwhistle.ogg";
    std::vector<float> file = decodeMusicOrSay(music, "measure_sync: ");
    if (file.empty())
        return 1;
    std::vector<Onset> fileOnsets = detectOnsets(file, kRate);
    MonitorRecording rec;
    ClockLog log;
    if (!record(run, music, rec, log))
        return 1;
    double spread = 0;
    CaptureLine line = captureLine(rec, kRate, &spread);
    reportRecording(rec, spread);
    return reportCuts(findCuts(file, fileOnsets, rec, line, log, run.seconds), log);
}
