// The page's side of the web build's two drivers, the show and the frame test.
#pragma once
#include <string>

struct DriverSetup;

// Starts the driver and makes `frame` the browser's main loop; false, with the page told
// the one line, when the show cannot start.
bool runInPage(const DriverSetup& setup, void (*frame)());
// The main loop runs: started and not yet ended.
bool runningInPage();
// Ends the main loop and the driver, once, and tells the page why (glimwickEnded).
void endInPage(const char* why);
// Tells the page the one line of a failure (glimwickFailed).
void failInPage(const std::string& line);
// The frame test (web_frames.cpp): 0 once its main loop runs, else 1 with the page told.
int runFrameTest(const char* list);
