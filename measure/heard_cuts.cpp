// Cuts found in a sink monitor's recording (see heard_cuts.h).
#include "measure/heard_cuts.h"
#include "measure/sync_measure.h"
#include "shell/schedule.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int kRate = kSyncRate;
const int kEnvelope = 44;       // frames per envelope step (1 ms)
const double kLastCut = 105.04; // the end part shows no flash

std::vector<float> envelope(const std::vector<float>& s) {
    std::vector<float> e(s.size() / kEnvelope);
    for (size_t i = 0; i < e.size(); ++i) {
        float sum = 0;
        for (int k = 0; k < kEnvelope; ++k)
            sum += std::fabs(s[i * kEnvelope + size_t(k)]);
        e[i] = sum;
    }
    return e;
}

// The lag (in units of a and b) within [from, to] at which b best matches a's stretch
// [at, at + length), by normalised correlation.
long bestLag(const std::vector<float>& a, long at, long length, const std::vector<float>& b,
             long from, long to) {
    long best = from;
    double bestScore = -1e300;
    for (long lag = from; lag <= to; ++lag) {
        double dot = 0, energy = 1e-12;
        for (long i = at; i < at + length; ++i) {
            long j = i + lag;
            if (i < 0 || size_t(i) >= a.size() || j < 0 || size_t(j) >= b.size())
                continue;
            dot += double(a[size_t(i)]) * b[size_t(j)];
            energy += double(b[size_t(j)]) * b[size_t(j)];
        }
        double score = dot / std::sqrt(energy);
        if (score > bestScore)
            bestScore = score, best = lag;
    }
    return best;
}

} // namespace

RecordingClock timeRecording(const MonitorRecording& rec) {
    RecordingClock c;
    c.line = captureLine(rec, kRate, &c.spread);
    monitorRateError(rec, kRate, &c.byCapture, &c.byRead);
    // A second timing of the recording from arrival alone, free of the latency the server
    // reports (PipeWire's PulseAudio service reports one that wanders by tens of ms): the
    // reads' own times, on a line through their earliest arrivals (5th percentile), which
    // sits a constant pipeline delay after the sound was heard. Its column has an unknown
    // constant taken off; only its spread from cut to cut tells.
    c.arrivalPerFrame = 1.0 / (kRate * (1 + 1e-6 * c.byRead));
    std::vector<double> arrivals;
    for (size_t i = 0; i < rec.readTime.size(); ++i)
        arrivals.push_back(rec.readTime[i] - c.arrivalPerFrame * rec.anchorFrame[i]);
    std::sort(arrivals.begin(), arrivals.end());
    c.arrivalStart = arrivals.empty() ? 0 : arrivals[arrivals.size() / 20];
    return c;
}

namespace {

// The envelope summed over `n` steps at a time.
std::vector<float> coarser(const std::vector<float>& e, size_t n) {
    std::vector<float> c(e.size() / n);
    for (size_t i = 0; i < c.size(); ++i)
        for (size_t k = 0; k < n; ++k)
            c[i] += e[i * n + k];
    return c;
}

// Where the recording first and last holds sound (frames; 0 and its length if never).
void soundSpan(const std::vector<float>& s, long* first, long* last) {
    *first = 0, *last = long(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        if (std::fabs(s[i]) > 0.01f) {
            *first = long(i);
            break;
        }
    for (size_t i = s.size(); i-- > 0;)
        if (std::fabs(s[i]) > 0.01f) {
            *last = long(i);
            break;
        }
}

// The recording's lag behind the file (ms) from its last 10 s of sound, placed in the whole
// file: by 10 ms steps, then by 1 ms.
long lagFromTheEnd(const std::vector<float>& fileEnv, const std::vector<float>& recEnv,
                   long lastMs) {
    long end = std::max(0L, lastMs - 500), from = std::max(0L, end - 10000);
    std::vector<float> fileCoarse = coarser(fileEnv, 10), recCoarse = coarser(recEnv, 10);
    long at = bestLag(recCoarse, from / 10, (end - from) / 10, fileCoarse, -from / 10,
                      long(fileCoarse.size()) - from / 10);
    at = bestLag(recEnv, from, end - from, fileEnv, at * 10 - 20, at * 10 + 20);
    return -at;
}

} // namespace

// Where the music began in the recording: the first cut's surroundings, coarsely by
// envelope over the first 30 s (or, for music that may have joined late, the last 10 s of
// sound placed in the file), then each cut from its neighbour, finely by waveform.
std::vector<HeardCut> heardCuts(const std::vector<float>& file, const MonitorRecording& rec,
                                const RecordingClock& c, double seconds, bool joinedLate) {
    std::vector<float> fileEnv = envelope(file), recEnv = envelope(rec.samples);
    long first = long(kSchedule[0].seconds * 1000), heardFrom = 0, heardUntil = 0;
    soundSpan(rec.samples, &heardFrom, &heardUntil);
    long lagMs = joinedLate ? lagFromTheEnd(fileEnv, recEnv, heardUntil / kEnvelope)
                            : bestLag(fileEnv, first - 1000, 2000, recEnv, -first + 1000, 30000);
    long lag = lagMs * kEnvelope;
    // Sound that broke off for a moment (an underrun) lags more after it: each cut is found
    // near the one before it, or after it when placed from the end.
    std::vector<double> order = cutsUntil(std::min(seconds - 0.5, kLastCut));
    if (joinedLate)
        std::reverse(order.begin(), order.end());
    std::vector<HeardCut> cuts;
    for (double cut : order) {
        long at = long(cut * 1000);
        lagMs = bestLag(fileEnv, at - 200, 400, recEnv, lag / kEnvelope - 30, lag / kEnvelope + 30);
        long frame = long(cut * kRate);
        lag = bestLag(file, frame - kRate / 100, kRate / 20, rec.samples, lagMs * kEnvelope - 100,
                      lagMs * kEnvelope + 100);
        if (joinedLate && frame + lag < heardFrom + kRate / 10)
            continue; // played before the sound began: never heard
        cuts.push_back({cut, c.line.start + c.line.perFrame * double(frame + lag),
                        c.arrivalStart + c.arrivalPerFrame * double(frame + lag)});
    }
    if (joinedLate)
        std::reverse(cuts.begin(), cuts.end());
    return cuts;
}

double heardAt(const std::vector<HeardCut>& cuts, double music) {
    const HeardCut* near = &cuts[0];
    for (const HeardCut& c : cuts)
        if (std::fabs(c.cut - music) < std::fabs(near->cut - music))
            near = &c;
    return near->heard + (music - near->cut);
}

std::string loadAverage() {
    std::string text;
    if (FILE* f = fopen("/proc/loadavg", "r")) {
        char line[128] = "";
        if (fgets(line, sizeof line, f))
            text = line;
        fclose(f);
    }
    return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}
