// The fixed 60 Hz step clock and the mojo animation clock, derived from music time.
#include "shell/frame_clock.h"
#include <algorithm>

namespace {
const float kStepLength = 1.0f / 60.0f; // seconds; 0x3C888889, a hair above 1/60
const float kLargestAdvance = 0.25f;    // seconds of music per frame, at most
const float kMojoPerStep = 0.29f;       // 17.4 mojo units per second
const float kStepsPerSecond = 60.0f;
} // namespace

void advanceFrameClock(FrameClock& clock, float u, int32_t& ticks) {
    // No lower bound: a stream that loops back gives a negative step, which drains the
    // accumulator (possibly below zero) and moves mojo back.
    float stepTime = std::min(float(u - clock.previousTime), kLargestAdvance);
    double sum = double(clock.accumulator) + double(stepTime);
    clock.previousTime = u;
    double mojoBase = clock.mojoBase;
    int steps = 0;
    while (sum >= double(kStepLength)) {
        sum -= double(kStepLength);
        mojoBase += double(kMojoPerStep);
        ++steps;
    }
    ticks += steps;
    // Rounded once per frame, not once per step.
    clock.accumulator = float(sum);
    if (steps > 0)
        clock.mojoBase = float(mojoBase);
}

float frameMojo(const FrameClock& clock) {
    return float(double(clock.accumulator) * double(kStepsPerSecond) * double(kMojoPerStep) +
                 double(clock.mojoBase));
}

int32_t fixedRateMilliseconds(int64_t frame, int fps) {
    return int32_t((frame * 2000 + fps) / (2 * int64_t(fps))); // halves round up
}

double fixedRateSeconds(int64_t frame, int fps) {
    return double(fixedRateMilliseconds(frame, fps)) * double(0.001f);
}
