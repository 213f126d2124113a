// Where a picture of fixed aspect goes in a drawable of any size: pure arithmetic, shared by
// the window and the capture tool's video frames.
#pragma once

// A rectangle of the drawable in pixels, from its bottom-left corner.
struct PictureArea {
    int x, y, width, height;
};

// The largest centred area with the picture's aspect (width : height) in a drawable: the
// whole drawable when the two match, bars left and right or above and below otherwise.
PictureArea pictureArea(int drawableWidth, int drawableHeight, int width, int height);
