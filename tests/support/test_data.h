// Stand-in data files that tests generate at run time.
#pragma once
#include <cstdint>
#include <string>

// A path for a scratch file in $TMPDIR (or /tmp), unique to this process.
std::string tempFilePath(const std::string& name);
// A 440 Hz tone of the given length as Ogg Vorbis at `rate` Hz with 1 or 2 channels;
// serial names the logical stream (files with different serials chain when concatenated).
bool writeToneOgg(const char* path, double seconds, int serial = 1, int rate = 44100,
                  int channels = 2);
// An 8-bit RGBA PNG from width x height x 4 bytes, first row first.
bool writeRgbaPng(const char* path, int width, int height, const uint8_t* rgba);
// dir/data/tarnwhistle.ogg (musicSeconds long) and dir/data/texture_text.png (512 x 256).
bool writeStandInData(const std::string& dir, double musicSeconds);
