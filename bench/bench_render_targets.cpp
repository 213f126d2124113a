// Cost of switching between the window's and a target's context, and of a
// beginRender/endRender pair, on whatever GL driver the display offers.
#include "render/render_target.h"
#include "scenes/draw_helpers.h"
#include "shell/demo_state.h"
#include "shell/gl_window.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

struct {
    RenderTarget target; // 1024 x 512, the size of the main picture
} bench;

// One switch to the target's context and one back: two switches an iteration.
void contextSwitchPair(benchmark::State& state) {
    SDL_Window* window = glWindowHandle();
    SDL_GLContext windowContext = SDL_GL_GetCurrentContext();
    SDL_GLContext targetContext = bench.target.context;
    for (auto _ : state) {
        SDL_GL_MakeCurrent(window, targetContext);
        SDL_GL_MakeCurrent(window, windowContext);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(contextSwitchPair);

// beginRender/endRender with nothing drawn (range 0) or the whole target cleared (1).
void beginEndPair(benchmark::State& state) {
    bool clear = state.range(0) != 0;
    for (auto _ : state) {
        bench.target.beginRender(GL_BACK_LEFT);
        if (clear)
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        bench.target.endRender();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(beginEndPair)->Arg(0)->Arg(1);

// A whole frame's use of a target: drawn in its own context, then sampled by a quad in
// the window's context, then drawn into again next iteration, so both hazards (drawing
// before sampling, sampling before redrawing) are fenced every iteration.
void drawThenSample(benchmark::State& state) {
    for (auto _ : state) {
        bench.target.beginRender(GL_BACK_LEFT);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        bench.target.endRender();
        bench.target.bindTexture(kTargetBackLeft);
        drawTexturedQuad(1);
        bench.target.releaseTexture();
    }
    glFinish();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(drawThenSample);

// The same pair when the driver lacks fence syncs and endRender falls back to glFinish.
void beginEndPairWithoutSyncs(benchmark::State& state) {
    RenderTarget target;
    bool core = __GLEW_VERSION_3_2, arb = __GLEW_ARB_sync;
    __GLEW_VERSION_3_2 = __GLEW_ARB_sync = GL_FALSE;
    bool made = target.create(1024, 512);
    __GLEW_VERSION_3_2 = core;
    __GLEW_ARB_sync = arb;
    if (!made) {
        state.SkipWithError("no render target");
        return;
    }
    for (auto _ : state) {
        target.beginRender(GL_BACK_LEFT);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        target.endRender();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(beginEndPairWithoutSyncs);

} // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!createGlWindow(kPictureSize.width, kPictureSize.height, false, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::string why;
    if (!bench.target.create(1024, 512, &why)) {
        fprintf(stderr, "render target: %s\n", why.c_str());
        return 1;
    }
    fprintf(stderr, "GL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    bench.target.destroy();
    destroyGlWindow();
    return 0;
}
