// The show's soundtrack: the score, timed to the script, and its mix down to stereo samples.
#pragma once
#include "assets/soundtrack/instruments.h"
#include <vector>

// Length of the piece in seconds: past the end of the run (120 s), silent after its fade.
constexpr double kSoundtrackSeconds = 121.5;

// Every note of the piece, in no particular order.
std::vector<Note> composeScore();

// The finished mix of a score, interleaved stereo at kSampleRate, kSoundtrackSeconds long,
// peaks below -2 dBFS.
std::vector<float> mixSoundtrack(const std::vector<Note>& score);
