// Start-up cost: window, sound, music, targets, text texture, geometry and a first frame.
#include "shell/demo_state.h"
#include "shell/dispatch.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/music_stream.h"
#include "shell/startup.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::string sourceData(const char* name) {
    const char* source = getenv("GLIMWICK_SOURCE_DIR");
    return std::string(source ? source : GLIMWICK_SOURCE_DIR) + "/data/" + name;
}

// The show's start-up path up to its first presented frame, then its shut-down. Runs
// before the frame benchmarks, which keep a window of their own.
void BM_startupToFirstFrame(benchmark::State& state) {
    if (!getenv("DISPLAY") || glWindowHandle()) {
        state.SkipWithError("needs a display and no other window (run under with_xvfb.sh)");
        return;
    }
    setenv("SDL_AUDIODRIVER", getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "dummy", 1);
    std::string music = sourceData("tarnwhistle.ogg"), text = sourceData("texture_text.png");
    for (auto _ : state) {
        registerWindowClass();
        resetMusicSlots();
        resetChangeFlags();
        auto demo = std::make_unique<DemoState>();
        std::string error;
        bool ok = startShow(*demo, false, music.c_str(), text.c_str(), &error);
        if (ok) {
            FrameLoop loop;
            runFramePass(*demo, loop, musicTime);
        }
        state.PauseTiming();
        stopShow();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
}
BENCHMARK(BM_startupToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
