// The sync a viewer sees: runs the real show with swap_stamp preloaded (each presented
// frame's time and brightness), records the sink's monitor with arrival times, finds each
// cut in the recording by correlation with the music file, fits the sink's clock against
// CLOCK_MONOTONIC, and reports per cut how long after the cut was heard the first frame
// of its flash was presented. Run under with_xvfb.sh and with_pulse.sh (or with_pipewire.sh):
//   glimwick-measure-show-sync SHOW SHIM [seconds] [monitor source]
#include "measure/monitor_recording.h"
#include "measure/mono_file.h"
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

const int kRate = 44100;        // of the soundtrack and of the recording
const int kEnvelope = 44;       // frames per envelope step (1 ms)
const double kRise = 25;        // brightness jump (of 255) that starts a flash
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

struct Stamp {
    double time, brightness;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s SHOW SHIM [seconds] [monitor source]\n", argv[0]);
        return 2;
    }
    std::string show = argv[1], shim = argv[2];
    double seconds = argc > 3 ? atof(argv[3]) : 120.0;
    const char* source = argc > 4 ? argv[4] : "glimwick.monitor";
    std::string music = show.substr(0, show.rfind('/') + 1) + "data/tarnwhistle.ogg";
    std::vector<float> file = decodeMonoFile(music.c_str());
    if (file.empty()) {
        fprintf(stderr, "cannot decode %s\n", music.c_str());
        return 1;
    }
    std::string stampPath = "/tmp/glimwick-swaps-" + std::to_string(getpid());
    std::string loadBefore = loadAverage();
    MonitorRecording rec;
    if (!startMonitorRecording(rec, source, kRate))
        return 1;
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
    double start = monotonicSeconds();
    int status = 0;
    bool asked = false;
    while (waitpid(child, &status, WNOHANG) == 0) {
        // Start-up takes a few seconds; a shorter measurement ends the show as Escape does.
        if (!asked && seconds < 120 && monotonicSeconds() - start > seconds + 5) {
            kill(child, SIGTERM);
            asked = true;
        }
        usleep(50000);
    }
    stopMonitorRecording(rec);
    std::string loadAfter = loadAverage();

    std::vector<Stamp> stamps;
    if (FILE* f = fopen(stampPath.c_str(), "r")) {
        Stamp s;
        while (fscanf(f, "%lf %lf", &s.time, &s.brightness) == 2)
            stamps.push_back(s);
        fclose(f);
    }
    remove(stampPath.c_str());
    double spread = 0, byCapture = 0, byRead = 0;
    CaptureLine line = captureLine(rec, kRate, &spread);
    monitorRateError(rec, kRate, &byCapture, &byRead);
    printf("show status %d, %zu frames presented, %zu s of sound recorded\n",
           WIFEXITED(status) ? WEXITSTATUS(status) : -1, stamps.size(), rec.samples.size() / kRate);
    printf("sink clock fitted at %+.1f ppm against CLOCK_MONOTONIC (reads within %.2f ms)\n",
           byCapture, 1000 * spread);
    printf("sound path: %s\n", getenv("SDL_AUDIODRIVER") && *getenv("SDL_AUDIODRIVER")
                                   ? "SDL (SDL_AUDIODRIVER is set)"
                                   : "the sound server directly");
    printf("load average before %s, after %s\n", loadBefore.c_str(), loadAfter.c_str());

    // A second timing of the recording from arrival alone, free of the latency the server
    // reports (PipeWire's PulseAudio service reports one that wanders by tens of ms): the
    // reads' own times, on a line through their earliest arrivals (5th percentile), which
    // sits a constant pipeline delay after the sound was heard. Its column has an unknown
    // constant taken off; only its spread from cut to cut tells.
    double arrivalPerFrame = 1.0 / (kRate * (1 + 1e-6 * byRead));
    std::vector<double> arrivals;
    for (size_t i = 0; i < rec.readTime.size(); ++i)
        arrivals.push_back(rec.readTime[i] - arrivalPerFrame * rec.anchorFrame[i]);
    std::sort(arrivals.begin(), arrivals.end());
    double arrivalStart = arrivals.empty() ? 0 : arrivals[arrivals.size() / 20];

    // Where the music began in the recording: the first cut's surroundings, coarsely by
    // envelope over the first 30 s, then each cut from the one before, finely by waveform.
    std::vector<float> fileEnv = envelope(file), recEnv = envelope(rec.samples);
    long first = long(kSchedule[0].seconds * 1000);
    long lagMs = bestLag(fileEnv, first - 1000, 2000, recEnv, -first + 1000, 30000);
    long lag = lagMs * kEnvelope;
    std::vector<double> deltas, byArrival;
    printf("cut       heard at (s)  flash after heard (ms)  by arrival (ms, less a constant)\n");
    for (int row = 0; row + 1 < kScheduleRows; ++row) {
        double cut = kSchedule[row].seconds;
        if (cut > std::min(seconds - 0.5, kLastCut))
            break;
        long at = long(cut * 1000);
        lagMs = bestLag(fileEnv, at - 200, 400, recEnv, lag / kEnvelope - 30, lag / kEnvelope + 30);
        long frame = long(cut * kRate);
        lag = bestLag(file, frame - kRate / 100, kRate / 20, rec.samples, lagMs * kEnvelope - 100,
                      lagMs * kEnvelope + 100);
        double heard = line.start + line.perFrame * double(frame + lag);
        const Stamp* flash = nullptr;
        for (size_t i = 1; i < stamps.size() && !flash; ++i)
            if (stamps[i].time >= heard - 0.15 && stamps[i].time <= heard + 0.25 &&
                stamps[i].brightness - stamps[i - 1].brightness > kRise)
                flash = &stamps[i];
        if (!flash) {
            printf("%8.3f  %10.3f    no flash found\n", cut, heard - start);
            continue;
        }
        deltas.push_back(1000 * (flash->time - heard));
        byArrival.push_back(1000 *
                            (flash->time - arrivalStart - arrivalPerFrame * double(frame + lag)));
        printf("%8.3f  %10.3f    %+7.1f                 %+7.1f\n", cut, heard - start,
               deltas.back(), byArrival.back());
    }
    if (deltas.empty()) {
        printf("no cut measured\n");
        return 1;
    }
    std::vector<double> sorted = deltas;
    std::sort(sorted.begin(), sorted.end());
    printf("%zu cuts: median %+.1f ms, range %+.1f..%+.1f ms (target: median within 22 ms, "
           "every cut within 35 ms)\n",
           sorted.size(), sorted[sorted.size() / 2], sorted.front(), sorted.back());
    std::sort(byArrival.begin(), byArrival.end());
    double middle = byArrival[byArrival.size() / 2];
    printf("by arrival: spread %+.1f..%+.1f ms around the median\n", byArrival.front() - middle,
           byArrival.back() - middle);
    return 0;
}
