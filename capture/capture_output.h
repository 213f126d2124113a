// Where captured frames go: PNG files in a folder, or ffmpeg; written beside rendering on
// a thread of their own, under a temporary name until the capture completes.
#pragma once
#include "capture/capture_options.h"
#include <cstdint>
#include <string>

// Exit status for an output that cannot be made at all (unwritable, no ffmpeg).
constexpr int kCaptureUsageStatus = 2;

// Makes the temporary folder or file beside options.out and, for video, starts ffmpeg.
// False with a one-line reason in *error.
bool openCaptureOutput(const CaptureOptions& options, FrameRange range,
                       const std::string& musicPath, std::string* error);
// Queues frame `frame` (RGB, top row first, 1024 x 768); returns at once unless the
// writer is two frames behind. False once writing has failed (reason in *error).
bool writeCaptureFrame(int64_t frame, const uint8_t* rgb, std::string* error);
// Waits for the writer, ends ffmpeg and renames the result to options.out. After a failed
// write: removes the temporary output instead, with ffmpeg's own message in *error.
bool finishCaptureOutput(std::string* error);
// Stops everything and removes the temporary output; nothing is left under options.out.
void abandonCaptureOutput();
