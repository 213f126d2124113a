// The capture's progress on stderr: in place on a terminal, a line per tenth elsewhere.
#pragma once
#include <cstdint>

// Starts the count of total frames from now.
void startCaptureProgress(int64_t total);
// "frame 1200 of 7200, 23.5 fps, 4:15 left" after `done` frames; last ends the line.
void showCaptureProgress(int64_t done, bool last);
// Ends a line left open on a terminal, so that a message starts on a line of its own.
void endCaptureProgressLine();
