// The main part: bent model and copies over the feedback background, flashes, text.
#pragma once

struct DemoState;

void renderMainPart(DemoState& state);
// Sets the flash counter back to its program-start value (a full flash on the next frame).
void resetMainPart();
