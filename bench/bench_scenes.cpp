// Speed of the scenes: the warp grid alone, and whole frames against a bare clear-and-swap.
#include "geometry/scene_geometry.h"
#include "scenes/feedback_warp.h"
#include "shell/data_path.h"
#include "shell/demo_state.h"
#include "shell/frame_loop.h"
#include "shell/gl_window.h"
#include "shell/startup.h"
#include <GL/glew.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Target: under 60 microseconds per frame.
void BM_computeWarpGrid(benchmark::State& state) {
    static WarpPoint grid[kWarpRows * kWarpColumns];
    float mojo = 0;
    for (auto _ : state) {
        computeWarpGrid(grid, mojo * 0.01f, 0.5f * std::cos(mojo * 0.0625f));
        benchmark::DoNotOptimize(grid);
        benchmark::ClobberMemory();
        mojo += 0.29f;
    }
}
BENCHMARK(BM_computeWarpGrid)->Unit(benchmark::kMicrosecond);

// The show's window, targets, text texture and geometry, made once for all frame
// benchmarks; null (with the reason) when there is no display or no data.
struct Show {
    std::unique_ptr<DemoState> demo;
    std::string error;
};

Show& show() {
    static Show s = [] {
        Show made;
        if (!getenv("DISPLAY")) {
            made.error = "no display (run under tests/support/with_xvfb.sh)";
            return made;
        }
        auto demo = std::make_unique<DemoState>();
        // Beside the executable (the build copies data/ there), else in the source tree.
        std::string path = resolveDataPath("data/texture_text.png");
        const char* source = getenv("GLIMWICK_SOURCE_DIR");
        if (access(path.c_str(), R_OK) != 0 && source)
            path = std::string(source) + "/data/texture_text.png";
        registerWindowClass();
        if (!startShow(*demo, false, nullptr, path.c_str(), &made.error)) {
            stopShow(); // before the half-made record goes
            return made;
        }
        made.demo = std::move(demo);
        return made;
    }();
    return s;
}

// The injected music clock: the frame benchmarks set the position themselves.
double gMusicSeconds = 0;
double injectedClock() {
    return gMusicSeconds;
}

// Whole frames of the show at a fixed music position (args: milliseconds), each one
// moving the clock on by one 60 Hz step so the animation runs.
void BM_showFrame(benchmark::State& state) {
    Show& s = show();
    if (!s.demo) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    FrameLoop loop;
    const double start = double(state.range(0)) * 0.001;
    gMusicSeconds = start;
    runFramePass(*s.demo, loop, injectedClock); // settles scene, flags and clock
    for (auto _ : state) {
        gMusicSeconds += 1.0 / 60.0;
        if (gMusicSeconds > start + 1.5)
            gMusicSeconds = start;
        runFramePass(*s.demo, loop, injectedClock);
        glFinish();
    }
}
// Scene 1 (one model, text), scene 6 (four models), scene 8 (four), the end part.
BENCHMARK(BM_showFrame)
    ->Arg(1000)
    ->Arg(50000)
    ->Arg(98000)
    ->Arg(110000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Frames sampled evenly over the whole two minutes: the mean gives frames per second
// over the show (120 s of music time, stepped 0.25 s per frame).
void BM_showFrameWholeShow(benchmark::State& state) {
    Show& s = show();
    if (!s.demo) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    FrameLoop loop;
    gMusicSeconds = 0;
    for (auto _ : state) {
        gMusicSeconds += 0.25;
        if (gMusicSeconds >= 119.9)
            gMusicSeconds = 0;
        runFramePass(*s.demo, loop, injectedClock);
        glFinish();
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_showFrameWholeShow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(480);

// The floor: the same window cleared and presented, nothing drawn.
void BM_clearAndSwap(benchmark::State& state) {
    Show& s = show();
    if (!s.demo) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    for (auto _ : state) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        swapWindowBuffers();
        glFinish();
    }
}
BENCHMARK(BM_clearAndSwap)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace
