// The choice of output where SDL is the only one (Windows, a desktop without libpulse).
#include "shell/music/audio_output.h"

std::vector<MakeOutput> outputChoice() {
    return {makeSdlOutput};
}
