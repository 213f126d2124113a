// The feedback warp: a 65 x 49 point grid of turned, zoomed, swirled texture coordinates.
#include "scenes/feedback_warp.h"
#include <GL/glew.h>
#include <cmath>

namespace {

// The largest swirl angle the series below cover to single precision: |cos(x + y) x 3
// swirl / (1 + R)| never exceeds 3 |swirl|, and the show's swirl stays within 0.5.
constexpr float kSeriesLimit = 1.5f;

// What of a grid point does not depend on turn or swirl, worked out once, one array per
// quantity so the per-frame loop reads them contiguously: distance from the centre, the
// angle with its cosine and sine, and cos(x + y).
struct BaseTable {
    float radius[kWarpRows * kWarpColumns];   // sqrt(x^2 + y^2), grid units
    float angle[kWarpRows * kWarpColumns];    // atan2(y, x), radians
    float cosAngle[kWarpRows * kWarpColumns]; // cos(atan2(y, x))
    float sinAngle[kWarpRows * kWarpColumns]; // sin(atan2(y, x))
    float bend[kWarpRows * kWarpColumns];     // cos(x + y)
    BaseTable() {
        const float rowStep = 1.0f / 48.0f;    // 0.020833334
        const float columnStep = 1.0f / 64.0f; // 0.015625
        for (int r = 0; r < kWarpRows; ++r) {
            float y = float(r) * rowStep - 0.5f;
            for (int c = 0; c < kWarpColumns; ++c) {
                float x = float(c) * columnStep - 0.5f;
                int n = r * kWarpColumns + c;
                radius[n] = std::sqrt(x * x + y * y);
                angle[n] = std::atan2(y, x);
                cosAngle[n] = std::cos(angle[n]);
                sinAngle[n] = std::sin(angle[n]);
                bend[n] = std::cos(x + y);
            }
        }
    }
};

// The constant table, built at start-up, and the grid, recomputed in full by every
// drawFeedbackWarp; both static so no frame allocates.
struct {
    BaseTable base;
    WarpPoint grid[kWarpRows * kWarpColumns];
} state;

// sin and cos of a in [-1.5, 1.5] by their Taylor series to the 13th and 14th power:
// off by less than 1e-7 there, and free of calls, so the grid loop vectorises.
inline void smallSinCos(float a, float& s, float& c) {
    const float a2 = a * a;
    s = a * (1 + a2 * (-1.0f / 6 +
                       a2 * (1.0f / 120 +
                             a2 * (-1.0f / 5040 +
                                   a2 * (1.0f / 362880 +
                                         a2 * (-1.0f / 39916800 + a2 * (1.0f / 6227020800.0f)))))));
    c = 1 + a2 * (-0.5f +
                  a2 * (1.0f / 24 +
                        a2 * (-1.0f / 720 +
                              a2 * (1.0f / 40320 + a2 * (-1.0f / 3628800 +
                                                         a2 * (1.0f / 479001600 +
                                                               a2 * (-1.0f / 87178291200.0f)))))));
}

} // namespace

void computeWarpGrid(WarpPoint* grid, float turn, float swirl) {
    const BaseTable& b = state.base;
    // Zoom 1 at turn = pi up to 4 at turn = 0.
    const float zoom = std::fabs((std::cos(turn) + 1.0f) * 0.5f) * 3.0f + 1.0f;
    const float twist = swirl * 3.0f;
    if (std::fabs(twist) > kSeriesLimit) { // beyond the series: the library's own sine
        for (int n = 0; n < kWarpRows * kWarpColumns; ++n) {
            const float r = zoom * b.radius[n];
            const float d = r + 1.0f;
            const float theta = b.angle[n] + turn + b.bend[n] * twist / d;
            grid[n].u = r * std::cos(theta) + 0.5f;
            grid[n].v = 1.0f - (r * std::sin(theta) + 0.5f);
            grid[n].shade = 1.0f / d;
        }
        return;
    }
    // theta = angle + turn + swirl angle: the first two turn the precomputed direction by
    // one rotation per frame, the swirl angle (strongest at the centre, where d is near 1)
    // goes through the series.
    const float turnCos = std::cos(turn), turnSin = std::sin(turn);
    for (int n = 0; n < kWarpRows * kWarpColumns; ++n) {
        const float r = zoom * b.radius[n];
        const float d = r + 1.0f;
        const float shade = 1.0f / d;
        float swirlSin, swirlCos;
        smallSinCos(b.bend[n] * twist * shade, swirlSin, swirlCos);
        const float turnedCos = b.cosAngle[n] * turnCos - b.sinAngle[n] * turnSin;
        const float turnedSin = b.sinAngle[n] * turnCos + b.cosAngle[n] * turnSin;
        const float thetaCos = turnedCos * swirlCos - turnedSin * swirlSin;
        const float thetaSin = turnedSin * swirlCos + turnedCos * swirlSin;
        grid[n].u = r * thetaCos + 0.5f;
        grid[n].v = 1.0f - (r * thetaSin + 0.5f);
        grid[n].shade = shade;
    }
}

void drawFeedbackWarp(float turn, float swirl) {
    WarpPoint* grid = state.grid;
    computeWarpGrid(grid, turn, swirl);

    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    glColor4f(1, 1, 1, 1);

    const float cellWidth = 0.03125f;      // 2 / 64 screen units
    const float cellHeight = 1.0f / 24.0f; // 2 / 48 screen units
    auto corner = [&](int row, int column) {
        const WarpPoint& p = grid[row * kWarpColumns + column];
        glColor3f(p.shade, p.shade, p.shade);
        glTexCoord2f(p.u, p.v);
        glVertex2f(float(column) * cellWidth - 1.0f, float(row) * cellHeight - 1.0f);
    };
    glBegin(GL_QUADS);
    for (int j = 0; j < kWarpRows - 1; ++j) {
        for (int i = 0; i < kWarpColumns - 1; ++i) {
            // Top-left, bottom-left, bottom-right, top-right: counter-clockwise on screen,
            // so back-face culling left on in the target's context keeps every cell.
            corner(j + 1, i);
            corner(j, i);
            corner(j, i + 1);
            corner(j + 1, i + 1);
        }
    }
    glEnd();

    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}
