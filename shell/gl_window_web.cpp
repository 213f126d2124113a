// The window in a page: the canvas, which the page's main names as SDL's video driver.
#include "shell/gl_window.h"
#include "shell/gl_window_system.h"

bool displayNamed() {
    return true;
}

void chooseVideoBackEnd() {}

// None asked: a page's WebGL context is an ES one, on which the fixed-function calls are
// emulated.
void requestGlProfile() {}
