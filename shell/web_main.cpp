// Entry point of the web build: the page answers the question and fetches the data files,
// then calls main; the browser drives the frames through emscripten's main loop.
//   main()                      the show, on the music clock
//   main("--frames", "N,M,...") test mode: frames 0 to the largest N rendered on the
//                               capture clock, the listed ones handed to the page
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/music_stream.h"
#include "shell/startup.h"
#include <GL/gl.h>
#include <cstdlib>
#include <emscripten.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kMusicPath = "data/tarnwhistle.ogg";
const char* const kTextPath = "data/texture_text.png";
constexpr int kCaptureFps = 60;
// Test mode renders frames back to back for this long per browser frame, so the page
// stays responsive while it works through thousands of them.
constexpr double kTestSliceMs = 50;

struct {
    std::unique_ptr<DemoState> demo;
    FrameLoop loop;
    bool running = false; // the main loop runs; endShow stops it once
    // Test mode only.
    std::set<int64_t> wanted;    // frames handed to the page
    int64_t nextFrame = 0;       // frame rendered by the next pass
    int64_t lastFrame = -1;      // the largest wanted frame
    int32_t milliseconds = 0;    // synthetic music position of the frame being rendered
    std::vector<uint8_t> pixels; // RGBA rows, bottom row first, as glReadPixels gives them
} state;

// The page learns of the end and of failures through functions it put on Module.
void tellPage(const char* what, const char* line) {
    EM_ASM({ Module[UTF8ToString($0)](UTF8ToString($1)); }, what, line);
}

void endShow(const char* why) {
    if (!state.running)
        return;
    state.running = false;
    emscripten_cancel_main_loop();
    stopShow();
    tellPage("glimwickEnded", why);
}

void showFrame() {
    if (!runFramePass(*state.demo, state.loop, musicTime))
        endShow(state.loop.runFinished ? "the end" : "escape");
}

// As the capture program: frame n of a 60 Hz capture at round(n x 1000 / 60) ms.
double captureClock() {
    return double(state.milliseconds) * double(0.001f);
}

void readWantedFrame(DemoState&) {
    if (!state.wanted.count(state.nextFrame))
        return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kPictureSize.width, kPictureSize.height, GL_RGBA, GL_UNSIGNED_BYTE,
                 state.pixels.data());
    EM_ASM({ Module.glimwickFrame($0, HEAPU8.slice($1, $1 + $2)); }, int(state.nextFrame),
           state.pixels.data(), int(state.pixels.size()));
}

void testFrames() {
    double start = emscripten_get_now();
    while (state.nextFrame <= state.lastFrame && emscripten_get_now() - start < kTestSliceMs) {
        state.milliseconds = int32_t((state.nextFrame * 2000 + kCaptureFps) / (2 * kCaptureFps));
        if (!runFramePass(*state.demo, state.loop, captureClock)) {
            endShow("the frame loop ended early");
            return;
        }
        ++state.nextFrame;
    }
    if (state.nextFrame > state.lastFrame)
        endShow("frames done");
}

bool parseFrames(const char* list) {
    std::string text(list);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(',', at);
        if (end == std::string::npos)
            end = text.size();
        char* stop = nullptr;
        long long frame = strtoll(text.c_str() + at, &stop, 10);
        if (stop != text.c_str() + end || frame < 0)
            return false;
        state.wanted.insert(frame);
        state.lastFrame = std::max<int64_t>(state.lastFrame, frame);
        at = end + 1;
    }
    return !state.wanted.empty();
}

} // namespace

int main(int argc, char** argv) {
    // The page is the display: nothing to probe, and no X11 to look for.
    setenv("SDL_VIDEODRIVER", "emscripten", 1);
    bool testMode = argc == 3 && std::string(argv[1]) == "--frames";
    if (testMode && !parseFrames(argv[2])) {
        tellPage("glimwickFailed", "glimwick: --frames takes frame numbers separated by commas");
        return 1;
    }
    registerWindowClass();
    resetMusicSlots();
    state.demo = std::make_unique<DemoState>();
    state.loop = FrameLoop{};
    std::string error;
    // The page's buttons answered the question: the window is the canvas either way, and
    // the page makes it fullscreen itself.
    if (!startShow(*state.demo, false, testMode ? nullptr : kMusicPath, kTextPath, &error)) {
        stopShow();
        tellPage("glimwickFailed", ("glimwick: " + error).c_str());
        return 1;
    }
    state.running = true;
    if (testMode) {
        state.pixels.assign(size_t(kPictureSize.width) * kPictureSize.height * 4, 0);
        state.loop.beforeSwap = readWantedFrame;
        emscripten_set_main_loop(testFrames, 0, 0);
    } else {
        emscripten_set_main_loop(showFrame, 0, 0);
    }
    return 0;
}

// The page ends the show when the viewer leaves fullscreen with Escape (the browser keeps
// that key to itself then) or closes the show.
extern "C" EMSCRIPTEN_KEEPALIVE void glimwickRequestEnd();
void glimwickRequestEnd() {
    endShow("escape");
}
