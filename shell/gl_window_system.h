// What the window needs of the system it runs on (gl_window_unix.cpp, _windows.cpp or
// _web.cpp, as the build picks); displayNamed (gl_window.h) is defined there too.
#pragma once

// True when the environment variable `name` is set and not empty (in gl_window.cpp).
bool isSet(const char* name);
// Before SDL's video starts: the back-end SDL is to try, where the system has a choice.
void chooseVideoBackEnd();
// The GL profile asked of SDL for the window's context (and the render targets').
void requestGlProfile();
