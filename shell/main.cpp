// Entry point: the start-up question, start-up, the frame loop, shut-down.
#define SDL_MAIN_HANDLED
#include "render/gl_debug.h"
#include "shell/data_path.h"
#include "shell/demo_state.h"
#include "shell/exit_signals.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/message_boxes.h"
#include "shell/music_stream.h"
#include "shell/startup.h"
#include <SDL2/SDL.h>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>

namespace {
// Lives until the process ends; stopShow releases its render targets.
std::unique_ptr<DemoState> gDemoState;

// Start-up and the frame loop; 0 when the show ran (to its end, Escape or a signal), 1
// with the reason in error when it could not start.
int runShow(bool fullscreen, std::string& error) {
    gDemoState = std::make_unique<DemoState>();
    std::string music = resolveDataPath("data/tarnwhistle.ogg");
    std::string text = resolveDataPath("data/texture_text.png");
    if (!startShow(*gDemoState, fullscreen, music.c_str(), text.c_str(), &error))
        return 1;
    FrameLoop loop;
    while (runFramePass(*gDemoState, loop, musicTime)) {
    }
    return 0;
}
} // namespace

int main(int, char**) {
    SDL_SetMainReady();
    installExitSignals();
#ifdef GLIMWICK_GL_CHECKS
    enableGlChecks(); // every GL error of every context reported on stderr
#endif
    bool fullscreen = askFullscreen();
    holdExitSignals();
    registerWindowClass();
    resetMusicSlots();

    std::string error;
    int status = 1;
    // An exception escaping start-up or the loop takes the same way out as any other end:
    // one line, then the whole shut-down (display mode, sound, window).
    try {
        status = runShow(fullscreen, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unexpected failure";
    }
    if (status != 0)
        fprintf(stderr, "glimwick: %s\n", error.c_str());
    stopShow();
    // Where there is no console to read the line on, a message box says it too, once the
    // window is gone so that the box never stands beside a dead window.
    if (status != 0)
        showStartupFailure(error.c_str());
    SDL_Quit();
    return status;
}
