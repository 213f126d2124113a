// Entry point: the start-up question, start-up, the frame loop, shut-down.
#define SDL_MAIN_HANDLED
#include "shell/data_path.h"
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/music_stream.h"
#include "shell/startup.h"
#include <SDL2/SDL.h>
#include <cstdio>
#include <memory>
#include <string>

namespace {
// Lives until the process ends; stopShow releases its render targets.
std::unique_ptr<DemoState> gDemoState;
} // namespace

int main(int, char**) {
    SDL_SetMainReady();
    bool fullscreen = askFullscreen();
    registerWindowClass();
    resetMusicSlots();

    gDemoState = std::make_unique<DemoState>();
    std::string music = resolveDataPath("data/tarnwhistle.ogg");
    std::string text = resolveDataPath("data/texture_text.png");
    std::string error;
    int status = 0;
    if (startShow(*gDemoState, fullscreen, music.c_str(), text.c_str(), &error)) {
        FrameLoop loop;
        while (runFramePass(*gDemoState, loop, musicTime)) {
        }
    } else {
        fprintf(stderr, "glimwick: %s\n", error.c_str());
        status = 1;
    }
    stopShow();
    SDL_Quit();
    return status;
}
