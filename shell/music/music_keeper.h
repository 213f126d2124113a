// The music's keeper: a step (keepPlayer on the show's player) run every 20 ms away from
// the frame loop, on a thread of its own on the desktop and from the browser's timer on
// the web, where there are no threads.
#pragma once

// Runs step every 20 ms until stopKeeper; a keeper already running is stopped first.
void startKeeper(void (*step)());
// Ends the keeper, waiting for a step under way, so the caller controls the output alone.
// Safe when none runs.
void stopKeeper();
