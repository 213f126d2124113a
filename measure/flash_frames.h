// Presented frames as brightness stamps, the flash of a cut among them, and the page's own
// log of the frames it drew: the pure parts of the sync measuring programs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A presented frame: when (CLOCK_MONOTONIC, s) and how bright its patch was (0..255).
struct Stamp {
    double time, brightness;
};

// The swap hook's log (swap_stamp.c): one "seconds brightness" line per presented frame;
// empty when it cannot be read.
std::vector<Stamp> readStamps(const std::string& path);

// One read of the screen's patch: when it was asked for (monotonic s), a hash of its
// pixels and their brightness.
struct ScreenPoll {
    double time;
    uint64_t hash;
    double brightness;
};

// The brightness the swap hook computes: 0.2126 R + 0.7152 G + 0.0722 B averaged over the
// patch, from `count` 32-bit pixels whose channels sit at the given bit shifts.
double patchBrightness(const uint32_t* pixels, int count, int redShift, int greenShift,
                       int blueShift);
// A hash of `count` 32-bit pixels (FNV-1a over their 24 colour bits).
uint64_t patchHash(const uint32_t* pixels, int count);

// The frames the polls saw: one stamp at the first poll of each new picture, the first
// poll counting as a frame. Polls in time order.
std::vector<Stamp> presentedFrames(const std::vector<ScreenPoll>& polls);

// The first frame within -150..+250 ms of `heard` (monotonic s; or -before..+after s) whose
// brightness rose by more than `rise` over the frame before it: a cut's flash. Null if none.
const Stamp* flashNear(const std::vector<Stamp>& stamps, double heard, double rise,
                       double before = 0.15, double after = 0.25);

// The intervals between consecutive frames (ms): their median and the share past 1.5
// times it (frames the patch did not see change, or late ones). Zero with fewer than two.
struct FrameInterval {
    double median, longShare;
};
FrameInterval frameInterval(const std::vector<Stamp>& stamps);

// A frame the page drew: when its step read the music clock and when it had issued its
// drawing (both monotonic s), and the music time (s) it was drawn for.
struct PageFrame {
    double read, drawn, music;
};
// The page's log as it posts it, one "readMs drawnMs musicSeconds" line per frame in the
// page's wall-clock milliseconds (performance.timeOrigin + performance.now()), turned to
// monotonic seconds by `wallMinusMonotonic` (s). Lines that do not parse are skipped.
std::vector<PageFrame> parsePageLog(const std::string& text, double wallMinusMonotonic);
// The first frame drawn for music at or past `cut` (s; the clock reads whole milliseconds,
// so half of one counts as reaching it); null if none. Frames in drawing order.
const PageFrame* frameDrawnFor(const std::vector<PageFrame>& frames, double cut);
