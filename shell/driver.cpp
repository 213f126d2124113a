// Start, step and stop over the show's start-up and frame loop, with the optional read-back.
#include "shell/driver.h"
#include "shell/data_path.h"
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/music_stream.h"
#include "shell/schedule.h"
#include "shell/startup.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct {
    // Lives until the process ends; stopShow releases its render targets.
    std::unique_ptr<DemoState> demo;
    FrameLoop loop;
    bool ended = false;
    double seconds = 0;            // fixed-rate clock: music position of the frame being drawn
    bool keep = false;             // read this frame's picture back (a frame or so per second)
    double lastReading = 0;        // music clock at the previous driverMusicPassedEnd
    std::vector<uint8_t> bottomUp; // RGBA, bottom row first, as glReadPixels gives it
    std::vector<uint8_t> picture;  // RGB, top row first
} state;

double fixedRateClock() {
    return state.seconds;
}

// The finished picture of the window, read before the swap presents it (from the back
// buffer, the default framebuffer's read buffer). RGBA is the one format every GL and
// WebGL reads; the alpha is dropped and the rows turned top first.
void readPresentedPicture(DemoState&) {
    if (!state.keep)
        return;
    const int width = kPictureSize.width, height = kPictureSize.height;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, state.bottomUp.data());
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = &state.bottomUp[size_t(height - 1 - y) * width * 4];
        uint8_t* to = &state.picture[size_t(y) * width * 3];
        for (int x = 0; x < width; ++x)
            std::copy_n(from + x * 4, 3, to + x * 3);
    }
}

bool step(MusicClock clock) {
    if (state.ended || !state.demo)
        return false;
    state.ended = !runFramePass(*state.demo, state.loop, clock);
    return !state.ended;
}

} // namespace

// GLIMWICK_MUSIC_FILE and GLIMWICK_TEXT_FILE: the data files as the build names them, once
// for the programs and the page alike.
std::string driverMusicPath() {
    return resolveDataPath(GLIMWICK_MUSIC_FILE);
}

bool startDriver(const DriverSetup& setup, std::string* error) {
    if (setup.offscreen)
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1); // setenv is not on every system
    registerWindowClass();
    resetMusicSlots();
    state.demo = std::make_unique<DemoState>();
    state.loop = FrameLoop{};
    state.ended = false;
    state.lastReading = 0;
    if (setup.readBack) {
        const size_t pixels = size_t(kPictureSize.width) * kPictureSize.height;
        state.bottomUp.assign(pixels * 4, 0);
        state.picture.assign(pixels * 3, 0);
        state.loop.beforeSwap = readPresentedPicture;
    }
    std::string music = driverMusicPath();
    std::string text = setup.textPath ? setup.textPath : resolveDataPath(GLIMWICK_TEXT_FILE);
    return startShow(*state.demo, setup.fullscreen, setup.music ? music.c_str() : nullptr,
                     text.c_str(), error);
}

bool stepDriver() {
    state.keep = false;
    return step(musicTime);
}

bool stepDriverAt(int64_t frame, int fps, bool keep) {
    state.seconds = fixedRateSeconds(frame, fps);
    state.keep = keep;
    return step(fixedRateClock);
}

bool driverMusicPassedEnd() {
    double now = musicTime();
    bool passed = musicPassedEnd(state.lastReading, now);
    state.lastReading = now;
    return passed;
}

double driverFrameMusicTime() {
    return state.loop.clock.previousTime;
}

bool driverReachedEnd() {
    return state.loop.runFinished;
}

const uint8_t* driverPicture() {
    return state.picture.empty() ? nullptr : state.picture.data();
}

void stopDriver() {
    stopShow();
}
