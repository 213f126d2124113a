// The page's frame test: frames 0 to the largest listed rendered silently on the fixed-rate
// clock, the listed ones handed to the page as RGB rows, top row first.
#include "shell/demo_state.h"
#include "shell/driver.h"
#include "shell/frame_list.h"
#include "shell/web_page.h"
#include <emscripten.h>
#include <vector>

namespace {

constexpr int kFps = 60;
// Frames are rendered back to back for this long per browser frame, so the page stays
// responsive while it works through thousands of them.
constexpr double kSliceMs = 50;

struct {
    std::vector<int64_t> wanted; // ascending
    size_t nextWanted = 0;
    int64_t nextFrame = 0;
} state;

void renderSlice() {
    double start = emscripten_get_now();
    while (state.nextWanted < state.wanted.size() && emscripten_get_now() - start < kSliceMs) {
        bool wanted = state.nextFrame == state.wanted[state.nextWanted];
        if (!stepDriverAt(state.nextFrame++, kFps, wanted))
            return endInPage("the frame loop ended early");
        if (wanted)
            EM_ASM({ Module.glimwickFrame($0, HEAPU8.slice($1, $1 + $2)); },
                   int(state.wanted[state.nextWanted++]), driverPicture(),
                   kPictureSize.width * kPictureSize.height * 3);
    }
    if (state.nextWanted == state.wanted.size())
        endInPage("frames done");
}

} // namespace

int runFrameTest(const char* list) {
    std::string error;
    if (!parseFrameList(list, kFps, state.wanted, &error)) {
        failInPage("glimwick: " + error);
        return 1;
    }
    DriverSetup setup;
    setup.music = false;
    setup.readBack = true;
    return runInPage(setup, renderSlice) ? 0 : 1;
}
