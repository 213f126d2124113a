// Render targets for the web: a page has one WebGL context, so each target is a pair of
// framebuffer objects in it, and the GL state a target's own context would keep (matrices,
// viewport, enables, blending, depth writes) is swapped in and out around its rendering.
#include "render/render_target.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <algorithm>

namespace {

// Capabilities the show's drawing turns on and off, as the emulated fixed-function path
// keeps them (GL_TEXTURE_2D follows the texture coordinates sent there, so it is left
// out; GL_COLOR_MATERIAL and the smoothing flags mean nothing to WebGL).
const GLenum kCapabilities[] = {GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_LIGHTING, GL_LIGHT0};
constexpr int kCapabilityCount = int(sizeof kCapabilities / sizeof kCapabilities[0]);

// What would be a context's own: the state one rendering leaves for the next.
struct ContextState {
    float projection[16];
    float modelview[16];
    GLint viewport[4];
    bool enabled[kCapabilityCount];
    GLint blendSource, blendDestination, blendEquation;
    GLboolean depthMask;
    GLint cullFace;
    float clearColour[4];
    GLint framebuffer;
};

// One record per live target: its own state and the state its beginRender put aside.
struct TargetStates {
    const RenderTarget* target = nullptr;
    ContextState own{};
    ContextState saved{};
};

struct {
    TargetStates targets[8];
} state;

TargetStates* statesOf(const RenderTarget* target) {
    for (TargetStates& s : state.targets)
        if (s.target == target)
            return &s;
    return nullptr;
}

void identity(float* m) {
    std::fill(m, m + 16, 0.0f);
    m[0] = m[5] = m[10] = m[15] = 1;
}

// The state a fresh context of width x height gets at creation: orthographic (-1..1)
// projection, identity modelview, the whole target as viewport, GL defaults otherwise.
ContextState freshState(int width, int height, GLint framebuffer) {
    ContextState s{};
    identity(s.projection);
    s.projection[10] = -1; // glOrtho(-1, 1, -1, 1, -1, 1)
    identity(s.modelview);
    s.viewport[2] = width;
    s.viewport[3] = height;
    s.blendSource = GL_ONE;
    s.blendDestination = GL_ZERO;
    s.blendEquation = GL_FUNC_ADD;
    s.depthMask = GL_TRUE;
    s.cullFace = GL_BACK;
    s.framebuffer = framebuffer;
    return s;
}

ContextState captureState() {
    ContextState s{};
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    for (int i = 0; i < kCapabilityCount; ++i)
        s.enabled[i] = glIsEnabled(kCapabilities[i]);
    glGetIntegerv(GL_BLEND_SRC_RGB, &s.blendSource);
    glGetIntegerv(GL_BLEND_DST_RGB, &s.blendDestination);
    glGetIntegerv(GL_BLEND_EQUATION, &s.blendEquation);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
    glGetIntegerv(GL_CULL_FACE_MODE, &s.cullFace);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColour);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &s.framebuffer);
    return s;
}

void applyState(const ContextState& s) {
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(s.framebuffer));
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(s.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(s.modelview);
    glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    for (int i = 0; i < kCapabilityCount; ++i)
        (s.enabled[i] ? glEnable : glDisable)(kCapabilities[i]);
    glBlendFunc(GLenum(s.blendSource), GLenum(s.blendDestination));
    glBlendEquation(GLenum(s.blendEquation));
    glDepthMask(s.depthMask);
    glCullFace(GLenum(s.cullFace));
    glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
}

int bufferIndex(bool front) {
    return front ? 0 : 1;
}

bool fail(std::string* error, const char* why) {
    if (error)
        *error = why;
    return false;
}

} // namespace

bool RenderTarget::create(int requestedWidth, int requestedHeight, std::string* error) {
    width = requestedWidth;
    height = requestedHeight;
    window = SDL_GL_GetCurrentWindow();
    context = SDL_GL_GetCurrentContext(); // the page's one context, not a target's own
    if (!window || !context)
        return fail(error, "no GL context is current");
    if (width <= 0 || height <= 0)
        return fail(error, "the size must be positive");
    TargetStates* slot = statesOf(nullptr);
    if (!slot)
        return fail(error, "too many render targets");
    windowId = SDL_GetWindowID(window);

    GLint outer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &outer);
    glGenTextures(2, colourTextures);
    for (uint32_t name : colourTextures) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        // WebGL 1 takes the unsized format only: RGBA, 8 bits a channel.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenRenderbuffers(1, &depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    // WebGL 1's only renderbuffer depth beyond 16 bits comes with stencil (24 + 8 in
    // practice); 16 bits are too coarse for the cameras' 0.01 to 1000 depth range.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_STENCIL, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    // Both colour buffers transparent black and the depth at 1.0, with the caller's clear
    // values put back afterwards.
    float clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    GLboolean depthMask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGenFramebuffers(2, framebuffers);
    bool complete = true;
    for (int i = 0; i < 2; ++i) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[i]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               colourTextures[i], 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  depthBuffer);
        complete = complete && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glClearColor(0, 0, 0, 0);
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(outer));
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    glDepthMask(depthMask);
    if (!complete)
        return fail(error, "the browser refuses an RGBA framebuffer of this size");

    slot->target = this;
    slot->own = freshState(width, height, GLint(framebuffers[1]));
    drawBuffer = GL_BACK;
    return true;
}

void RenderTarget::destroy() {
    if (TargetStates* slot = statesOf(this))
        *slot = TargetStates{};
    // The names live in the page's context; with it gone they are gone too.
    if (context && SDL_GL_GetCurrentContext() == context) {
        if (framebuffers[0] || framebuffers[1])
            glDeleteFramebuffers(2, framebuffers);
        if (depthBuffer)
            glDeleteRenderbuffers(1, &depthBuffer);
        if (colourTextures[0] || colourTextures[1])
            glDeleteTextures(2, colourTextures);
    }
    colourTextures[0] = colourTextures[1] = 0;
    framebuffers[0] = framebuffers[1] = 0;
    depthBuffer = 0;
    windowId = 0;
    window = savedWindow = nullptr;
    context = savedContext = nullptr;
}

void RenderTarget::beginRender(uint32_t buffer) {
    TargetStates* slot = statesOf(this);
    if (!slot)
        return;
    bool front = buffer == GL_FRONT_LEFT;
    slot->saved = captureState();
    slot->own.framebuffer = GLint(framebuffers[bufferIndex(front)]);
    applyState(slot->own);
    drawBuffer = buffer;
}

void RenderTarget::endRender() {
    TargetStates* slot = statesOf(this);
    if (!slot)
        return;
    slot->own = captureState();
    applyState(slot->saved);
}

void RenderTarget::bindTexture(int buffer) {
    bool front = buffer == kTargetFrontLeft;
    glBindTexture(GL_TEXTURE_2D, colourTextures[bufferIndex(front)]);
    glEnable(GL_TEXTURE_2D);
    boundBuffer = front ? kTargetFrontLeft : kTargetBackLeft;
}

void RenderTarget::releaseTexture() {
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    boundBuffer = 0;
}
