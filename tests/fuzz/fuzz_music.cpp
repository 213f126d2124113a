// libFuzzer target: any bytes as the music, through the show's own decoder: open and
// check as openMusic does, decode a few seconds looping as the output's thread does,
// rewind, seek to where a silent clock might stand, decode again.
#include "shell/music/music_decoder.h"
#include "shell/music/memory_file.h"
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

const long kDecodeSeconds = 3;
const long kMaxRate = 192000;  // frames per second; bounds the work a forged header can ask for
const int kChunkFrames = 1024; // what one output request asks for

// Decodes `frames` frames in output-sized blocks; every sample must be a number the
// output can take, and a new pass may begin only inside a block.
void decode(MusicDecoder& decoder, long frames) {
    std::vector<float> block(size_t(2 * kChunkFrames) + 2, 0.0f);
    const float guard = 12345.0f;
    for (long done = 0; done < frames; done += kChunkFrames) {
        block[size_t(2 * kChunkFrames)] = guard;
        long began = decodeMusic(decoder, block.data(), kChunkFrames);
        if (block[size_t(2 * kChunkFrames)] != guard)
            abort(); // wrote past the block
        if (began < -1 || began >= kChunkFrames)
            abort();
        volatile float sink = 0;
        for (int i = 0; i < 2 * kChunkFrames; ++i)
            sink = sink + block[size_t(i)];
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MusicDecoder decoder;
    std::string why;
    if (!openMusicData(decoder, std::vector<unsigned char>(data, data + size), &why)) {
        if (why.empty())
            abort(); // a refusal always says why
        return 0;
    }
    if (decoder.stream->reader.position > size || decoder.channels < 1 || decoder.channels > 2)
        abort();
    long seconds = kDecodeSeconds * std::min<long>(decoder.rate, kMaxRate);
    rewindMusic(decoder, true);
    decode(decoder, seconds);
    rewindMusic(decoder, true);
    if (!decoder.ended && ov_pcm_tell(&decoder.stream->file) != 0)
        abort(); // playback's restart relies on landing exactly on frame 0
    decode(decoder, kChunkFrames);
    seekMusic(decoder, decoder.fileFrames / 2);
    decode(decoder, kChunkFrames);
    return 0;
}
