// Offscreen render target: its own GL context (sharing texture names with the window's)
// drawing into one of two colour textures that other contexts sample without a copy.
#pragma once
#include <cstdint>
#include <string>

// The SDL and GL handle types as their own headers declare them, so that users of this
// header need neither.
struct SDL_Window;
typedef void* SDL_GLContext;
typedef struct __GLsync* GLsync;

// Colour buffer names for bindTexture (beginRender takes GL_FRONT_LEFT / GL_BACK_LEFT).
constexpr int kTargetFrontLeft = 0x2083;
constexpr int kTargetBackLeft = 0x2085;

struct RenderTarget {
    int32_t width = 0;                    // pixels
    int32_t height = 0;                   // pixels
    uint32_t colourTextures[2] = {0, 0};  // [0] front-left, [1] back-left; shared names
    uint32_t depthBuffer = 0;             // renderbuffer shared by both colour buffers
    uint32_t framebuffers[2] = {0, 0};    // per colour buffer; names of the target's context
    uint32_t drawBuffer = 0;              // GL enum selected by the last beginRender
    int32_t boundBuffer = 0;              // buffer bound by bindTexture; 0 when none
    uint32_t windowId = 0;                // SDL id of the window the context is made current with
    SDL_Window* window = nullptr;         // the window current at create
    SDL_GLContext context = nullptr;      // the target's own context
    SDL_Window* savedWindow = nullptr;    // window current before create/beginRender
    SDL_GLContext savedContext = nullptr; // context current before create/beginRender
    GLsync fence = nullptr;               // set by the last endRender; null without syncs
    GLsync sampledFence = nullptr;        // set by the last releaseTexture; null without syncs

    RenderTarget() = default;
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;
    ~RenderTarget() { destroy(); }

    // Needs the window's context current; leaves it current again. False (the reason, when
    // *error is given) on failure; what was made so far stays recorded for destroy.
    bool create(int width, int height, std::string* error = nullptr);
    // Safe on a zeroed or half-created record, twice in a row, and after the window is gone.
    void destroy();
    // Makes the target's context current and draws into GL_FRONT_LEFT or (any other value)
    // GL_BACK_LEFT, once the sampling that the last releaseTexture closed has finished.
    void beginRender(uint32_t drawBuffer);
    // Flushes and makes the context current before beginRender current again.
    void endRender();
    // Binds kTargetFrontLeft or (any other value) kTargetBackLeft in the current context,
    // texturing on, once the drawing that the last endRender closed has finished.
    void bindTexture(int buffer);
    // Unbinds GL_TEXTURE_2D and turns texturing off; fences the sampling so far, which the
    // next beginRender waits for.
    void releaseTexture();
};
