// The fixed-step clock: 1/60 s steps of music time, ticks and the smooth mojo clock; and
// the fixed-rate clock that stands in for the music when frames are rendered one by one.
#pragma once
#include <cstdint>

struct FrameClock {
    float previousTime = 0; // music time of the previous frame, seconds
    float accumulator = 0;  // seconds not yet consumed by whole steps; may go negative
    float mojoBase = 0;     // 0.29 per step taken
};

// Advances the clock to music time u (seconds): at most 0.25 s per frame, no lower
// bound, one rounding to single precision per frame. Adds the steps taken to ticks.
void advanceFrameClock(FrameClock& clock, float u, int32_t& ticks);
// mojo = accumulator x 60 x 0.29 + mojoBase, in double, rounded once.
float frameMojo(const FrameClock& clock);
// Music position of frame `frame` of a fixed-rate run at fps frames per second:
// round(frame x 1000 / fps) whole milliseconds (halves up), as the music clock would
// report them. Hours of frames at any rate up to 240 fit.
int32_t fixedRateMilliseconds(int64_t frame, int fps);
// The same position as the music clock reads it: the milliseconds times the
// single-precision 0.001, the product formed in double.
double fixedRateSeconds(int64_t frame, int fps);
