// The end part: the model alone, turning on dark red, under two text panels.
#pragma once

struct DemoState;

void renderEndPart(DemoState& state);
