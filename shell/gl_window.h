// The one window with its double-buffered GL context, its events and its display mode.
#pragma once
#include <string>

struct SDL_Window;

// The caption of the window and of the show's message boxes.
extern const char* const kWindowTitle;

// False when no display is named (DISPLAY, WAYLAND_DISPLAY or SDL_VIDEODRIVER; always true
// on Windows): nothing could be shown, so neither box nor window is tried.
bool displayNamed();
// Resets the module state (handles none, not fullscreen).
void registerWindowClass();
// Window of width x height client pixels with a current compatibility GL context and
// GLEW loaded. False (reason in *why, when given) on failure, with everything made so far
// released and the display mode restored.
bool createGlWindow(int width, int height, bool fullscreen, std::string* why = nullptr);
// Releases context and window; restores the display mode if fullscreen was asked for.
void destroyGlWindow();
// Takes at most one event: Escape (down or up), closing the window and an ending signal
// (see exit_signals.h) end the run.
void pumpMessage();
bool isRunning();
void swapWindowBuffers();
// For the render targets: the window that their contexts are made current with.
SDL_Window* glWindowHandle();
