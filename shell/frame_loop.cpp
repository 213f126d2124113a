// One pass of the frame loop: event, music clock, steps and mojo, schedule, render, swap.
#include "shell/frame_loop.h"
#include "render/gl_debug.h"
#include "shell/demo_state.h"
#include "shell/dispatch.h"
#include "shell/gl_window.h"
#include "shell/schedule.h"

bool runFramePass(DemoState& state, FrameLoop& loop, MusicClock musicClock) {
    pumpMessage();
    float u = float(musicClock());
    advanceFrameClock(loop.clock, u, state.ticks);
    state.time = float(musicClock()); // a second reading; the schedule keeps the first
    applySchedule(state, u, loop.runFinished);
    state.mojo = frameMojo(loop.clock);
    renderFrame(state);
    checkGlErrors("the window's context");
    if (loop.beforeSwap)
        loop.beforeSwap(state);
    swapWindowBuffers();
    return !loop.runFinished && isRunning();
}
