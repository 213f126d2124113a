// The capture tool's command line: parsing, checking, and the frame range it selects.
#pragma once
#include <cstdint>
#include <string>

enum class CaptureOutput { PngFolder, Mp4, Mkv };

struct CaptureOptions {
    int fps = 60;
    double from = 0; // seconds of music time, first frame written
    double to = 120; // seconds, end of the range (exclusive)
    std::string out; // folder, or a file ending in .mp4 or .mkv
    CaptureOutput output = CaptureOutput::PngFolder;
    int width = 1024; // the video's frame, pixels
    int height = 768;
    bool help = false;    // --help: print the usage and do nothing else
    bool version = false; // --version: print the release label and do nothing else
};

// Frames n with from <= n / fps < to are written; frames before `first` are rendered only.
struct FrameRange {
    int64_t first = 0;
    int64_t end = 0; // one past the last
};

// Parses argv[1..]; false with a one-line reason in *error on any bad or missing value.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string* error);
FrameRange captureRange(const CaptureOptions& options);
const char* captureUsage();
