// The one window with its double-buffered GL context, its events and its display mode.
#pragma once

struct SDL_Window;

// Asks "Fullscreen?"; true only for Yes. Any failure to show the box counts as No.
bool askFullscreen();
// On Windows, where a GUI program has no console for its stderr line, shows why the show
// could not start in a message box (returns once it is answered); nothing elsewhere.
void showStartupFailure(const char* line);
// Resets the module state (handles none, not fullscreen).
void registerWindowClass();
// Window of width x height client pixels with a current compatibility GL context and
// GLEW loaded. False (reason in *error, when given) on failure, with everything made so
// far released and the display mode restored.
bool createGlWindow(int width, int height, bool fullscreen, const char** error = nullptr);
// Releases context and window; restores the display mode if fullscreen was asked for.
void destroyGlWindow();
// Takes at most one event: Escape (down or up), closing the window and an ending signal
// (see exit_signals.h) end the run.
void pumpMessage();
bool isRunning();
void swapWindowBuffers();
// For the render targets: the window that their contexts are made current with.
SDL_Window* glWindowHandle();
