// The show's own start-up and frame loop, headless, on a clock that advances per frame.
#include "capture/capture_show.h"
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "shell/startup.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct {
    std::unique_ptr<DemoState> demo;
    FrameLoop loop;
    int32_t milliseconds = 0;      // music position of the frame being rendered
    std::vector<uint8_t> bottomUp; // as glReadPixels gives it
    std::vector<uint8_t> picture;  // top row first
    bool ended = false;
} state;

double syntheticClock() {
    return double(state.milliseconds) * double(0.001f);
}

// The finished picture of the window, read before the swap presents it.
void readPresentedPicture(DemoState&) {
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kCaptureWidth, kCaptureHeight, GL_RGB, GL_UNSIGNED_BYTE,
                 state.bottomUp.data());
    const size_t row = size_t(kCaptureWidth) * 3;
    for (int y = 0; y < kCaptureHeight; ++y)
        std::copy_n(&state.bottomUp[size_t(kCaptureHeight - 1 - y) * row], row,
                    &state.picture[size_t(y) * row]);
}

} // namespace

int32_t captureMilliseconds(int64_t frame, int fps) {
    return int32_t((frame * 2000 + fps) / (2 * int64_t(fps))); // halves round up
}

bool openCaptureShow(const char* textPath, std::string* error) {
    // The same picture on a desktop, under Xvfb and with no display at all.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    state.demo = std::make_unique<DemoState>();
    state.bottomUp.assign(size_t(kCaptureWidth) * kCaptureHeight * 3, 0);
    state.picture.assign(state.bottomUp.size(), 0);
    state.loop = FrameLoop{};
    state.loop.beforeSwap = readPresentedPicture;
    state.ended = false;
    if (startShow(*state.demo, false, nullptr, textPath, error))
        return true;
    closeCaptureShow();
    return false;
}

const uint8_t* captureFrame(int64_t frame, int fps) {
    if (state.ended || !state.demo)
        return nullptr;
    state.milliseconds = captureMilliseconds(frame, fps);
    state.ended = !runFramePass(*state.demo, state.loop, syntheticClock);
    return state.ended ? nullptr : state.picture.data();
}

void closeCaptureShow() {
    stopShow();
    SDL_Quit();
}
