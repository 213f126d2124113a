// The script: which scene, renderer and camera variant at which music time.
#pragma once

struct DemoState;

// Sets scene, part and variant for music time u (seconds) or, from 120 s on, sets
// runFinished and leaves the state as it was.
void applySchedule(DemoState& state, float u, bool& runFinished);
