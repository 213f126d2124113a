// Cost of one music clock read while the audio thread decodes the soundtrack.
#include "shell/music_stream.h"
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace {

// The real soundtrack, looping on the audio driver in force (SDL's dummy driver unless
// SDL_AUDIODRIVER names another), so its callback decodes Vorbis while the clock is read.
bool startMusic(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const char* source = getenv("GLIMWICK_SOURCE_DIR");
    std::string music =
        std::string(source ? source : GLIMWICK_SOURCE_DIR) + "/data/tarnwhistle.ogg";
    std::string error;
    resetMusicSlots();
    if (!initSound(&error) || !openMusic(music.c_str(), &error)) {
        state.SkipWithError(error.empty() ? "no sound" : error.c_str());
        closeSound();
        return false;
    }
    playMusic(true);
    return true;
}

void BM_musicTimeWhileDecoding(benchmark::State& state) {
    if (!startMusic(state))
        return;
    double sum = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(sum += musicTime());
    closeSound();
}
// Real time: a read that waited on the audio thread would show here, not in CPU time.
BENCHMARK(BM_musicTimeWhileDecoding)->UseRealTime()->MinTime(2.0);

} // namespace
