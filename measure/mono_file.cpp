// Decoding a file to mono samples (see mono_file.h).
#include "measure/mono_file.h"
#include <vorbis/vorbisfile.h>

std::vector<float> decodeMonoFile(const char* path) {
    std::vector<float> mono;
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0)
        return mono;
    int channels = ov_info(&file, -1)->channels, section = 0;
    float** pcm;
    long n;
    while ((n = ov_read_float(&file, &pcm, 4096, &section)) > 0)
        for (long i = 0; i < n; ++i)
            mono.push_back(channels > 1 ? 0.5f * (pcm[0][i] + pcm[1][i]) : pcm[0][i]);
    ov_clear(&file);
    return mono;
}
