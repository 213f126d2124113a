// The frame dispatch: change flags against the previous frame, then the renderer of the part.
#pragma once

struct DemoState;

// Sets the three change flags against the previous call's scene, part and variant
// (-1 before the first call) and remembers the current ones.
void updateChangeFlags(DemoState& state);
// Forgets the previous frame's values, as at program start.
void resetChangeFlags();
// Change flags, the renderer that part selects (0 main part, 3 end part), frame count.
void renderFrame(DemoState& state);
