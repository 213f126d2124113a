// The desktop's choice of output where libpulse is at hand.
#include "shell/music/audio_output.h"
#include <cstdlib>

std::vector<MakeOutput> outputChoice() {
    // SDL plays whenever SDL_AUDIODRIVER names a driver, whichever (pulseaudio included);
    // otherwise a PulseAudio server (PipeWire's included) is played to directly, since it
    // says which frame is being heard where SDL reports no latency at all.
    const char* driver = getenv("SDL_AUDIODRIVER");
    if (driver && *driver)
        return {makeSdlOutput};
    return {makePulseOutput, makeSdlOutput};
}
