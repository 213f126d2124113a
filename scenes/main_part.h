// The main part: bent model and copies over the feedback background, flashes, text.
#pragma once

struct DemoState;

void renderMainPart(DemoState& state);
