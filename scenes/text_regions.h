// The three regions of the 512 x 256 text texture: where the generator writes, where the scenes
// cut.
#pragma once

// A region in texels from the first image row down; right and bottom exclusive.
struct TextRect {
    float left, top, right, bottom;
};

constexpr TextRect kTextRegion1 = {0, 0, 304, 70};    // title
constexpr TextRect kTextRegion2 = {0, 70, 248, 157};  // credits
constexpr TextRect kTextRegion3 = {0, 183, 228, 211}; // closing line
constexpr TextRect kTextRegions[3] = {kTextRegion1, kTextRegion2, kTextRegion3};
