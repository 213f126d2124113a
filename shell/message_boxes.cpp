// The start-up question (the failure box is per system: startup_failure_*.cpp).
#include "shell/message_boxes.h"
#include "shell/gl_window.h"
#include <SDL2/SDL.h>
#include <cstdio>

bool askFullscreen() {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
    };
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_INFORMATION;
    box.title = kWindowTitle;
    box.message = "Fullscreen?";
    box.numbuttons = 2;
    box.buttons = buttons;
    int chosen = -1; // closing the box leaves it at -1: No
    if (!displayNamed())
        return false; // the window's own start-up says there is no display
    if (SDL_ShowMessageBox(&box, &chosen) != 0) {
        // Still No, but a viewer who never saw the question should learn why (on X11 the
        // box needs the core fonts, which a minimal system may lack).
        fprintf(stderr, "glimwick: cannot show the start-up question (%s); running windowed\n",
                SDL_GetError());
        return false;
    }
    return chosen == 1;
}
