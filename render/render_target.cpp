// Render targets on framebuffer objects, each in a GL context of its own that shares
// texture names with the window's context, so its GL state never reaches anyone else.
#include "render/render_target.h"
#include "render/gl_debug.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>

namespace {

// Framebuffer-object entry points: the core ones (GL 3.0, GL_ARB_framebuffer_object) or
// the EXT ones, which take the same arguments and the same enum values.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
    PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
};

struct {
    FramebufferCalls fbo{};
    // Fence syncs (GL 3.2, GL_ARB_sync) let a sampling context wait on the GPU for a
    // target's picture; without them endRender waits on the CPU with glFinish.
    bool haveSync = false;
} state;

// Picks the entry points from what GLEW found on the window's context; false when the
// driver offers no framebuffer objects at all.
bool loadFramebufferCalls() {
    if (GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object) {
        state.fbo = {glGenFramebuffers,        glDeleteFramebuffers,     glBindFramebuffer,
                     glFramebufferTexture2D,   glCheckFramebufferStatus, glGenRenderbuffers,
                     glDeleteRenderbuffers,    glBindRenderbuffer,       glRenderbufferStorage,
                     glFramebufferRenderbuffer};
    } else if (GLEW_EXT_framebuffer_object) {
        state.fbo = {glGenFramebuffersEXT,        glDeleteFramebuffersEXT,
                     glBindFramebufferEXT,        glFramebufferTexture2DEXT,
                     glCheckFramebufferStatusEXT, glGenRenderbuffersEXT,
                     glDeleteRenderbuffersEXT,    glBindRenderbufferEXT,
                     glRenderbufferStorageEXT,    glFramebufferRenderbufferEXT};
    } else {
        return false;
    }
    state.haveSync = GLEW_VERSION_3_2 || GLEW_ARB_sync;
    return true;
}

int bufferIndex(bool front) {
    return front ? 0 : 1;
}

bool fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

// One colour buffer: RGBA8, linear filtering, clamped at the edges, contents undefined
// until the first clear.
void makeColourTexture(uint32_t name, int width, int height) {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

// Builds the framebuffers and the creation state in the target's context (current).
bool buildInOwnContext(RenderTarget& t, std::string* error) {
    watchGlErrors("a render target's context");
    const FramebufferCalls& fbo = state.fbo;
    glGenTextures(2, t.colourTextures);
    for (uint32_t name : t.colourTextures)
        makeColourTexture(name, t.width, t.height);
    glBindTexture(GL_TEXTURE_2D, 0);

    fbo.genRenderbuffers(1, &t.depthBuffer);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, t.depthBuffer);
    fbo.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, t.width, t.height);
    fbo.bindRenderbuffer(GL_RENDERBUFFER, 0);

    fbo.genFramebuffers(2, t.framebuffers);
    for (int i = 0; i < 2; ++i) {
        fbo.bindFramebuffer(GL_FRAMEBUFFER, t.framebuffers[i]);
        fbo.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                 t.colourTextures[i], 0);
        fbo.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                    t.depthBuffer);
        if (fbo.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            return fail(error, "the driver refuses an RGBA8 framebuffer of this size");
        // Both colour buffers transparent black, the shared depth buffer at 1.0.
        glClearColor(0, 0, 0, 0);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Left bound: the back-left buffer, the one beginRender is normally asked for.
    t.drawBuffer = GL_BACK_LEFT;

    // The (-1..1) square maps onto the whole target; users that keep these matrices
    // rely on it.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, t.width, t.height);
    // Other contexts may sample the cleared buffers straight away.
    glFinish();
    return true;
}

} // namespace

bool RenderTarget::create(int requestedWidth, int requestedHeight, std::string* error) {
    width = requestedWidth;
    height = requestedHeight;
    savedWindow = SDL_GL_GetCurrentWindow();
    savedContext = SDL_GL_GetCurrentContext();
    if (!savedWindow || !savedContext)
        return fail(error, "no GL context is current");
    if (width <= 0 || height <= 0)
        return fail(error, "the size must be positive");
    if (!loadFramebufferCalls())
        return fail(error, "the GL driver offers no framebuffer objects (needs GL 3.0, "
                           "GL_ARB_framebuffer_object or GL_EXT_framebuffer_object)");

    SDL_Window* caller = savedWindow;
    int sharing = 0;
    SDL_GL_GetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, &sharing);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    context = SDL_GL_CreateContext(caller); // current from here on, if made
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, sharing);
    if (!context) {
        std::string why = std::string("no shared GL context: ") + SDL_GetError();
        SDL_GL_MakeCurrent(caller, savedContext);
        return fail(error, why);
    }
    window = caller;
    windowId = SDL_GetWindowID(caller);

    bool built = buildInOwnContext(*this, error);
    SDL_GL_MakeCurrent(caller, savedContext);
    return built;
}

void RenderTarget::destroy() {
    if (context) {
        SDL_GLContext ownContext = context;
        SDL_Window* currentWindow = SDL_GL_GetCurrentWindow();
        SDL_GLContext currentContext = SDL_GL_GetCurrentContext();
        // Null once the window (or SDL's video) is gone: the names then die with the
        // last context of the share group, and only the context is left to delete.
        SDL_Window* own = SDL_GetWindowFromID(windowId);
        if (own && SDL_GL_MakeCurrent(own, ownContext) == 0) {
            if (framebuffers[0] || framebuffers[1])
                state.fbo.deleteFramebuffers(2, framebuffers);
            if (depthBuffer)
                state.fbo.deleteRenderbuffers(1, &depthBuffer);
            if (fence)
                glDeleteSync(fence);
            if (sampledFence)
                glDeleteSync(sampledFence);
            glDeleteTextures(2, colourTextures);
            if (currentContext && currentContext != ownContext)
                SDL_GL_MakeCurrent(currentWindow, currentContext);
            else
                SDL_GL_MakeCurrent(nullptr, nullptr);
        }
        SDL_GL_DeleteContext(ownContext);
    }
    colourTextures[0] = colourTextures[1] = 0;
    framebuffers[0] = framebuffers[1] = 0;
    depthBuffer = 0;
    fence = sampledFence = nullptr;
    windowId = 0;
    window = savedWindow = nullptr;
    context = savedContext = nullptr;
}

void RenderTarget::beginRender(uint32_t buffer) {
    if (!context)
        return;
    savedWindow = SDL_GL_GetCurrentWindow();
    savedContext = SDL_GL_GetCurrentContext();
    SDL_GL_MakeCurrent(window, context);
    // Another context may still be reading the buffers through a sampling it has queued:
    // drawing waits on the GPU until that is done (the write-after-read hazard).
    if (sampledFence)
        glWaitSync(sampledFence, 0, GL_TIMEOUT_IGNORED);
    state.fbo.bindFramebuffer(GL_FRAMEBUFFER, framebuffers[bufferIndex(buffer == GL_FRONT_LEFT)]);
    drawBuffer = buffer;
}

void RenderTarget::endRender() {
    if (!context)
        return;
    if (state.haveSync) {
        // The sampling context waits for this fence in bindTexture (the read-after-write
        // hazard); the flush makes sure the fence is on its way before the switch.
        if (fence)
            glDeleteSync(fence);
        fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        glFlush();
    } else {
        glFinish();
    }
    checkGlErrors("a render target's context");
    SDL_GL_MakeCurrent(savedWindow, savedContext);
}

void RenderTarget::bindTexture(int buffer) {
    bool front = buffer == kTargetFrontLeft;
    if (fence)
        glWaitSync(fence, 0, GL_TIMEOUT_IGNORED);
    glBindTexture(GL_TEXTURE_2D, colourTextures[bufferIndex(front)]);
    glEnable(GL_TEXTURE_2D);
    boundBuffer = front ? kTargetFrontLeft : kTargetBackLeft;
}

void RenderTarget::releaseTexture() {
    if (state.haveSync && boundBuffer) {
        // Sync objects belong to the whole share group, so the target's own context can
        // wait for this one; the flush puts it on its way before any context switch.
        if (sampledFence)
            glDeleteSync(sampledFence);
        sampledFence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        glFlush();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    boundBuffer = 0;
}
