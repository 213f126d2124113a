// The show rendered offscreen on a synthetic music clock, one finished picture at a time.
#pragma once
#include <cstdint>
#include <string>

// Picture size of the show's window, pixels.
constexpr int kCaptureWidth = 1024;
constexpr int kCaptureHeight = 768;

// Music position of frame n at fps frames per second: round(n x 1000 / fps) whole
// milliseconds, as the real clock would report them.
int32_t captureMilliseconds(int64_t frame, int fps);

// Starts the show headless (SDL's offscreen video driver, no audio device) with the text
// panels from textPath. False with the reason in *error.
bool openCaptureShow(const char* textPath, std::string* error);
// Runs the next pass of the real frame loop at the music time of frame `frame`, and
// returns the presented picture as RGB rows, top row first (kCaptureWidth x
// kCaptureHeight x 3 bytes, valid until the next call). Null when the loop ends with this
// frame (the schedule's end at 120 s, or a quit request such as Ctrl-C) and after.
const uint8_t* captureFrame(int64_t frame, int fps);
// Releases everything openCaptureShow made.
void closeCaptureShow();
