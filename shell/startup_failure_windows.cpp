// The start-up failure on Windows: a GUI program has no console, so the line in a box.
#include "shell/gl_window.h"
#include "shell/message_boxes.h"
#include <SDL2/SDL.h>

void showStartupFailure(const char* line) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kWindowTitle, line, nullptr);
}
