// A live show for GL tests: window, targets, a colour-coded text texture, geometry, and
// read-back of the window and of the render targets.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DemoState;

// Colours of the three text regions in the test texture; no scene can mix them, since
// each needs two channels at full strength and the third at zero.
constexpr uint8_t kRegion1Colour[3] = {0, 255, 255}; // cyan
constexpr uint8_t kRegion2Colour[3] = {255, 0, 255}; // magenta
constexpr uint8_t kRegion3Colour[3] = {255, 255, 0}; // yellow

// RGBA pixels, row 0 at the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
    // Pixels in [x0, x1) x [y0, y1) for which test holds.
    template <class Test> int count(int x0, int y0, int x1, int y1, Test test) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += test(at(x, y)) ? 1 : 0;
        return n;
    }
};

// Opens the window (1024 x 768, smoothing on as the show's start-up leaves it), sets up
// the targets and the text texture, builds the scene geometry. Once per process; null
// with the reason in *error when any of it fails.
DemoState* openShow(std::string* error);
// The window's back buffer as drawn so far (call before it is presented).
Picture readWindow();
// The back-left buffer of render target which (1 to 3).
Picture readTarget(DemoState& state, int which, int width, int height);
// GL errors raised since the last call in the window's context and every target's.
std::vector<std::string> takeGlErrors(DemoState& state);

inline bool isColour(const uint8_t* p, const uint8_t* colour, int tolerance = 8) {
    for (int c = 0; c < 3; ++c)
        if (p[c] + tolerance < colour[c] || p[c] > colour[c] + tolerance)
            return false;
    return true;
}
