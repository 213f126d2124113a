// Progress of a capture: frames done, the rate and the time left, on stderr.
#include "capture/capture_progress.h"
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

} // namespace

void startCaptureProgress(int64_t total) {
    progress.terminal = isatty(STDERR_FILENO);
    progress.total = total;
    progress.start = Clock::now();
}

// In place on a terminal (a few times a second), otherwise one line per tenth of the work.
void showCaptureProgress(int64_t done, bool last) {
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

void endCaptureProgressLine() {
    if (progress.terminal && progress.lastShown != Clock::time_point())
        fputc('\n', stderr);
}
