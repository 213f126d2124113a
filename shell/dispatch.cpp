// The frame dispatch: sits above the scenes, so the per-run record need not know them.
#include "shell/dispatch.h"
#include "scenes/end_part.h"
#include "scenes/main_part.h"
#include "shell/demo_state.h"

namespace {

// The previous frame's schedule result; -1 so that the first frame sees every change.
struct {
    int32_t scene = -1, part = -1, variant = -1;
} previous;

} // namespace

void updateChangeFlags(DemoState& state) {
    state.sceneChanged = state.scene != previous.scene;
    state.partChanged = state.part != previous.part;
    state.variantChanged = state.variant != previous.variant;
    previous.scene = state.scene;
    previous.part = state.part;
    previous.variant = state.variant;
}

void resetChangeFlags() {
    previous = {};
}

void renderFrame(DemoState& state) {
    updateChangeFlags(state);
    if (state.part == 0)
        renderMainPart(state);
    else if (state.part == 3)
        renderEndPart(state);
    ++state.frame;
}
