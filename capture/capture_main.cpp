// glimwick-capture: renders the show offscreen, frame-exact, to PNG frames or a video.
#define SDL_MAIN_HANDLED
#include "capture/capture_options.h"
#include "capture/capture_output.h"
#include "capture/capture_progress.h"
#include "capture/capture_signals.h"
#include "shell/driver.h"
#include <SDL2/SDL.h>
#include <cstdio>
#include <string>

namespace {

int failWith(int status, const std::string& message) {
    endCaptureProgressLine();
    fprintf(stderr, "glimwick-capture: %s\n", message.c_str());
    return status;
}

// Ended by a signal: nothing of the output is left, and the process dies by that signal.
[[noreturn]] int interrupted() {
    abandonCaptureOutput();
    failWith(128 + captureSignal(), "interrupted");
    fflush(stderr);
    endByCaptureSignal();
}

// Every frame from 0 (the show's state builds up frame by frame), those in range written;
// 0, 130 when the loop ended early (a quit request), or 1 with the writer's reason.
int captureFrames(const CaptureOptions& options, const FrameRange& range, std::string* error) {
    startCaptureProgress(range.end);
    for (int64_t n = 0; n < range.end && !captureSignal(); ++n) {
        if (!stepDriverAt(n, options.fps, n >= range.first))
            return *error = "interrupted", 130;
        if (n >= range.first && !writeCaptureFrame(n, driverPicture(), error))
            return 1;
        showCaptureProgress(n + 1, n + 1 == range.end);
    }
    return 0;
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
    if (!openCaptureOutput(options, range, driverMusicPath(), &error))
        return captureSignal() ? interrupted() : failWith(kCaptureUsageStatus, error);
    if (captureSignal())
        return interrupted();
    DriverSetup setup;
    setup.music = false;
    setup.offscreen = setup.readBack = true;
    bool started = startDriver(setup, &error);
    int status = started ? captureFrames(options, range, &error) : 1;
    stopDriver();
    SDL_Quit();
    if (captureSignal())
        return interrupted();
    // The writer failed: finishing reaps ffmpeg and says what it reported.
    if (started && status == 1)
        finishCaptureOutput(&error);
    if (status != 0) {
        abandonCaptureOutput();
        return captureSignal() ? interrupted() : failWith(status, error);
    }
    if (!finishCaptureOutput(&error))
        return captureSignal() ? interrupted() : failWith(1, error);
    return 0;
}
