// ffmpeg as a separate encoding process fed with raw RGB frames through a pipe.
#pragma once
#include "capture/capture_options.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ffmpeg's arguments (argv[0] first) for encoding the range's 1024 x 768 RGB frames read
// from standard input into `target`, with the music (musicRate samples per second) cut to
// the same range.
std::vector<std::string> ffmpegArguments(const CaptureOptions& options, FrameRange range,
                                         const std::string& musicPath, int musicRate,
                                         const std::string& target);
// The ffmpeg executable on PATH, or empty.
std::string findFfmpeg();

// Starts ffmpeg with standard input on a pipe and its messages into a scratch file in
// $TMPDIR. The stall limit is 30 s unless GLIMWICK_CAPTURE_STALL_SECONDS says otherwise.
bool startFfmpeg(const std::string& executable, const std::vector<std::string>& arguments,
                 std::string* error);
// Writes all bytes to ffmpeg; false (reason in *error) when it has gone, when it took
// nothing for the stall limit, or when a signal arrived.
bool writeToFfmpeg(const uint8_t* bytes, size_t size, std::string* error);
// Closes the pipe and waits (killing it first if it stalled, or once a signal arrives);
// false with ffmpeg's last message when it failed.
bool finishFfmpeg(std::string* error);
// Stops ffmpeg at once (an abandoned capture): a blocked write returns; finishFfmpeg reaps.
void killFfmpeg();
