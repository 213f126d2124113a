// The sync a viewer sees: runs the real show with swap_stamp preloaded (each presented
// frame's time and brightness), records the sink's monitor with arrival times, finds each
// cut in the recording by correlation with the music file, fits the sink's clock against
// CLOCK_MONOTONIC, and reports per cut how long after the cut was heard the first frame
// of its flash was presented. Run under with_xvfb.sh and with_pulse.sh (or with_pipewire.sh):
//   glimwick-measure-show-sync SHOW SHIM [seconds] [monitor source]
#include "measure/monitor_recording.h"
#include "measure/sync_measure.h"
#include "shell/schedule.h"
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const int kRate = kSyncRate;
const int kEnvelope = 44;       // frames per envelope step (1 ms)
const double kRise = 25;        // brightness jump (of 255) that starts a flash
const double kLastCut = 105.04; // the end part shows no flash

struct Stamp {
    double time, brightness;
};

// The show's run: how it ended, when it began (monotonic s), its presented frames, and the
// machine's load around it.
struct ShowRun {
    int status = 0;
    double start = 0;
    std::vector<Stamp> stamps;
    std::string loadBefore, loadAfter;
};

// The recording's two timings: by the capture times the server reports, and by arrival.
struct RecordingClock {
    CaptureLine line;
    double spread = 0, byCapture = 0, byRead = 0;
    double arrivalPerFrame = 0, arrivalStart = 0;
};

// One cut: when it was heard (monotonic s); found: its flash's delay (ms) after it, and by
// arrival (ms, less a constant).
struct CutFlash {
    double cut, heard;
    bool found;
    double delta, byArrival;
};

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

std::vector<Stamp> readStamps(const std::string& path) {
    std::vector<Stamp> stamps;
    if (FILE* f = fopen(path.c_str(), "r")) {
        Stamp s;
        while (fscanf(f, "%lf %lf", &s.time, &s.brightness) == 2)
            stamps.push_back(s);
        fclose(f);
    }
    remove(path.c_str());
    return stamps;
}

// Runs the show with the shim preloaded while the monitor records; a measurement shorter
// than the show ends it as Escape does, once start-up (a few seconds) is past.
bool record(const std::string& show, const std::string& shim, const SyncArgs& run,
            MonitorRecording& rec, ShowRun& out) {
    std::string stampPath = "/tmp/glimwick-swaps-" + std::to_string(getpid());
    out.loadBefore = loadAverage();
    if (!startMonitorRecording(rec, run.source, kRate))
        return false;
    pid_t child = fork();
    if (child == 0) {
        std::string preload = shim;
        if (const char* other = getenv("LD_PRELOAD"))
            preload += std::string(" ") + other;
        setenv("LD_PRELOAD", preload.c_str(), 1);
        setenv("GLIMWICK_SWAP_LOG", stampPath.c_str(), 1);
        execl(show.c_str(), show.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    out.start = monotonicSeconds();
    bool asked = false;
    while (waitpid(child, &out.status, WNOHANG) == 0) {
        if (!asked && run.seconds < 120 && monotonicSeconds() - out.start > run.seconds + 5) {
            kill(child, SIGTERM);
            asked = true;
        }
        usleep(50000);
    }
    stopMonitorRecording(rec);
    out.loadAfter = loadAverage();
    out.stamps = readStamps(stampPath);
    return true;
}

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

// The first frame within -150..+250 ms of `heard` that brightens by kRise; null if none.
const Stamp* flashNear(const std::vector<Stamp>& stamps, double heard) {
    for (size_t i = 1; i < stamps.size(); ++i)
        if (stamps[i].time >= heard - 0.15 && stamps[i].time <= heard + 0.25 &&
            stamps[i].brightness - stamps[i - 1].brightness > kRise)
            return &stamps[i];
    return nullptr;
}

// Where the music began in the recording: the first cut's surroundings, coarsely by
// envelope over the first 30 s, then each cut from the one before, finely by waveform.
std::vector<CutFlash> findCuts(const std::vector<float>& file, const MonitorRecording& rec,
                               const ShowRun& show, const RecordingClock& c, double seconds) {
    std::vector<float> fileEnv = envelope(file), recEnv = envelope(rec.samples);
    long first = long(kSchedule[0].seconds * 1000);
    long lagMs = bestLag(fileEnv, first - 1000, 2000, recEnv, -first + 1000, 30000);
    long lag = lagMs * kEnvelope;
    std::vector<CutFlash> cuts;
    for (double cut : cutsUntil(std::min(seconds - 0.5, kLastCut))) {
        long at = long(cut * 1000);
        lagMs = bestLag(fileEnv, at - 200, 400, recEnv, lag / kEnvelope - 30, lag / kEnvelope + 30);
        long frame = long(cut * kRate);
        lag = bestLag(file, frame - kRate / 100, kRate / 20, rec.samples, lagMs * kEnvelope - 100,
                      lagMs * kEnvelope + 100);
        double heard = c.line.start + c.line.perFrame * double(frame + lag);
        const Stamp* flash = flashNear(show.stamps, heard);
        if (!flash) {
            cuts.push_back({cut, heard, false, 0, 0});
            continue;
        }
        cuts.push_back(
            {cut, heard, true, 1000 * (flash->time - heard),
             1000 * (flash->time - c.arrivalStart - c.arrivalPerFrame * double(frame + lag))});
    }
    return cuts;
}

void reportRun(const MonitorRecording& rec, const ShowRun& show, const RecordingClock& c) {
    printf("show status %d, %zu frames presented, %zu s of sound recorded\n",
           WIFEXITED(show.status) ? WEXITSTATUS(show.status) : -1, show.stamps.size(),
           rec.samples.size() / kRate);
    printf("sink clock fitted at %+.1f ppm against CLOCK_MONOTONIC (reads within %.2f ms)\n",
           c.byCapture, 1000 * c.spread);
    printf("sound path: %s\n",
           sdlDriverNamed() ? "SDL (SDL_AUDIODRIVER is set)" : "the sound server directly");
    printf("load average before %s, after %s\n", show.loadBefore.c_str(), show.loadAfter.c_str());
}

// The cuts' table and the delays' statistics; 1 when no cut was measured.
int reportCuts(const std::vector<CutFlash>& cuts, double start) {
    std::vector<double> cutTimes, deltas, byArrival;
    printf("cut       heard at (s)  flash after heard (ms)  by arrival (ms, less a constant)\n");
    for (const CutFlash& c : cuts) {
        if (!c.found) {
            printf("%8.3f  %10.3f    no flash found\n", c.cut, c.heard - start);
            continue;
        }
        cutTimes.push_back(c.cut);
        deltas.push_back(c.delta);
        byArrival.push_back(c.byArrival);
        printf("%8.3f  %10.3f    %+7.1f                 %+7.1f\n", c.cut, c.heard - start, c.delta,
               c.byArrival);
    }
    if (deltas.empty()) {
        printf("no cut measured\n");
        return 1;
    }
    OffsetSummary d = summarizeOffsets(deltas, cutTimes);
    printf("%zu cuts: median %+.1f ms, range %+.1f..%+.1f ms (target: median within 22 ms, "
           "every cut within 35 ms)\n",
           deltas.size(), d.median, d.lo, d.hi);
    OffsetSummary a = summarizeOffsets(byArrival, cutTimes);
    printf("by arrival: spread %+.1f..%+.1f ms around the median\n", a.lo - a.median,
           a.hi - a.median);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s SHOW SHIM [seconds] [monitor source]\n", argv[0]);
        return 2;
    }
    std::string show = argv[1], shim = argv[2];
    SyncArgs run = syncArgs(argc, argv, 3);
    std::string music = show.substr(0, show.rfind('/') + 1) + "data/tarnwhistle.ogg";
    std::vector<float> file = decodeMusicOrSay(music, "");
    if (file.empty())
        return 1;
    MonitorRecording rec;
    ShowRun showRun;
    if (!record(show, shim, run, rec, showRun))
        return 1;
    RecordingClock clock = timeRecording(rec);
    reportRun(rec, showRun, clock);
    return reportCuts(findCuts(file, rec, showRun, clock, run.seconds), showRun.start);
}
