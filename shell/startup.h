// The show's start-up in its fixed order, and the shut-down that undoes it.
#pragma once
#include <string>

struct DemoState;

// Window and GL context; sound and music (skipped when musicPath is null); the window's
// smoothing; render targets and text texture; scene geometry; then the music starts.
// False at the first failure, with the reason in *error; what was made stays for stopShow.
bool startShow(DemoState& state, bool fullscreen, const char* musicPath, const char* textPath,
               std::string* error);
// Releases in reverse order whatever startShow made: targets, sound, window (and with it
// the display mode). Safe to call again.
void stopShow();
