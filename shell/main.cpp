// Entry point: the start-up question, start-up, the frame loop, shut-down.
#define SDL_MAIN_HANDLED
#include "render/gl_debug.h"
#include "shell/driver.h"
#include "shell/exit_signals.h"
#include "shell/message_boxes.h"
#include <SDL2/SDL.h>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

int main(int, char**) {
    SDL_SetMainReady();
    installExitSignals();
#ifdef GLIMWICK_GL_CHECKS
    enableGlChecks(); // every GL error of every context reported on stderr
#endif
    DriverSetup setup;
    setup.fullscreen = askFullscreen();
    holdExitSignals();

    std::string error;
    int status = 1;
    // An exception escaping start-up or the loop takes the same way out as any other end:
    // one line, then the whole shut-down (display mode, sound, window).
    try {
        if (startDriver(setup, &error)) {
            while (stepDriver()) {
            }
            status = 0; // the show ran: to its end, Escape or a signal
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unexpected failure";
    }
    if (status != 0)
        fprintf(stderr, "glimwick: %s\n", error.c_str());
    stopDriver();
    // Where there is no console to read the line on, a message box says it too, once the
    // window is gone so that the box never stands beside a dead window.
    if (status != 0)
        showStartupFailure(error.c_str());
    SDL_Quit();
    return status;
}
