// Start-up in order (window, sound, music, smoothing, resources, geometry) and shut-down.
#include "shell/startup.h"
#include "geometry/scene_geometry.h"
#include "shell/demo_state.h"
#include "shell/gl_window.h"
#include "shell/music_stream.h"
#include <GL/glew.h>

namespace {

// What start-up has made so far, released in reverse by stopShow.
struct {
    bool window = false;
    bool sound = false;
    DemoState* demo = nullptr;
} made;

// Antialiased points, lines and polygons in the window's context only: the letterboxed
// picture and the text panels; the render targets keep their own state.
void enableSmoothing() {
    glEnable(GL_POINT_SMOOTH);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_POLYGON_SMOOTH);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
}

} // namespace

bool startShow(DemoState& state, bool fullscreen, const char* musicPath, const char* textPath,
               std::string* error) {
    if (!createGlWindow(kPictureSize.width, kPictureSize.height, fullscreen, error))
        return false;
    made.window = true;
    if (musicPath) {
        made.sound = true; // closeSound copes with whatever initSound managed
        std::string reason;
        if (!initSound(&reason) || !openMusic(musicPath, &reason)) {
            if (error)
                *error = reason;
            return false;
        }
    }
    enableSmoothing();
    made.demo = &state;
    if (!setupDemoResources(state, textPath, error))
        return false;
    setupSceneGeometry();
    if (musicPath) {
        // -1 only when nothing can play at all; an output that will not start yet lets
        // the show go on silent (said on stderr) while sound is tried again.
        std::string reason;
        if (playMusic(true, &reason) < 0) {
            if (error)
                *error = reason;
            return false;
        }
    }
    state.ticks = 0;
    return true;
}

void stopShow() {
    releaseDemoResources(made.demo);
    made.demo = nullptr;
    if (made.sound)
        closeSound();
    made.sound = false;
    if (made.window)
        destroyGlWindow();
    made.window = false;
}
