// The window on Windows: the desktop is always there, and SDL has one back-end.
#include "shell/gl_window.h"
#include "shell/gl_window_system.h"
#include <SDL2/SDL.h>

bool displayNamed() {
    return true;
}

void chooseVideoBackEnd() {}

void requestGlProfile() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}
