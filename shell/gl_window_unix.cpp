// The window on X11 or Wayland: a display is named in the environment; SDL is steered
// to X alone when only an X display is.
#include "shell/gl_window.h"
#include "shell/gl_window_system.h"
#include <SDL2/SDL.h>

bool displayNamed() {
    return isSet("SDL_VIDEODRIVER") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

// With only an X display named, probe X alone: the other back-ends would only print noise
// on their way to the offscreen fallback.
void chooseVideoBackEnd() {
    if (!isSet("SDL_VIDEODRIVER") && !isSet("WAYLAND_DISPLAY"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
}

void requestGlProfile() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}
