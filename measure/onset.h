// Onset detection by spectral flux, for checking that the soundtrack's accents land on time.
#pragma once
#include <vector>

struct Onset {
    double time;     // seconds
    double strength; // spectral flux at the peak, in log-magnitude units
};

// Onsets of a mono signal: peaks of the half-wave-rectified log-spectral flux over 10 ms
// frames that stand above their surroundings, in time order.
std::vector<Onset> detectOnsets(const std::vector<float>& mono, int rate);

// The onset nearest to `time`, or null when there is none within `tolerance` seconds.
const Onset* onsetNear(const std::vector<Onset>& onsets, double time, double tolerance);
