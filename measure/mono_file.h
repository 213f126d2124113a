// An Ogg Vorbis file's sound as one mono track, for finding its onsets.
#pragma once
#include <vector>

// The whole file at its own rate, stereo averaged to mono; empty when it cannot be read.
std::vector<float> decodeMonoFile(const char* path);
