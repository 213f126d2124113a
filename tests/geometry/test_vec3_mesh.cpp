// Tests of the vector helpers, the cubic weights and the mesh record operations.
#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectVec(Vec3 e, Vec3 a, float tol = 0.0f) {
    EXPECT_NEAR(e.x, a.x, tol);
    EXPECT_NEAR(e.y, a.y, tol);
    EXPECT_NEAR(e.z, a.z, tol);
}

TEST(VectorMath, ClampMinMaxCrossNormalize) {
    EXPECT_EQ(1.0f, clamp(5, 0, 1));
    EXPECT_EQ(0.0f, clamp(-2, 0, 1));
    EXPECT_EQ(0.25f, clamp(0.25f, 0, 1));
    EXPECT_EQ(3.0f, clamp(2, 3, 1)); // crossed bounds: the lower test comes first
    expectVec({1, 0, -2}, minPerAxis({1, 5, -2}, {3, 0, -2}));
    expectVec({3, 5, -2}, maxPerAxis({1, 5, -2}, {3, 0, -2}));
    EXPECT_TRUE(std::signbit(minPerAxis({0.0f, 0, 0}, {-0.0f, 0, 0}).x)); // tie: b wins
    expectVec({0, 0, 1}, cross({1, 0, 0}, {0, 1, 0}));
    expectVec({-3, 6, -3}, cross({1, 2, 3}, {4, 5, 6}));
    expectVec({0.6f, 0, 0.8f}, normalize({3, 0, 4}), 1e-7f);
    expectVec({0, 0, 0}, normalize({0, 0, 0}));
}

TEST(VectorMath, InsideBoxCountsFacesAndRejectsEachSideBeyond) {
    const float lo[3] = {-1, -2, -3}, hi[3] = {1, 2, 3};
    for (int axis = 0; axis < 3; ++axis)
        for (const float* bound : {lo, hi}) {
            float p[3] = {0, 0, 0};
            p[axis] = bound[axis];
            EXPECT_TRUE(insideBox({-1, -2, -3}, {1, 2, 3}, {p[0], p[1], p[2]}));
            p[axis] = std::nextafter(bound[axis], bound == lo ? -INFINITY : INFINITY);
            EXPECT_FALSE(insideBox({-1, -2, -3}, {1, 2, 3}, {p[0], p[1], p[2]}));
        }
}

TEST(CubicWeights, PinnedValuesClampingAndReproduction) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(i == 0 ? 1.0f : 0.0f, cubicWeights(-3).w[i]);
        EXPECT_EQ(i == 3 ? 1.0f : 0.0f, cubicWeights(7).w[i]);
        EXPECT_EQ(i == 0 || i == 3 ? 0.125f : 0.375f, cubicWeights(0.5f).w[i]);
    }
    // Partition of unity and reproduction of evenly spaced values (sum W[i] i/3 = t):
    // the lattice's identity deformation rests on both.
    for (float t = 0; t <= 1; t += 0.05f) {
        const CubicWeights w = cubicWeights(t);
        EXPECT_NEAR(1.0, w.w[0] + w.w[1] + w.w[2] + w.w[3], 1e-6);
        EXPECT_NEAR(t, (w.w[1] + 2 * w.w[2] + 3 * w.w[3]) / 3.0, 1e-6);
    }
}

TEST(Mesh, AllocateAndFromArraysKeepLow16BitsOfCorners) {
    Mesh m;
    m.allocate(5, 3);
    m.vertices[4] = {1, 2, 3};
    m.allocate(4, 2); // re-sizing keeps nothing of the earlier contents
    EXPECT_EQ(2u, m.faceNormalCount);
    ASSERT_EQ(4u, m.vertices.size());
    ASSERT_EQ(6u, m.indices.size());
    ASSERT_EQ(2u, m.faceNormals.size());
    expectVec({0, 0, 0}, m.vertices[3]);

    const float positions[] = {1, 2, 3, -4, -5, -6};
    const int32_t corners[] = {0, 65537, -65535, 1, 0, 65535 + 65536 * 4};
    const auto mesh = meshFromArrays(2, positions, 2, corners);
    EXPECT_EQ(2u, mesh->vertexCount);
    expectVec({-4, -5, -6}, mesh->vertices[1]);
    const std::vector<uint16_t> expected = {0, 1, 1, 1, 0, 65535};
    EXPECT_EQ(expected, mesh->indices);
}

TEST(Mesh, CloneSharesNothingAndBoundsAreTheTrueBox) {
    const float positions[] = {20000, -20000, 5, 30000, -10000, 4, 25000, -30000, 6};
    const int32_t corners[] = {0, 2, 1};
    auto src = meshFromArrays(3, positions, 1, corners);
    src->faceNormals[0] = {0, 0, 1};
    auto copy = cloneMesh(*src);
    EXPECT_EQ(src->indices, copy->indices);
    expectVec({0, 0, 1}, copy->faceNormals[0]);
    copy->vertices[1] = {-1, -1, -1};
    copy->indices[0] = 2;
    expectVec({30000, -10000, 4}, src->vertices[1]);
    EXPECT_EQ(0u, src->indices[0]);

    const Bounds b = meshBounds(*src); // beyond both of the old start values
    expectVec({20000, -30000, 4}, b.min);
    expectVec({30000, -10000, 6}, b.max);
    const float below[] = {-1, -2, -3};
    const Bounds one = meshBounds(*meshFromArrays(1, below, 0, nullptr));
    expectVec({-1, -2, -3}, one.min);
    expectVec({-1, -2, -3}, one.max);
    const Bounds empty = meshBounds(Mesh{});
    expectVec({0, 0, 0}, empty.min);
    expectVec({0, 0, 0}, empty.max);
}

} // namespace
