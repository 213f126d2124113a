// The feedback warp's grid of texture coordinates and shades, computed without GL.
#include "scenes/feedback_warp.h"
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

const float kPi = 3.14159265f;

struct Grid {
    std::vector<WarpPoint> points = std::vector<WarpPoint>(kWarpRows * kWarpColumns);
    Grid(float turn, float swirl) { computeWarpGrid(points.data(), turn, swirl); }
    const WarpPoint& at(int row, int column) const { return points[row * kWarpColumns + column]; }
};

// How far from the texture's centre the point samples.
float sampleRadius(const WarpPoint& p) {
    return std::hypot(p.u - 0.5f, 0.5f - p.v);
}
float gridX(int column) {
    return float(column) / 64.0f - 0.5f;
}
float gridY(int row) {
    return float(row) / 48.0f - 0.5f;
}

} // namespace

TEST(WarpGrid, CentreAlwaysSamplesTheMiddleAtFullShade) {
    for (float turn : {0.0f, 1.0f, kPi, 17.3f})
        for (float swirl : {-0.5f, 0.0f, 0.5f}) {
            const WarpPoint p = Grid(turn, swirl).at(24, 32);
            EXPECT_FLOAT_EQ(p.u, 0.5f) << turn << " " << swirl;
            EXPECT_FLOAT_EQ(p.v, 0.5f) << turn << " " << swirl;
            EXPECT_FLOAT_EQ(p.shade, 1.0f) << turn << " " << swirl;
        }
}

TEST(WarpGrid, HalfTurnWithoutSwirlMirrorsTheRightEdgeOntoTheLeftOfTheTexture) {
    Grid g(kPi, 0.0f);
    const WarpPoint& right = g.at(24, 64); // x = 0.5, y = 0
    EXPECT_NEAR(right.u, 0.0f, 1e-6f);
    EXPECT_NEAR(right.v, 0.5f, 1e-6f);
    EXPECT_NEAR(right.shade, 2.0f / 3.0f, 1e-6f);
    // No zoom at a half turn: every point samples at its own distance from the centre.
    for (int row = 0; row < kWarpRows; row += 6)
        for (int column = 0; column < kWarpColumns; column += 8)
            EXPECT_NEAR(sampleRadius(g.at(row, column)), std::hypot(gridX(column), gridY(row)),
                        1e-5f);
}

TEST(WarpGrid, NoTurnZoomsByFourAndTheCornersSampleFarOutside) {
    const WarpPoint corner = Grid(0.0f, 0.0f).at(0, 0); // x = y = -0.5, R = 4 sqrt(0.5)
    EXPECT_NEAR(corner.u, -1.5f, 1e-5f);
    EXPECT_NEAR(corner.v, 2.5f, 1e-5f);
    EXPECT_NEAR(corner.shade, 1.0f / (1.0f + 4.0f * std::sqrt(0.5f)), 1e-6f);
    // A point above the centre samples nearer the texture's first row (v below 0.5).
    EXPECT_LT(Grid(0.0f, 0.0f).at(40, 32).v, 0.5f);
}

TEST(WarpGrid, AgreesWithThePlainFormulaAtEveryPoint) {
    // u, v and shade as the warp defines them, one point at a time in double precision:
    // zoom, turn, swirl and its fading outwards, for swirls inside and beyond the show's.
    for (float turn : {0.0f, 0.3f, 2.5f, kPi, 40.0f, -7.0f})
        for (float swirl : {-0.5f, -0.2f, 0.0f, 0.37f, 0.5f, 0.9f, -2.0f}) {
            Grid g(turn, swirl);
            double zoom = std::fabs((std::cos(double(turn)) + 1) * 0.5) * 3 + 1;
            double worst = 0;
            for (int row = 0; row < kWarpRows; ++row)
                for (int column = 0; column < kWarpColumns; ++column) {
                    double x = gridX(column), y = gridY(row);
                    double r = zoom * std::sqrt(x * x + y * y), d = r + 1;
                    double theta = std::atan2(y, x) + turn + std::cos(x + y) * swirl * 3 / d;
                    const WarpPoint& p = g.at(row, column);
                    worst = std::max({worst, std::fabs(p.u - (r * std::cos(theta) + 0.5)),
                                      std::fabs(p.v - (1 - (r * std::sin(theta) + 0.5))),
                                      std::fabs(p.shade - 1 / d)});
                }
            EXPECT_LT(worst, 2e-5) << "turn " << turn << ", swirl " << swirl;
        }
}
