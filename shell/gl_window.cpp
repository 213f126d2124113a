// The one window on SDL2: display mode, GL context, events, swaps.
#include "shell/gl_window.h"
#include "shell/gl_window_system.h"
#include "shell/exit_signals.h"
#include "shell/picture_area.h"
#include "render/gl_debug.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

bool isSet(const char* name) {
    const char* value = getenv(name);
    return value && *value;
}

namespace {

struct {
    SDL_Window* window = nullptr;
    SDL_GLContext glContext = nullptr;
    bool videoStarted = false;        // SDL's video subsystem is ours to quit
    bool fullscreenRequested = false; // the last creation asked for fullscreen
    bool quitSeen = false;            // an end request was taken by pumpMessage
    int pictureWidth = 0;             // pixels, as asked of createGlWindow
    int pictureHeight = 0;
} state;

// False, with SDL's last error after `what` as the reason.
bool failWithSdlError(std::string* why, const char* what) {
    if (why)
        *why = std::string(what) + ": " + SDL_GetError();
    return false;
}

// Offscreen and dummy drivers render to nowhere: without an explicit request for one,
// landing there means there is no display, which must not pass for a running show.
bool invisibleDriver(const char* driver) {
    return driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0) &&
           !isSet("SDL_VIDEODRIVER");
}

// Only quit, window and key events are ever acted on; every other kind is dropped before it
// reaches the queue. SDL queues each mouse motion where a desktop's own queue coalesces them,
// and with one event taken per frame a few seconds of motion would put Escape behind
// thousands of them. Audio device events stay: they are rare and the sound code may use them.
void ignoreUnhandledEvents() {
    const Uint32 kIgnoredRanges[][2] = {
        {SDL_DISPLAYEVENT, SDL_DISPLAYEVENT},
        {SDL_SYSWMEVENT, SDL_SYSWMEVENT},
        {SDL_TEXTEDITING, SDL_TEXTEDITING_EXT}, // text input, editing and keymap changes
        {SDL_MOUSEMOTION, SDL_MOUSEWHEEL},
        {SDL_JOYAXISMOTION, SDL_CONTROLLERSENSORUPDATE},
        {SDL_FINGERDOWN, SDL_FINGERMOTION},
        {SDL_DOLLARGESTURE, SDL_MULTIGESTURE},
        {SDL_CLIPBOARDUPDATE, SDL_CLIPBOARDUPDATE},
        {SDL_DROPFILE, SDL_DROPCOMPLETE},
        {SDL_SENSORUPDATE, SDL_SENSORUPDATE},
        {SDL_RENDER_TARGETS_RESET, SDL_RENDER_DEVICE_RESET},
        {SDL_LOCALECHANGED, SDL_LOCALECHANGED},
    };
    for (const auto& range : kIgnoredRanges)
        for (Uint32 type = range[0]; type <= range[1]; ++type)
            SDL_EventState(type, SDL_IGNORE);
    SDL_StopTextInput();
}

// The picture onto the largest centred area of its own aspect in the drawable. The
// viewport is window-context state that the renderers never change.
void setPictureViewport() {
    int drawableWidth = state.pictureWidth, drawableHeight = state.pictureHeight;
    SDL_GL_GetDrawableSize(state.window, &drawableWidth, &drawableHeight);
    PictureArea area =
        pictureArea(drawableWidth, drawableHeight, state.pictureWidth, state.pictureHeight);
    glViewport(area.x, area.y, area.width, area.height);
}

} // namespace

void registerWindowClass() {
    state.window = nullptr;
    state.glContext = nullptr;
    state.fullscreenRequested = false;
}

namespace {

// SDL's video subsystem on a display that shows something. Without any display named
// there is nothing to show; saying so up front also spares the user the noise of SDL
// probing every video back-end.
bool startVideo(std::string* why) {
    if (!displayNamed()) {
        SDL_SetError("no display (neither DISPLAY nor WAYLAND_DISPLAY is set)");
        return failWithSdlError(why, "window");
    }
    chooseVideoBackEnd();
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return failWithSdlError(why, "window: cannot start the video system");
        state.videoStarted = true;
    }
    if (invisibleDriver(SDL_GetCurrentVideoDriver())) {
        SDL_SetError("no display (SDL fell back to its '%s' video driver)",
                     SDL_GetCurrentVideoDriver());
        return failWithSdlError(why, "window");
    }
    ignoreUnhandledEvents();
    return true;
}

// RGBA8 colour, 16-bit depth, double-buffered, the system's profile for immediate mode.
void requestPixelFormat() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    requestGlProfile();
    if (glChecksEnabled()) // render targets' contexts inherit the flag
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_DEBUG_FLAG);
}

// The window, hidden until its context works. Fullscreen only when the display offers
// width x height at 32 bits per pixel; otherwise a window with its caption. SDL puts the
// desktop mode back when the window goes.
bool openWindow(int width, int height, bool fullscreen, std::string* why) {
    SDL_DisplayMode mode{};
    bool modeGranted = false;
    if (fullscreen) {
        SDL_DisplayMode wanted{};
        wanted.format = SDL_PIXELFORMAT_RGB888;
        wanted.w = width;
        wanted.h = height;
        modeGranted = SDL_GetClosestDisplayMode(0, &wanted, &mode) != nullptr && mode.w == width &&
                      mode.h == height && SDL_BYTESPERPIXEL(mode.format) == 4; // 32 bits
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (modeGranted)
        flags |= SDL_WINDOW_FULLSCREEN;
    state.window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                    width, height, flags);
    if (!state.window)
        return failWithSdlError(why, "window: cannot create the window");
    if (modeGranted && SDL_SetWindowDisplayMode(state.window, &mode) != 0)
        SDL_SetWindowFullscreen(state.window, 0); // refused: stay windowed
    return true;
}

// The window's GL context, current, with GLEW's entry points loaded.
bool createContext(std::string* why) {
    state.glContext = SDL_GL_CreateContext(state.window);
    if (!state.glContext)
        return failWithSdlError(why, "window: cannot create the GL context");
    if (SDL_GL_MakeCurrent(state.window, state.glContext) != 0)
        return failWithSdlError(why, "window: cannot make the GL context current");
    glewExperimental = GL_TRUE;
    GLenum glew = glewInit();
    // Debian's GLEW is built for GLX: on an EGL context (Wayland, SDL's offscreen driver)
    // glewInit loads every GL entry point and only then fails to find a GLX display. That
    // failure comes after the GL part succeeded, so the context is fully usable.
#ifdef GLEW_ERROR_NO_GLX_DISPLAY // emscripten's GLEW knows no GLX
    if (glew == GLEW_ERROR_NO_GLX_DISPLAY)
        glew = GLEW_OK;
#endif
    if (glew != GLEW_OK) {
        SDL_SetError("%s", reinterpret_cast<const char*>(glewGetErrorString(glew)));
        return failWithSdlError(why, "window: cannot load GL entry points");
    }
    watchGlErrors("the window's context");
    return true;
}

} // namespace

const char* const kWindowTitle = "V o r n i c >> Glimwick";

bool createGlWindow(int width, int height, bool fullscreen, std::string* why) {
    state.fullscreenRequested = fullscreen;
    if (!startVideo(why)) {
        destroyGlWindow();
        return false;
    }
    requestPixelFormat();
    if (!openWindow(width, height, fullscreen, why) || !createContext(why)) {
        destroyGlWindow(); // also restores the display mode
        return false;
    }
    state.pictureWidth = width;
    state.pictureHeight = height;
    setPictureViewport();

    state.quitSeen = false;
    SDL_ShowWindow(state.window);
    SDL_RaiseWindow(state.window);
    return true;
}

void destroyGlWindow() {
    if (state.glContext) {
        SDL_GL_MakeCurrent(state.window, nullptr);
        SDL_GL_DeleteContext(state.glContext);
        state.glContext = nullptr;
    }
    if (state.window) {
        if (state.fullscreenRequested)
            SDL_SetWindowFullscreen(state.window, 0); // the desktop's own mode again
        SDL_DestroyWindow(state.window);
        state.window = nullptr;
    }
    if (state.videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        state.videoStarted = false;
    }
}

void pumpMessage() {
    if (exitSignalled())
        state.quitSeen = true; // SIGINT, SIGTERM, SIGHUP or SIGQUIT: as Escape
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return;
    switch (event.type) {
    case SDL_QUIT: // last window closed
        state.quitSeen = true;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE)
            state.quitSeen = true;
        else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            setPictureViewport(); // a fullscreen switch the display did its own way
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (event.key.keysym.sym == SDLK_ESCAPE)
            state.quitSeen = true;
        break; // every other key is swallowed
    default:
        break;
    }
}

bool isRunning() {
    return !state.quitSeen;
}

void swapWindowBuffers() {
    SDL_GL_SwapWindow(state.window);
}

SDL_Window* glWindowHandle() {
    return state.window;
}
