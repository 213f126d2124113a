// What the two sync measuring programs share: their arguments, the music file, the cuts
// they time, the sound path they name and the statistics of their offsets.
#pragma once
#include <string>
#include <vector>

const int kSyncRate = 44100; // frames per second of the soundtrack and of the recording

// How long to measure and which monitor to record: argv[first] seconds (120 when absent),
// argv[first + 1] the source ("glimwick.monitor" when absent).
struct SyncArgs {
    double seconds;
    const char* source;
};
SyncArgs syncArgs(int argc, char** argv, int first);

// The music file as one mono track; empty, with "PREFIXcannot decode PATH" on stderr,
// when it cannot be read.
std::vector<float> decodeMusicOrSay(const std::string& path, const char* prefix);

// The schedule's cuts (music time, s) up to `last`, in order.
std::vector<double> cutsUntil(double last);

// SDL plays (SDL_AUDIODRIVER names a driver) rather than the sound server directly.
bool sdlDriverNamed();

// Offsets (ms) measured at cut times (s): their mean, standard deviation, median (the
// middle one of the sorted offsets), range, and least-squares slope over the cut times
// (ms per s of music). At least one offset.
struct OffsetSummary {
    double mean, sd, median, lo, hi, slope;
};
OffsetSummary summarizeOffsets(const std::vector<double>& offsets,
                               const std::vector<double>& cutTimes);
