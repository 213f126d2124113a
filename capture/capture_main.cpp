// glimwick-capture: renders the show offscreen, frame-exact, to PNG frames or a video.
#define SDL_MAIN_HANDLED
#include "shell/data_path.h"
#include "capture/capture_options.h"
#include "capture/capture_output.h"
#include "capture/capture_show.h"
#include "capture/capture_signals.h"
#include <SDL2/SDL.h>
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct {
    bool terminal = false;
    int64_t total = 0;
    int lastTenth = -1; // last 10% step reported when not on a terminal
    Clock::time_point start, lastShown;
} progress;

std::string minutesSeconds(double s) {
    char text[32];
    long whole = long(s + 0.5);
    snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// "frame 1200 of 7200, 23.5 fps, 4:15 left": in place on a terminal (a few times a
// second), otherwise one line per tenth of the work.
void showProgress(int64_t done, bool last) {
    Clock::time_point now = Clock::now();
    int tenth = int(done * 10 / progress.total);
    if (progress.terminal ? !last && now - progress.lastShown < std::chrono::milliseconds(250)
                          : tenth == progress.lastTenth)
        return;
    progress.lastShown = now;
    progress.lastTenth = tenth;
    double elapsed = std::chrono::duration<double>(now - progress.start).count();
    double fps = elapsed > 0 ? double(done) / elapsed : 0;
    double left = fps > 0 ? double(progress.total - done) / fps : 0;
    fprintf(stderr, "%sframe %lld of %lld, %.1f fps, %s left%s", progress.terminal ? "\r" : "",
            static_cast<long long>(done), static_cast<long long>(progress.total), fps,
            minutesSeconds(left).c_str(), progress.terminal ? (last ? "\n" : "   ") : "\n");
    fflush(stderr);
}

int failWith(int status, const std::string& message) {
    if (progress.terminal && progress.lastShown != Clock::time_point())
        fputc('\n', stderr);
    fprintf(stderr, "glimwick-capture: %s\n", message.c_str());
    return status;
}

// Ended by a signal: nothing of the output is left, and the status says which signal.
int interrupted() {
    abandonCaptureOutput();
    return failWith(128 + captureSignal(), "interrupted");
}

} // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    std::string error;
    // Before anything exists that a signal could leave behind (ffmpeg, the output), and
    // before SDL, which then leaves SIGINT and SIGTERM to these handlers.
    if (!installCaptureSignals(&error))
        return failWith(1, error);
    CaptureOptions options;
    if (!parseCaptureOptions(argc, argv, options, &error))
        return failWith(kCaptureUsageStatus, error);
    if (options.help) {
        fputs(captureUsage(), stdout);
        return 0;
    }
    if (options.version) {
        puts("glimwick-capture " GLIMWICK_RELEASE);
        return 0;
    }
    FrameRange range = captureRange(options);
    std::string music = resolveDataPath("data/tarnwhistle.ogg");
    std::string text = resolveDataPath("data/texture_text.png");
    if (!openCaptureOutput(options, range, music, &error))
        return captureSignal() ? interrupted() : failWith(kCaptureUsageStatus, error);
    if (captureSignal())
        return interrupted();
    if (!openCaptureShow(text.c_str(), &error)) {
        if (captureSignal())
            return interrupted();
        abandonCaptureOutput();
        return failWith(1, error);
    }

    progress.terminal = isatty(STDERR_FILENO);
    progress.total = range.end;
    progress.start = Clock::now();
    int status = 0;
    for (int64_t n = 0; n < range.end && status == 0 && !captureSignal(); ++n) {
        const uint8_t* picture = captureFrame(n, options.fps);
        if (!picture) {
            error = "interrupted";
            status = 130;
        } else if (n >= range.first && !writeCaptureFrame(n, picture, &error)) {
            status = 1;
        }
        if (status == 0)
            showProgress(n + 1, n + 1 == range.end);
    }
    closeCaptureShow();
    if (captureSignal())
        return interrupted();
    if (status == 1) // the writer failed: finishing reaps ffmpeg and says what it reported
        finishCaptureOutput(&error);
    if (status != 0) {
        abandonCaptureOutput();
        return captureSignal() ? interrupted() : failWith(status, error);
    }
    if (!finishCaptureOutput(&error))
        return captureSignal() ? interrupted() : failWith(1, error);
    return 0;
}
