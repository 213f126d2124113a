// The feedback warp: a 65 x 49 point grid of turned, zoomed, swirled texture coordinates.
#include "scenes/feedback_warp.h"
#include <GL/glew.h>
#include <cmath>

namespace {

// What of a grid point does not depend on turn or swirl, worked out once: its distance
// from the centre, its angle and cos(x + y). The per-frame work is then one multiply,
// one divide and one sine/cosine pair per point.
struct WarpBase {
    float radius; // sqrt(x^2 + y^2), grid units
    float angle;  // atan2(y, x), radians
    float bend;   // cos(x + y)
};

struct BaseTable {
    WarpBase points[kWarpRows * kWarpColumns];
    BaseTable() {
        const float rowStep = 1.0f / 48.0f;    // 0.020833334
        const float columnStep = 1.0f / 64.0f; // 0.015625
        for (int r = 0; r < kWarpRows; ++r) {
            float y = float(r) * rowStep - 0.5f;
            for (int c = 0; c < kWarpColumns; ++c) {
                float x = float(c) * columnStep - 0.5f;
                WarpBase& p = points[r * kWarpColumns + c];
                p.radius = std::sqrt(x * x + y * y);
                p.angle = std::atan2(y, x);
                p.bend = std::cos(x + y);
            }
        }
    }
};

const BaseTable& baseTable() {
    static const BaseTable table;
    return table;
}

// Recomputed in full by every drawFeedbackWarp; static so no frame allocates.
static struct { WarpPoint grid[kWarpRows * kWarpColumns]; } state;

} // namespace

void computeWarpGrid(WarpPoint* grid, float turn, float swirl) {
    const WarpBase* base = baseTable().points;
    // Zoom 1 at turn = pi up to 4 at turn = 0.
    const float zoom = std::fabs((std::cos(turn) + 1.0f) * 0.5f) * 3.0f + 1.0f;
    const float twist = swirl * 3.0f;
    for (int n = 0; n < kWarpRows * kWarpColumns; ++n) {
        const WarpBase& b = base[n];
        const float r = zoom * b.radius;
        const float d = r + 1.0f;
        // The swirl is strongest at the centre (d near 1) and dies away outwards.
        const float theta = b.angle + turn + b.bend * twist / d;
        float s, c;
        sincosf(theta, &s, &c);
        grid[n].u = r * c + 0.5f;
        grid[n].v = 1.0f - (r * s + 0.5f);
        grid[n].shade = 1.0f / d;
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
