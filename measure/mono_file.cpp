// Decoding a file to mono samples (see mono_file.h), through the show's own decoder.
#include "measure/mono_file.h"
#include "shell/music/music_decoder.h"

std::vector<float> decodeMonoFile(const char* path) {
    std::vector<float> mono;
    MusicDecoder decoder;
    if (!openMusicFile(decoder, path, nullptr))
        return mono;
    std::vector<float> stereo = decodeWholeMusic(decoder);
    mono.resize(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) // a mono file's sides are equal: x stays x
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    return mono;
}
