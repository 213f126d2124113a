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

// Where the point samples, seen from the texture's centre: distance and angle, with v
// flipped back so that the angle grows counter-clockwise like the grid's own.
float sampleRadius(const WarpPoint& p) {
    return std::hypot(p.u - 0.5f, 0.5f - p.v);
}
float sampleAngle(const WarpPoint& p) {
    return std::atan2(0.5f - p.v, p.u - 0.5f);
}

float gridX(int column) {
    return float(column) / 64.0f - 0.5f;
}
float gridY(int row) {
    return float(row) / 48.0f - 0.5f;
}

float angleDifference(float a, float b) {
    return std::remainder(a - b, 2.0f * kPi);
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

TEST(WarpGrid, ZoomRunsFromFourAtNoTurnToOneAtHalfTurn) {
    struct Case {
        float turn, zoom;
    } cases[] = {{0.0f, 4.0f}, {kPi / 2, 2.5f}, {kPi, 1.0f}, {2 * kPi, 4.0f}, {-kPi / 3, 3.25f}};
    for (const Case& c : cases) {
        Grid g(c.turn, 0.3f);
        for (int row = 0; row < kWarpRows; row += 4)
            for (int column = 0; column < kWarpColumns; column += 4) {
                const WarpPoint& p = g.at(row, column);
                float r = c.zoom * std::hypot(gridX(column), gridY(row));
                EXPECT_NEAR(sampleRadius(p), r, 2e-5f * (1 + r)) << c.turn;
                EXPECT_NEAR(p.shade, 1.0f / (1.0f + r), 1e-6f) << c.turn;
            }
    }
    // The corners reach far outside the texture, where the mirrored repeat tiles it.
    const WarpPoint corner = Grid(0.0f, 0.0f).at(0, 0);
    EXPECT_NEAR(corner.u, -1.5f, 1e-5f);
    EXPECT_NEAR(corner.v, 2.5f, 1e-5f);
    EXPECT_NEAR(corner.shade, 1.0f / (1.0f + 4.0f * std::sqrt(0.5f)), 1e-6f);
}

TEST(WarpGrid, TurnRotatesEveryPointCounterClockwiseAboutTheCentre) {
    for (float turn : {0.4f, 2.0f, -1.0f}) {
        Grid g(turn, 0.0f);
        for (int row = 0; row < kWarpRows; row += 8)
            for (int column = 0; column < kWarpColumns; column += 8) {
                if (row == 24 && column == 32)
                    continue;
                float expected = std::atan2(gridY(row), gridX(column)) + turn;
                EXPECT_NEAR(angleDifference(sampleAngle(g.at(row, column)), expected), 0, 1e-4f);
            }
    }
    // A point above the centre samples nearer the texture's first row (v below 0.5).
    EXPECT_LT(Grid(0.0f, 0.0f).at(40, 32).v, 0.5f);
}

TEST(WarpGrid, SwirlTwistsTheMiddleMoreThanTheEdges) {
    const float swirl = 0.5f;
    Grid still(0.7f, 0.0f), swirled(0.7f, swirl);
    auto twist = [&](int row, int column) {
        return angleDifference(sampleAngle(swirled.at(row, column)),
                               sampleAngle(still.at(row, column)));
    };
    // The extra angle is cos(x + y) x 3 swirl / (1 + R): positive for a positive swirl.
    float zoom = std::fabs((std::cos(0.7f) + 1) * 0.5f) * 3 + 1;
    float r = zoom * 0.5f;
    EXPECT_NEAR(twist(24, 64), std::cos(0.5f) * 3 * swirl / (1 + r), 1e-5f);
    float inner = twist(24, 36), outer = twist(24, 64);
    EXPECT_GT(inner, outer);
    EXPECT_GT(outer, 0.0f);
    // The swirl turns points without moving them nearer or farther.
    for (int row = 0; row < kWarpRows; row += 12)
        for (int column = 0; column < kWarpColumns; column += 16)
            EXPECT_NEAR(sampleRadius(swirled.at(row, column)), sampleRadius(still.at(row, column)),
                        1e-5f);
    Grid reversed(0.7f, -swirl);
    EXPECT_NEAR(angleDifference(sampleAngle(reversed.at(24, 64)), sampleAngle(still.at(24, 64))),
                -outer, 1e-5f);
}

TEST(WarpGrid, AgreesWithThePlainFormulaAtEveryPoint) {
    // u, v and shade as the warp defines them, one point at a time in double precision.
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
