// Generator of data/tarnwhistle.ogg: composes, mixes and encodes the soundtrack.
#include "assets/soundtrack/ogg_writer.h"
#include "assets/soundtrack/soundtrack.h"
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.ogg\n", argv[0]);
        return 2;
    }
    std::vector<float> samples = mixSoundtrack(composeScore());
    if (!writeOggVorbis(argv[1], samples.data(), samples.size() / 2, kSampleRate, 0.45f)) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
