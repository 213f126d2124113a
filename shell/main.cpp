// Entry point: the start-up question, start-up in order, the frame loop, shut-down.
#define SDL_MAIN_HANDLED
#include "geometry/scene_geometry.h"
#include "shell/data_path.h"
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/music_stream.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// What start-up has made so far, released in reverse by the one way out.
struct {
    bool window = false;
    bool sound = false;
    DemoState* demo = nullptr;
} made;

// The record lives until the process ends; its targets are released by quit().
std::unique_ptr<DemoState> gDemoState;

int quit(int rc, const std::string& message = std::string()) {
    if (!message.empty())
        fprintf(stderr, "glimwick: %s\n", message.c_str());
    releaseDemoResources(made.demo);
    if (made.sound)
        closeSound();
    if (made.window)
        destroyGlWindow();
    SDL_Quit();
    return rc;
}

void enableSmoothing() {
    glEnable(GL_POINT_SMOOTH);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_POLYGON_SMOOTH);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
}

} // namespace

int main(int, char**) {
    SDL_SetMainReady();
    bool fullscreen = askFullscreen();
    registerWindowClass();
    resetMusicSlots();

    const char* error = nullptr;
    if (!createGlWindow(1024, 768, fullscreen, &error))
        return quit(1, error);
    made.window = true;
    made.sound = true; // closeSound is safe whatever initSound managed
    if (!initSound(&error))
        return quit(1, error);
    std::string musicPath = resolveDataPath("data/tarnwhistle.ogg");
    if (!openMusic(musicPath.c_str(), &error))
        return quit(1, error);
    enableSmoothing();

    gDemoState = std::make_unique<DemoState>();
    made.demo = gDemoState.get();
    std::string why;
    std::string textPath = resolveDataPath("data/texture_text.png");
    if (!setupDemoResources(*gDemoState, textPath.c_str(), &why))
        return quit(1, why);
    setupSceneGeometry();
    playMusic(true);

    gDemoState->ticks = 0;
    FrameLoop loop;
    while (runFramePass(*gDemoState, loop, musicTime)) {
    }
    return quit(0);
}
