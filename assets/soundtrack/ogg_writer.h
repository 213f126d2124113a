// Encodes interleaved stereo float samples as an Ogg Vorbis file.
#pragma once
#include <cstddef>

// samples: frames x channels (1 or 2) floats in -1..1, interleaved. quality: libvorbisenc VBR
// quality (-0.1..1). A fixed stream serial number keeps the output reproducible. False on any
// failure.
constexpr int kOggSerial = 0x676c6d77;
bool writeOggVorbis(const char* path, const float* samples, size_t frames, int rate, float quality,
                    int serial = kOggSerial, int channels = 2);
