// Measures how far the music clock is from what a PulseAudio sink actually plays: plays
// the soundtrack through the music stream, records the sink's monitor and logs the clock.
// Usage: measure_sync [seconds] [monitor source] [music file]; run with_pulse.sh.
#include "shell/music_stream.h"
#include "shell/schedule.h"
#include "measure/onset.h"
#include "measure/mono_file.h"
#include "measure/monitor_recording.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

const int kRate = 44100;          // of the soundtrack and of the recording, frames per second
const int kChunk = 256;           // frames per read from the monitor (5.8 ms)
const double kSearchWindow = 0.1; // seconds either side of a predicted onset

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

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 120.0;
    const char* source = argc > 2 ? argv[2] : "glimwick.monitor";
    std::string music =
        argc > 3 ? argv[3] : std::string(GLIMWICK_SOURCE_DIR) + "/data/tarnwhistle.ogg";

    std::vector<float> file = decodeMonoFile(music.c_str());
    if (file.empty()) {
        fprintf(stderr, "measure_sync: cannot decode %s\n", music.c_str());
        return 1;
    }
    std::vector<Onset> fileOnsets = detectOnsets(file, kRate);

    MonitorRecording rec;
    if (!startMonitorRecording(rec, source, kRate)) {
        stopMonitorRecording(rec);
        return 1;
    }
    std::string error;
    resetMusicSlots();
    if (!initSound(&error) || !openMusic(music.c_str(), &error)) {
        fprintf(stderr, "measure_sync: %s\n", error.c_str());
        stopMonitorRecording(rec);
        return 1;
    }
    playMusic(false);
    std::vector<double> clock, clockTime;
    double start = monotonicSeconds();
    while (monotonicSeconds() - start < seconds + 1.0) {
        double t = musicTime();
        clockTime.push_back(monotonicSeconds());
        clock.push_back(t);
        if (t >= seconds)
            break;
        timespec ms{0, 1000000};
        nanosleep(&ms, nullptr);
    }
    stopMonitorRecording(rec);
    closeSound();

    double spread = 0;
    CaptureLine line = captureLine(rec, kRate, &spread);
    printf("recording: %zu reads, capture times within %.2f ms of the line in half of them\n",
           rec.anchorFrame.size(), 1000 * spread);
    double byCapture = 0, byRead = 0;
    monitorRateError(rec, kRate, &byCapture, &byRead);
    printf("monitor frames came %+.1f ppm off nominal by capture times, %+.1f ppm by read times\n",
           byCapture, byRead);
    printf("sound path: %s\n", getenv("SDL_AUDIODRIVER") && *getenv("SDL_AUDIODRIVER")
                                   ? "SDL, driver named by SDL_AUDIODRIVER"
                                   : "the sound server directly when one answers");
    std::vector<Onset> heardOnsets = detectOnsets(rec.samples, kRate);
    int backwards = 0;
    for (size_t i = 1; i < clock.size(); ++i)
        backwards += clock[i] < clock[i - 1];

    printf("cut       file onset  offset by onsets  by waveform   (clock minus audible, ms)\n");
    std::vector<double> cutTimes, byOnset, byWave;
    for (int row = 0; row + 1 < kScheduleRows; ++row) {
        double cut = kSchedule[row].seconds;
        if (cut > seconds - 0.5)
            break;
        const Onset* fo = onsetNear(fileOnsets, cut, 0.02);
        if (!fo)
            continue;
        // When the clock said the file's onset was audible: first reading at or past it.
        size_t k = size_t(std::lower_bound(clock.begin(), clock.end(), fo->time) - clock.begin());
        if (k >= clock.size())
            continue;
        double clockAt = clockTime[k] - (clock[k] - fo->time);
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
        cutTimes.push_back(cut);
        byOnset.push_back(1000 * (clockAt - heardAt));
        byWave.push_back(1000 * (clockAt - waveAt));
        printf("%8.3f  %8.3f    %+8.2f          %+8.2f\n", cut, fo->time, byOnset.back(),
               byWave.back());
    }
    if (cutTimes.size() < 2) {
        printf("too few cuts found (%zu)\n", cutTimes.size());
        return 1;
    }
    for (auto* v : {&byOnset, &byWave}) {
        double n = double(v->size()), mean = 0, sd = 0, lo = 1e9, hi = -1e9;
        for (double x : *v)
            mean += x / n, lo = std::min(lo, x), hi = std::max(hi, x);
        for (double x : *v)
            sd += (x - mean) * (x - mean) / n;
        // Drift: least-squares slope of the offset over music time, times 120 s.
        double st = 0, so = 0, stt = 0, sto = 0;
        for (size_t i = 0; i < v->size(); ++i)
            st += cutTimes[i], so += (*v)[i], stt += cutTimes[i] * cutTimes[i],
                sto += cutTimes[i] * (*v)[i];
        double slope = (n * sto - st * so) / (n * stt - st * st);
        printf("%s: %zu cuts, mean %+.2f ms, sd %.2f ms, range %+.2f..%+.2f ms, drift %+.2f ms "
               "over 120 s\n",
               v == &byOnset ? "by onsets  " : "by waveform", v->size(), mean, std::sqrt(sd), lo,
               hi, slope * 120);
    }
    printf("clock readings %zu, steps back %d\n", clock.size(), backwards);
    return 0;
}
