// Entry point of the web build: the page answers the question and fetches the data files,
// then calls main; the browser drives the frames through emscripten's main loop.
//   main()                      the show, on the music clock
//   main("--frames", "N,M,...") the frame test (only the tests' page asks for it)
#include "shell/driver.h"
#include "shell/web_page.h"
#include <cstdlib>
#include <emscripten.h>
#include <emscripten/eventloop.h>
#include <string>

namespace {

// How often the music is checked for the show's end, which it reaches whether or not the
// page draws frames (a hidden tab draws none). A hidden page's timers may fire only once
// a second: still within the 1.5 s the music plays past the end before it loops.
constexpr double kEndWatchMs = 250;

struct {
    long endWatch = 0;     // emscripten interval id
    bool frameLog = false; // the page keeps window.glimwickFrameLog (the tests' copy)
} state;

// One entry of the page's frame log: when the step began (it reads the music clock first),
// when it had issued its drawing, both in the page's wall-clock ms, and the music time (s)
// the frame was drawn for. The page bounds the log.
EM_JS(void, logFrame, (double readMs, double music), {
    const log = window.glimwickFrameLog;
    log.push(
        [ performance.timeOrigin + readMs, performance.timeOrigin + performance.now(), music ]);
    if (log.length > log.limit)
        log.splice(0, log.length - log.limit);
});

void showFrame() {
    double read = state.frameLog ? emscripten_get_now() : 0;
    bool more = stepDriver();
    if (state.frameLog)
        logFrame(read, driverFrameMusicTime());
    if (!more)
        endInPage(driverReachedEnd() ? "the end" : "escape");
}

void watchEnd(void*) {
    if (runningInPage() && driverMusicPassedEnd())
        endInPage("the end");
    if (!runningInPage())
        emscripten_clear_interval(state.endWatch);
}

} // namespace

int main(int argc, char** argv) {
    // The page is the display: nothing to probe, and no X11 to look for.
    setenv("SDL_VIDEODRIVER", "emscripten", 1);
    if (argc == 3 && std::string(argv[1]) == "--frames")
        return runFrameTest(argv[2]);
    // The page's buttons answered the question: the window is the canvas either way, and
    // the page makes it fullscreen itself.
    state.frameLog = EM_ASM_INT({ return window.glimwickFrameLog ? 1 : 0; });
    if (!runInPage(DriverSetup{}, showFrame))
        return 1;
    state.endWatch = emscripten_set_interval(watchEnd, kEndWatchMs, nullptr);
    return 0;
}
