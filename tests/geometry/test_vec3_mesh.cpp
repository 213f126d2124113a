// Tests of the vector helpers, the cubic weights and the mesh record operations.
#include "geometry/mesh.h"
#include "geometry/vec3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

void expectVec(Vec3 expected, Vec3 actual, float tolerance = 0.0f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

TEST(VectorMath, ClampTestsLowerBoundFirstAndKeepsBoundValues) {
    EXPECT_EQ(1.0f, clamp(5.0f, 0.0f, 1.0f));
    EXPECT_EQ(0.0f, clamp(-2.0f, 0.0f, 1.0f));
    EXPECT_EQ(0.25f, clamp(0.25f, 0.0f, 1.0f));
    EXPECT_EQ(1.0f, clamp(1.0f, 0.0f, 1.0f));
    EXPECT_EQ(0.0f, clamp(0.0f, 0.0f, 1.0f));
    // With crossed bounds the order of the two tests decides the result.
    EXPECT_EQ(3.0f, clamp(2.0f, 3.0f, 1.0f));
    EXPECT_EQ(1.0f, clamp(5.0f, 3.0f, 1.0f));
}

TEST(VectorMath, PerAxisMinMaxCrossNormalize) {
    expectVec({1, 0, -2}, minPerAxis({1, 5, -2}, {3, 0, -2}));
    expectVec({3, 5, -2}, maxPerAxis({1, 5, -2}, {3, 0, -2}));
    // On a tie the second argument wins (visible through the sign of zero).
    EXPECT_TRUE(std::signbit(minPerAxis({0.0f, 0, 0}, {-0.0f, 0, 0}).x));
    EXPECT_TRUE(std::signbit(maxPerAxis({0.0f, 0, 0}, {-0.0f, 0, 0}).x));

    expectVec({0, 0, 1}, cross({1, 0, 0}, {0, 1, 0}));
    expectVec({0, 0, -1}, cross({0, 1, 0}, {1, 0, 0}));
    expectVec({-3, 6, -3}, cross({1, 2, 3}, {4, 5, 6}));

    expectVec({0.6f, 0, 0.8f}, normalize({3, 0, 4}), 1e-7f);
    const Vec3 n = normalize({-2, 7, 0.5f});
    EXPECT_NEAR(1.0f, n.x * n.x + n.y * n.y + n.z * n.z, 1e-6f);
    EXPECT_LT(n.x, 0.0f);
    expectVec({0, 0, 0}, normalize({0, 0, 0}));
}

TEST(VectorMath, InsideBoxCountsFacesAndRejectsEachSideBeyond) {
    const float low[3] = {-1, -2, -3};
    const float high[3] = {1, 2, 3};
    const Vec3 lo{low[0], low[1], low[2]};
    const Vec3 hi{high[0], high[1], high[2]};
    EXPECT_TRUE(insideBox(lo, hi, {0, 0, 0}));
    EXPECT_TRUE(insideBox(lo, hi, lo));
    EXPECT_TRUE(insideBox(lo, hi, hi));
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            float p[3] = {0, 0, 0};
            const float bound = side == 0 ? low[axis] : high[axis];
            p[axis] = bound;
            EXPECT_TRUE(insideBox(lo, hi, {p[0], p[1], p[2]})) << "face " << axis << side;
            p[axis] = std::nextafter(bound, side == 0 ? -INFINITY : INFINITY);
            EXPECT_FALSE(insideBox(lo, hi, {p[0], p[1], p[2]})) << "beyond " << axis << side;
        }
    }
}

TEST(CubicWeights, PinnedValuesClampingAndReproduction) {
    const CubicWeights w0 = cubicWeights(0.0f);
    const CubicWeights wHalf = cubicWeights(0.5f);
    const CubicWeights w1 = cubicWeights(1.0f);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(i == 0 ? 1.0f : 0.0f, w0.w[i]);
        EXPECT_EQ(i == 3 ? 1.0f : 0.0f, w1.w[i]);
        EXPECT_EQ((i == 0 || i == 3) ? 0.125f : 0.375f, wHalf.w[i]);
        EXPECT_EQ(w0.w[i], cubicWeights(-3.0f).w[i]);
        EXPECT_EQ(w1.w[i], cubicWeights(7.0f).w[i]);
    }
    // The weights sum to 1 and reproduce evenly spaced values: sum W[i] i/3 = t. The
    // lattice's identity deformation rests on both.
    for (int n = 0; n <= 20; ++n) {
        const float t = n / 20.0f;
        const CubicWeights w = cubicWeights(t);
        double sum = 0.0;
        double mean = 0.0;
        for (int i = 0; i < 4; ++i) {
            EXPECT_GE(w.w[i], 0.0f);
            sum += w.w[i];
            mean += w.w[i] * i / 3.0;
        }
        EXPECT_NEAR(1.0, sum, 1e-6) << t;
        EXPECT_NEAR(t, mean, 1e-6) << t;
    }
    EXPECT_GT(cubicWeights(0.25f).w[1], cubicWeights(0.25f).w[2]);
}

TEST(Mesh, AllocateSizesAndZeroesEveryArray) {
    Mesh empty;
    empty.allocate(0, 0);
    EXPECT_EQ(0u, empty.vertexCount);
    EXPECT_EQ(0u, empty.faceCount);
    EXPECT_EQ(0u, empty.faceNormalCount);
    EXPECT_TRUE(empty.vertices.empty() && empty.indices.empty() && empty.faceNormals.empty());

    Mesh mesh;
    mesh.allocate(5, 3);
    mesh.vertices[4] = {1, 2, 3};
    mesh.allocate(4, 2); // re-sizing leaves nothing of the earlier contents
    EXPECT_EQ(4u, mesh.vertexCount);
    EXPECT_EQ(2u, mesh.faceCount);
    EXPECT_EQ(2u, mesh.faceNormalCount);
    ASSERT_EQ(4u, mesh.vertices.size());
    ASSERT_EQ(6u, mesh.indices.size());
    ASSERT_EQ(2u, mesh.faceNormals.size());
    for (const Vec3& v : mesh.vertices)
        expectVec({0, 0, 0}, v);
    for (const Vec3& v : mesh.faceNormals)
        expectVec({0, 0, 0}, v);
    for (uint16_t i : mesh.indices)
        EXPECT_EQ(0u, i);
}

TEST(Mesh, FromArraysCopiesPositionsAndKeepsLow16BitsOfCorners) {
    const float positions[] = {1, 2, 3, -4, -5, -6, 7.5f, 8.25f, -9.125f};
    const int32_t corners[] = {0, 65537, 2, 2, 1, -1 + 65536 * 3};
    const auto mesh = meshFromArrays(3, positions, 2, corners);
    ASSERT_EQ(3u, mesh->vertexCount);
    ASSERT_EQ(2u, mesh->faceCount);
    EXPECT_EQ(2u, mesh->faceNormalCount);
    expectVec({1, 2, 3}, mesh->vertices[0]);
    expectVec({-4, -5, -6}, mesh->vertices[1]);
    expectVec({7.5f, 8.25f, -9.125f}, mesh->vertices[2]);
    const uint16_t expected[] = {0, 1, 2, 2, 1, 65535};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(expected[c], mesh->indices[c]) << c;
    const int32_t negative[] = {-65535, 0, 0};
    EXPECT_EQ(1u, meshFromArrays(1, positions, 1, negative)->indices[0]);
    for (const Vec3& n : mesh->faceNormals)
        expectVec({0, 0, 0}, n);
}

TEST(Mesh, CloneSharesNothingWithItsSource) {
    const float positions[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const int32_t corners[] = {0, 2, 1};
    auto src = meshFromArrays(3, positions, 1, corners);
    src->faceNormals[0] = {0, 0, 1};
    auto copy = cloneMesh(*src);
    ASSERT_EQ(src->vertexCount, copy->vertexCount);
    ASSERT_EQ(src->faceCount, copy->faceCount);
    EXPECT_EQ(src->faceNormalCount, copy->faceNormalCount);
    EXPECT_EQ(0, std::memcmp(src->vertices.data(), copy->vertices.data(), 3 * sizeof(Vec3)));
    EXPECT_EQ(src->indices, copy->indices);
    expectVec({0, 0, 1}, copy->faceNormals[0]);
    EXPECT_NE(src->vertices.data(), copy->vertices.data());
    EXPECT_NE(src->indices.data(), copy->indices.data());

    copy->vertices[1] = {-1, -1, -1};
    copy->indices[0] = 2;
    copy->faceNormals[0] = {1, 0, 0};
    expectVec({4, 5, 6}, src->vertices[1]);
    EXPECT_EQ(0u, src->indices[0]);
    expectVec({0, 0, 1}, src->faceNormals[0]);
    // The clone outlives its source.
    src.reset();
    expectVec({7, 8, 9}, copy->vertices[2]);
}

TEST(Mesh, BoundsAreTheTrueBoxOnEveryAxis) {
    const float below[] = {-1, -2, -3};
    const Bounds b1 = meshBounds(*meshFromArrays(1, below, 0, nullptr));
    expectVec({-1, -2, -3}, b1.min);
    expectVec({-1, -2, -3}, b1.max);

    const float above[] = {1, 2, 3};
    const Bounds b2 = meshBounds(*meshFromArrays(1, above, 0, nullptr));
    expectVec({1, 2, 3}, b2.min);
    expectVec({1, 2, 3}, b2.max);

    const float far[] = {20000, -20000, 5, 30000, -10000, 4, 25000, -30000, 6};
    const Bounds b3 = meshBounds(*meshFromArrays(3, far, 0, nullptr));
    expectVec({20000, -30000, 4}, b3.min);
    expectVec({30000, -10000, 6}, b3.max);

    Mesh empty;
    empty.allocate(0, 0);
    const Bounds b4 = meshBounds(empty);
    expectVec({0, 0, 0}, b4.min);
    expectVec({0, 0, 0}, b4.max);
}

} // namespace
