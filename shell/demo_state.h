// The per-run record handed to every renderer and layer, its resources and target helpers.
#pragma once
#include "render/render_target.h"
#include "render/texture.h"
#include <cstdint>
#include <memory>
#include <string>

// The picture the show is composed for, in pixels: the window's client area, the
// renderers' screen-space projection and the text placement all use it.
struct PictureSize {
    int width, height;
};
constexpr PictureSize kPictureSize = {1024, 768};

// Colour-buffer selectors of the target helpers. Any value other than kFrontLeftBuffer
// selects the back-left buffer; the show always passes kBackLeftBuffer.
constexpr int kFrontLeftBuffer = 4;
constexpr int kBackLeftBuffer = 5;

struct DemoState {
    int32_t scene = 0;
    bool sceneChanged = false;
    int32_t part = 0; // 0 main part, 3 end part
    bool partChanged = false;
    int32_t variant = 0;
    bool variantChanged = false;
    float time = 0;       // music time of the frame, seconds
    int32_t frame = 0;    // frames rendered so far
    int32_t ticks = 0;    // whole 1/60 s steps of music time
    float mojo = 0;       // animation clock, 17.4 per second of music
    RenderTarget target1; // 256 x 128: reduced copy of the last picture
    RenderTarget target2; // 512 x 256: unused by the scenes
    RenderTarget target3; // 1024 x 512: the main part's picture
    // Made by setupDemoResources, deleted (with its GL name) by releaseDemoResources.
    std::unique_ptr<Texture> textTexture;
};

// Creates the three targets and loads the text texture from textPath. False (with the
// reason in *error) at the first failure; what was created stays for releaseDemoResources.
bool setupDemoResources(DemoState& state, const char* textPath, std::string* error = nullptr);
// Deletes the text texture, then destroys the render targets; nothing when given null.
// Called with a context current that shares the texture (the window's, at shut-down).
void releaseDemoResources(DemoState* state);

// Target helpers: which is 1 to 3 (anything else: nothing at all); buffer is
// kFrontLeftBuffer or (any other value) the back-left colour buffer.
void beginTarget(DemoState& state, int which, int buffer);
void endTarget(DemoState& state, int which, int buffer);
void bindTargetTexture(DemoState& state, int which, int buffer);
void releaseTargetTexture(DemoState& state, int which, int buffer);
