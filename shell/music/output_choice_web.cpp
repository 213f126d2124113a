// The browser's choice of output: a page has one way to sound, its AudioContext.
#include "shell/music/audio_output.h"

std::vector<MakeOutput> outputChoice() {
    return {makeWebOutput};
}
