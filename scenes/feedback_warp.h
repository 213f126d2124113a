// The swirling background: the previous picture, zoomed, turned and swirled on a grid.
#pragma once

constexpr int kWarpRows = 49;
constexpr int kWarpColumns = 65;

struct WarpPoint {
    float u, v;  // texture coordinates (leave 0..1; the texture repeats mirrored)
    float shade; // grey level, 1 at the centre
};

// Fills grid (49 rows of 65 points, row after row) for the given turn (radians) and swirl.
void computeWarpGrid(WarpPoint* grid, float turn, float swirl);
// Draws the whole -1..1 viewport from the bound texture as 3072 counter-clockwise quads.
void drawFeedbackWarp(float turn, float swirl);
