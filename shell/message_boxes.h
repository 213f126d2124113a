// The show's two message boxes: the start-up question and the start-up failure.
#pragma once

// Asks "Fullscreen?"; true only for Yes. Any failure to show the box counts as No.
bool askFullscreen();
// On Windows, where a GUI program has no console for its stderr line, shows why the show
// could not start in a message box (returns once it is answered); nothing elsewhere.
void showStartupFailure(const char* line);
