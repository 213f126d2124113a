// The sync a viewer sees, for any program on an X display: reads a patch of the screen every
// millisecond (the frames presented, whatever presents them) while it records the sink's
// monitor, and reports per cut how long after the cut was heard the first frame of its
// flash was on the screen; with the swap hook's log of the same run, how far the two agree;
// with the page's frame log, the music time each frame was drawn for and when.
//   glimwick-measure-screen-sync [--swaps FILE] [--page-log FILE] [--source NAME]
//       SECONDS -- COMMAND [ARGS...]
// COMMAND starts the program, prints "patch X Y W H" (screen pixels, the picture's patch
// that flashes) once the picture is up, ends it after SECONDS and exits; measure/
// screen_sync.sh has one for each target. Run under with_xvfb.sh and with_pulse.sh.
#include "measure/flash_frames.h"
#include "measure/heard_cuts.h"
#include "measure/sync_measure.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const int kRate = kSyncRate;
const double kRise = 25; // brightness jump (of 255) that starts a flash
const double kPollSeconds = 1e-3;

struct Options {
    std::string swaps, pageLog, source = "glimwick.monitor";
    double seconds = 0;
    std::vector<char*> command; // null-terminated
};

// The patch polled and what the polls saw; `stop` ends the polling thread.
struct ScreenReader {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<ScreenPoll> polls;
    std::atomic<bool> stop{false};
    std::string error;
};

// The command's run: its exit status, when the polls began (the program's picture up), the
// load around it.
struct Run {
    int status = 0;
    double start = 0;
    std::string loadBefore, loadAfter;
};

int shiftOf(unsigned long mask) {
    return mask ? __builtin_ctzl(mask) : 0;
}

// Polls the patch every millisecond on its own connection, each poll stamped with the time
// it was asked for: the screen held that picture then or within the request's round trip.
void pollScreen(ScreenReader* r) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        r->error = "cannot open the display";
        return;
    }
    Window root = DefaultRootWindow(display);
    std::vector<uint32_t> pixels(size_t(r->width) * r->height);
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (!r->stop) {
        double asked = monotonicSeconds();
        XImage* image = XGetImage(display, root, r->x, r->y, unsigned(r->width),
                                  unsigned(r->height), AllPlanes, ZPixmap);
        if (!image || image->bits_per_pixel != 32) {
            r->error = "cannot read a 32-bit patch of the screen";
            if (image)
                XDestroyImage(image);
            break;
        }
        for (int row = 0; row < r->height; ++row)
            memcpy(&pixels[size_t(row) * r->width], image->data + row * image->bytes_per_line,
                   size_t(r->width) * 4);
        int count = r->width * r->height;
        r->polls.push_back(
            {asked, patchHash(pixels.data(), count),
             patchBrightness(pixels.data(), count, shiftOf(image->red_mask),
                             shiftOf(image->green_mask), shiftOf(image->blue_mask))});
        XDestroyImage(image);
        next.tv_nsec += long(kPollSeconds * 1e9);
        if (next.tv_nsec >= 1000000000)
            next.tv_sec += 1, next.tv_nsec -= 1000000000;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec > next.tv_sec + 1)
            next = now; // a long stall: no burst of polls to catch up
    }
    XCloseDisplay(display);
}

// Runs the command with its output on a pipe; polls the screen from its "patch" line until
// it exits (sent SIGTERM if it outlives the measurement by a minute).
bool runCommand(const Options& o, ScreenReader& reader, Run& run) {
    int out[2];
    if (pipe(out) != 0)
        return false;
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execvp(o.command[0], o.command.data());
        _exit(127);
    }
    close(out[1]);
    FILE* lines = fdopen(out[0], "r");
    std::thread poller;
    char line[512];
    double begun = monotonicSeconds();
    while (fgets(line, sizeof line, lines)) {
        if (!poller.joinable() && sscanf(line, "patch %d %d %d %d", &reader.x, &reader.y,
                                         &reader.width, &reader.height) == 4) {
            run.start = monotonicSeconds();
            poller = std::thread(pollScreen, &reader);
        } else {
            fputs(line, stderr);
        }
        if (monotonicSeconds() - begun > o.seconds + 60)
            kill(child, SIGTERM);
    }
    fclose(lines);
    waitpid(child, &run.status, 0);
    reader.stop = true;
    if (poller.joinable())
        poller.join();
    return true;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double wallMinusMonotonic() {
    timespec wall, mono;
    clock_gettime(CLOCK_REALTIME, &wall);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return double(wall.tv_sec - mono.tv_sec) + 1e-9 * double(wall.tv_nsec - mono.tv_nsec);
}

void printSummary(const char* what, const std::vector<double>& v, const std::vector<double>& t) {
    if (v.empty())
        return;
    OffsetSummary s = summarizeOffsets(v, t);
    printf("%-34s %zu cuts: median %+.1f ms, range %+.1f..%+.1f ms\n", what, v.size(), s.median,
           s.lo, s.hi);
}

// The per-cut table and its summaries; 1 when no cut was measured.
int report(const std::vector<HeardCut>& cuts, const std::vector<Stamp>& screen,
           const std::vector<Stamp>& swaps, const std::vector<PageFrame>& page, double start) {
    std::vector<double> times, deltas, swapDeltas, agree, clock, past, step, shown, swapTimes,
        pageTimes, shownTimes;
    printf("cut (s)  heard (s)  screen (ms)%s%s\n",
           swaps.empty() ? "" : "  swap (ms)  screen-swap (ms)",
           page.empty() ? "" : "  clock behind  music past cut  step  shown after drawn (ms)");
    for (const HeardCut& h : cuts) {
        printf("%7.3f  %9.3f", h.cut, h.heard - start);
        const Stamp* flash = flashNear(screen, h.heard, kRise);
        if (flash) {
            times.push_back(h.cut);
            deltas.push_back(1000 * (flash->time - h.heard));
            printf("  %+10.1f", deltas.back());
        } else if (const Stamp* jump = flashNear(screen, h.heard, kRise, 1, 1)) {
            printf("  none (a jump at %+.0f)", 1000 * (jump->time - h.heard)); // for a look
        } else {
            printf("  %10s", "none");
        }
        if (!swaps.empty()) {
            const Stamp* swap = flashNear(swaps, h.heard, kRise);
            if (swap) {
                swapTimes.push_back(h.cut);
                swapDeltas.push_back(1000 * (swap->time - h.heard));
                printf("  %+9.1f", swapDeltas.back());
            } else {
                printf("  %9s", "none");
            }
            if (flash && swap) {
                agree.push_back(1000 * (flash->time - swap->time));
                printf("  %+16.1f", agree.back());
            }
        }
        const PageFrame* f = page.empty() ? nullptr : frameDrawnFor(page, h.cut);
        if (f) {
            pageTimes.push_back(h.cut);
            clock.push_back(1000 * (f->read - heardAt(cuts, f->music)));
            past.push_back(1000 * (f->music - h.cut));
            step.push_back(1000 * (f->drawn - f->read));
            printf("  %+12.1f  %+14.1f  %+4.1f", clock.back(), past.back(), step.back());
        }
        if (f && flash) {
            shownTimes.push_back(h.cut);
            shown.push_back(1000 * (flash->time - f->drawn));
            printf("  %+22.1f", shown.back());
        }
        printf("\n");
    }
    printSummary("flash on the screen after heard:", deltas, times);
    printSummary("flash at the swap after heard:", swapDeltas, swapTimes);
    printSummary("screen less swap:", agree, std::vector<double>(agree.size(), 0));
    printSummary("page clock behind the sound:", clock, pageTimes);
    printSummary("page music time past the cut:", past, pageTimes);
    printSummary("page step (clock read to drawn):", step, pageTimes);
    printSummary("page frame shown after drawn:", shown, shownTimes);
    if (deltas.empty())
        printf("no flash found on the screen\n");
    return deltas.empty() ? 1 : 0;
}

// Where the recording first holds sound (s), and how much of it is loud (s, in 10 ms
// blocks above -40 dBFS): a silent recording is told apart from cuts not found.
double soundStart(const std::vector<float>& samples) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > 0.01f)
            return double(i) / kRate;
    return double(samples.size()) / kRate;
}

double loudSeconds(const std::vector<float>& samples) {
    const size_t block = kRate / 100;
    size_t loud = 0;
    for (size_t at = 0; at + block <= samples.size(); at += block) {
        double sum = 0;
        for (size_t i = at; i < at + block; ++i)
            sum += double(samples[i]) * samples[i];
        loud += sum / double(block) > 1e-4;
    }
    return double(loud) / 100;
}

// How far consecutive cuts were heard off the music's own spacing, ms per pair on average:
// a cut placed at the wrong beat strays by far more than the sink's drift or a short
// break in the sound. Huge with fewer than two cuts.
double spacingError(const std::vector<HeardCut>& cuts) {
    if (cuts.size() < 2)
        return 1e9;
    double sum = 0;
    for (size_t i = 1; i < cuts.size(); ++i)
        sum += std::fabs((cuts[i].heard - cuts[i - 1].heard) - (cuts[i].cut - cuts[i - 1].cut));
    return 1000 * sum / double(cuts.size() - 1);
}

bool parseOptions(int argc, char** argv, Options& o) {
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-' && argv[i][2]; i += 2) {
        std::string name = argv[i];
        if (name == "--swaps")
            o.swaps = argv[i + 1];
        else if (name == "--page-log")
            o.pageLog = argv[i + 1];
        else if (name == "--source")
            o.source = argv[i + 1];
        else
            return false;
    }
    if (i + 2 >= argc || std::string(argv[i + 1]) != "--")
        return false;
    o.seconds = atof(argv[i]);
    o.command.assign(argv + i + 2, argv + argc);
    o.command.push_back(nullptr);
    return o.seconds > 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        fprintf(stderr,
                "usage: %s [--swaps FILE] [--page-log FILE] [--source NAME] SECONDS -- "
                "COMMAND [ARGS...]\n",
                argv[0]);
        return 2;
    }
    std::vector<float> file =
        decodeMusicOrSay(GLIMWICK_SOURCE_DIR "/data/tarnwhistle.ogg", "screen sync: ");
    if (file.empty())
        return 1;
    MonitorRecording rec;
    ScreenReader reader;
    Run run;
    run.loadBefore = loadAverage();
    if (!startMonitorRecording(rec, o.source.c_str(), kRate) || !runCommand(o, reader, run))
        return 1;
    stopMonitorRecording(rec);
    run.loadAfter = loadAverage();
    if (!reader.error.empty() || reader.polls.empty()) {
        fprintf(stderr, "screen sync: %s\n",
                reader.error.empty() ? "the command printed no patch" : reader.error.c_str());
        return 1;
    }
    RecordingClock clock = timeRecording(rec);
    std::vector<Stamp> screen = presentedFrames(reader.polls);
    std::vector<Stamp> swaps = o.swaps.empty() ? std::vector<Stamp>{} : readStamps(o.swaps);
    std::vector<PageFrame> page = o.pageLog.empty()
                                      ? std::vector<PageFrame>{}
                                      : parsePageLog(readFile(o.pageLog), wallMinusMonotonic());
    double polled = reader.polls.back().time - reader.polls.front().time;
    FrameInterval interval = frameInterval(screen);
    printf("command status %d; patch %dx%d at %d,%d polled %zu times in %.1f s (every %.2f ms)\n",
           WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1, reader.width, reader.height,
           reader.x, reader.y, reader.polls.size(), polled,
           1000 * polled / double(reader.polls.size()));
    printf("%zu frames seen on the screen: median interval %.1f ms, %.0f %% of intervals past "
           "1.5 times it\n",
           screen.size(), interval.median, 100 * interval.longShare);
    if (!swaps.empty()) {
        FrameInterval s = frameInterval(swaps);
        printf("%zu frames swapped: median interval %.1f ms\n", swaps.size(), s.median);
    }
    if (!o.pageLog.empty()) {
        std::vector<Stamp> drawn;
        for (const PageFrame& f : page)
            drawn.push_back({f.drawn, 0});
        printf("%zu frames in the page's log: median interval %.1f ms\n", page.size(),
               frameInterval(drawn).median);
    }
    printf("sink clock fitted at %+.1f ppm against CLOCK_MONOTONIC (reads within %.2f ms), "
           "%zu s of sound recorded\n",
           clock.byCapture, 1000 * clock.spread, rec.samples.size() / kRate);
    printf("sound in the recording from %.1f s after the picture came up, %.1f s of it loud "
           "(above -40 dBFS)\n",
           soundStart(rec.samples) - (run.start - clock.line.start), loudSeconds(rec.samples));
    printf("load average before %s, after %s\n", run.loadBefore.c_str(), run.loadAfter.c_str());
    // Placed from the first cut unless the music joined late (a browser slow to start
    // sound): then placed from the end, whichever keeps the music's own spacing better.
    std::vector<HeardCut> fromStart = heardCuts(file, rec, clock, o.seconds, false);
    std::vector<HeardCut> fromEnd = heardCuts(file, rec, clock, o.seconds, true);
    double startError = spacingError(fromStart), endError = spacingError(fromEnd);
    bool late = endError < startError;
    printf("cuts placed from the %s of the sound (heard %.1f ms a cut off the music's own spacing; "
           "placed from the %s: %.1f)\n",
           late ? "end" : "start", late ? endError : startError, late ? "start" : "end",
           late ? startError : endError);
    std::vector<HeardCut> cuts = late ? fromEnd : fromStart;
    if (cuts.empty()) {
        printf("no cut within %.0f s\n", o.seconds);
        return 1;
    }
    return report(cuts, screen, swaps, page, run.start);
}
