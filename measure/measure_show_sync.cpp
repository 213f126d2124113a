// The sync a viewer sees: runs the real show with swap_stamp preloaded (each presented
// frame's time and brightness), records the sink's monitor with arrival times, finds each
// cut in the recording by correlation with the music file, fits the sink's clock against
// CLOCK_MONOTONIC, and reports per cut how long after the cut was heard the first frame
// of its flash was presented. Run under with_xvfb.sh and with_pulse.sh (or with_pipewire.sh):
//   glimwick-measure-show-sync SHOW SHIM [seconds] [monitor source]
#include "measure/flash_frames.h"
#include "measure/heard_cuts.h"
#include "measure/sync_measure.h"
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
const double kRise = 25; // brightness jump (of 255) that starts a flash

// The show's run: how it ended, when it began (monotonic s), its presented frames, and the
// machine's load around it.
struct ShowRun {
    int status = 0;
    double start = 0;
    std::vector<Stamp> stamps;
    std::string loadBefore, loadAfter;
};

// One cut: when it was heard (monotonic s); found: its flash's delay (ms) after it, and by
// arrival (ms, less a constant).
struct CutFlash {
    double cut, heard;
    bool found;
    double delta, byArrival;
};

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
    remove(stampPath.c_str());
    return true;
}

// Each cut heard and the first frame of its flash.
std::vector<CutFlash> findCuts(const std::vector<float>& file, const MonitorRecording& rec,
                               const ShowRun& show, const RecordingClock& c, double seconds) {
    std::vector<CutFlash> cuts;
    for (const HeardCut& h : heardCuts(file, rec, c, seconds)) {
        const Stamp* flash = flashNear(show.stamps, h.heard, kRise);
        if (!flash)
            cuts.push_back({h.cut, h.heard, false, 0, 0});
        else
            cuts.push_back({h.cut, h.heard, true, 1000 * (flash->time - h.heard),
                            1000 * (flash->time - h.byArrival)});
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
