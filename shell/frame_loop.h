// One pass of the frame loop, with the music clock as a parameter (tests inject theirs).
#pragma once
#include "shell/frame_clock.h"

struct DemoState;

// Playback position in seconds (whole milliseconds times 0.001f, formed in double).
using MusicClock = double (*)();

struct FrameLoop {
    FrameClock clock;
    bool runFinished = false;
    // Called after the frame is rendered and before it is presented (tests read it back).
    void (*beforeSwap)(DemoState& state) = nullptr;
};

// Pumps one event, reads the clock, advances ticks and mojo, applies the schedule,
// renders and presents. Returns false once the loop is to end (the frame that saw the
// end of the schedule or a quit request has been presented).
bool runFramePass(DemoState& state, FrameLoop& loop, MusicClock musicClock);
