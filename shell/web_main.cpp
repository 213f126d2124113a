// Entry point of the web build: the page answers the question and fetches the data files,
// then calls main; the browser drives the frames through emscripten's main loop.
//   main()                      the show, on the music clock
//   main("--frames", "N,M,...") test mode (a test build's page only): frames 0 to the
//                               largest N on the fixed-rate clock, the listed ones handed
//                               to the page
#include "shell/demo_state.h"
#include "shell/driver.h"
#include "shell/frame_list.h"
#include <cstdlib>
#include <emscripten.h>
#include <emscripten/eventloop.h>
#include <string>
#include <vector>

namespace {

constexpr int kFramesFps = 60;
// Test mode renders frames back to back for this long per browser frame, so the page
// stays responsive while it works through thousands of them.
constexpr double kTestSliceMs = 50;
// How often the music is checked for the show's end while the page draws no frames (a
// hidden tab); a hidden page's timers may fire only once a second, well within the 1.5 s
// the music plays past the end before it loops.
constexpr double kEndWatchMs = 250;

struct {
    bool running = false;        // the main loop runs; endShow stops it once
    long endWatch = 0;           // the interval watching the music for the end; 0 when none
    std::vector<int64_t> wanted; // test mode: frames handed to the page, ascending
    size_t nextWanted = 0;
    int64_t nextFrame = 0;
} state;

// The page learns of the end and of failures through functions it put on Module.
void tellPage(const char* what, const char* line) {
    EM_ASM({ Module[UTF8ToString($0)](UTF8ToString($1)); }, what, line);
}

void endShow(const char* why) {
    if (!state.running)
        return;
    state.running = false;
    if (state.endWatch)
        emscripten_clear_interval(state.endWatch);
    emscripten_cancel_main_loop();
    stopDriver();
    tellPage("glimwickEnded", why);
}

void showFrame() {
    if (!stepDriver())
        endShow(driverReachedEnd() ? "the end" : "escape");
}

void watchEnd(void*) {
    if (driverMusicPassedEnd())
        endShow("the end");
}

void testFrames() {
    double start = emscripten_get_now();
    while (state.nextWanted < state.wanted.size() && emscripten_get_now() - start < kTestSliceMs) {
        if (!stepDriverAt(state.nextFrame, kFramesFps))
            return endShow("the frame loop ended early");
        if (state.nextFrame++ == state.wanted[state.nextWanted]) {
            EM_ASM({ Module.glimwickFrame($0, HEAPU8.slice($1, $1 + $2)); },
                   int(state.wanted[state.nextWanted++]), driverPicture(),
                   kPictureSize.width * kPictureSize.height * 3);
        }
    }
    if (state.nextWanted == state.wanted.size())
        endShow("frames done");
}

} // namespace

int main(int argc, char** argv) {
    // The page is the display: nothing to probe, and no X11 to look for.
    setenv("SDL_VIDEODRIVER", "emscripten", 1);
    bool testMode = argc == 3 && std::string(argv[1]) == "--frames";
    std::string error;
    if (testMode && !parseFrameList(argv[2], kFramesFps, state.wanted, &error)) {
        tellPage("glimwickFailed", ("glimwick: " + error).c_str());
        return 1;
    }
    // The page's buttons answered the question: the window is the canvas either way, and
    // the page makes it fullscreen itself.
    DriverSetup setup;
    setup.music = !testMode; // test mode: silent, on the fixed-rate clock, read back
    setup.readBack = testMode;
    if (!startDriver(setup, &error)) {
        stopDriver();
        tellPage("glimwickFailed", ("glimwick: " + error).c_str());
        return 1;
    }
    state.running = true;
    if (!testMode)
        state.endWatch = emscripten_set_interval(watchEnd, kEndWatchMs, nullptr);
    emscripten_set_main_loop(testMode ? testFrames : showFrame, 0, 0);
    return 0;
}

// The page ends the show when the viewer leaves fullscreen with Escape (the browser keeps
// that key to itself then) or closes the show.
extern "C" EMSCRIPTEN_KEEPALIVE void glimwickRequestEnd();
void glimwickRequestEnd() {
    endShow("escape");
}
