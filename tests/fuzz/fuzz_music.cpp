// libFuzzer target: any bytes as the music, read through the stream's own in-memory
// callbacks: open, check the stream as playback does, decode a few seconds, seek to 0.
#include "shell/memory_file.h"
#include <algorithm>
#include <cstdlib>

namespace {

const long kDecodeSeconds = 3;
const long kMaxRate = 192000;  // frames per second; bounds the work a forged header can ask for
const int kChunkFrames = 1024; // what one audio callback asks for

// Decodes up to frames frames as the audio callback does: holes are skipped, anything
// else that is not audio ends the pass. Returns the frames decoded.
long decode(OggVorbis_File& file, int channels, long frames) {
    long done = 0;
    int holes = 0;
    while (done < frames && holes < 64) {
        float** pcm = nullptr;
        int section = 0;
        long got =
            ov_read_float(&file, &pcm, int(std::min<long>(kChunkFrames, frames - done)), &section);
        if (got == OV_HOLE) {
            ++holes;
            continue;
        }
        if (got <= 0)
            break;
        if (got > kChunkFrames)
            abort(); // more than asked for would overrun the device buffer
        // Touch every sample the callback would copy out.
        volatile float sink = 0;
        for (long i = 0; i < got; ++i)
            for (int c = 0; c < channels; ++c)
                sink = sink + pcm[c][i];
        done += got;
    }
    return done;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile source{data, size, 0};
    OggVorbis_File file;
    if (ov_open_callbacks(&source, &file, nullptr, 0, memoryFileCallbacks()) != 0)
        return 0; // nothing to release after a failed open with no close callback
    if (source.position > size)
        abort();
    vorbis_info* info = ov_info(&file, -1);
    // The same acceptance as playback: one logical stream, mono or stereo, any rate.
    if (ov_streams(&file) == 1 && info && info->channels >= 1 && info->channels <= 2) {
        decode(file, info->channels, kDecodeSeconds * std::min(info->rate, kMaxRate));
        if (ov_pcm_seek(&file, 0) == 0) {
            if (ov_pcm_tell(&file) != 0)
                abort(); // playback's restart relies on landing exactly on frame 0
            decode(file, info->channels, kChunkFrames);
        }
    }
    ov_clear(&file);
    return 0;
}
