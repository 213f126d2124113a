// The music's keeper in a browser: the page's one thread runs its steps from a 20 ms
// timer between frames (a step there never waits: Web Audio calls return at once).
#include "shell/music/music_keeper.h"
#include <emscripten/eventloop.h>

namespace {

const double kKeeperPeriodMs = 20;

struct {
    long timer = 0; // emscripten interval id; 0 when none runs
    void (*step)() = nullptr;
} keeper;

void onTimer(void*) {
    keeper.step();
}

} // namespace

void startKeeper(void (*step)()) {
    stopKeeper();
    keeper.step = step;
    keeper.timer = emscripten_set_interval(onTimer, kKeeperPeriodMs, nullptr);
}

void stopKeeper() {
    if (keeper.timer)
        emscripten_clear_interval(keeper.timer);
    keeper.timer = 0;
}
