// The browser's main loop over the driver, and word to the page through functions it put
// on Module.
#include "shell/web_page.h"
#include "shell/driver.h"
#include <emscripten.h>

namespace {

struct {
    bool running = false; // the main loop runs; endInPage stops it once
} state;

void tellPage(const char* what, const char* line) {
    EM_ASM({ Module[UTF8ToString($0)](UTF8ToString($1)); }, what, line);
}

} // namespace

bool runInPage(const DriverSetup& setup, void (*frame)()) {
    std::string error;
    if (!startDriver(setup, &error)) {
        stopDriver();
        failInPage("glimwick: " + error);
        return false;
    }
    state.running = true;
    emscripten_set_main_loop(frame, 0, 0);
    return true;
}

bool runningInPage() {
    return state.running;
}

void endInPage(const char* why) {
    if (!state.running)
        return;
    state.running = false;
    emscripten_cancel_main_loop();
    stopDriver();
    tellPage("glimwickEnded", why);
}

void failInPage(const std::string& line) {
    tellPage("glimwickFailed", line.c_str());
}

// The page ends the show when the viewer leaves fullscreen with Escape (the browser keeps
// that key to itself then) or closes the show.
extern "C" EMSCRIPTEN_KEEPALIVE void glimwickRequestEnd();
void glimwickRequestEnd() {
    endInPage("escape");
}
