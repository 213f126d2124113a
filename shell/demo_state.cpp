// The per-run record: its render targets and text texture, and the target helpers.
#include "shell/demo_state.h"
#include <GL/glew.h>

namespace {

RenderTarget* targetNumber(DemoState& state, int which) {
    switch (which) {
    case 1:
        return &state.target1;
    case 2:
        return &state.target2;
    case 3:
        return &state.target3;
    default:
        return nullptr;
    }
}

bool createTarget(RenderTarget& target, int width, int height, std::string* error) {
    std::string why;
    if (target.create(width, height, &why))
        return true;
    if (error)
        *error = "render targets: cannot create a " + std::to_string(width) + " x " +
                 std::to_string(height) + " target: " + why;
    return false;
}

} // namespace

bool setupDemoResources(DemoState& state, const char* textPath, std::string* error) {
    state.frame = 0;
    state.time = 0;
    state.part = 0;
    state.variant = 0;
    state.scene = 0;
    if (!createTarget(state.target1, 256, 128, error) ||
        !createTarget(state.target2, 512, 256, error) ||
        !createTarget(state.target3, 1024, 512, error))
        return false;
    std::string why;
    state.textTexture = loadTexture(textPath, &why);
    if (!state.textTexture && error)
        *error = std::string(textPath) + ": " + why;
    return state.textTexture != nullptr;
}

void releaseDemoResources(DemoState* state) {
    if (!state)
        return;
    state->textTexture.reset();
    state->target1.destroy();
    state->target2.destroy();
    state->target3.destroy();
}

void beginTarget(DemoState& state, int which, int buffer) {
    if (RenderTarget* target = targetNumber(state, which))
        target->beginRender(buffer == kFrontLeftBuffer ? GL_FRONT_LEFT : GL_BACK_LEFT);
}

void endTarget(DemoState& state, int which, int /*buffer*/) {
    if (RenderTarget* target = targetNumber(state, which))
        target->endRender();
}

void bindTargetTexture(DemoState& state, int which, int buffer) {
    if (RenderTarget* target = targetNumber(state, which))
        target->bindTexture(buffer == kFrontLeftBuffer ? kTargetFrontLeft : kTargetBackLeft);
}

void releaseTargetTexture(DemoState& state, int which, int /*buffer*/) {
    if (RenderTarget* target = targetNumber(state, which))
        target->releaseTexture();
}
