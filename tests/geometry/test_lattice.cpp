// Tests of the lattice deformation, the scene geometry set-up and the lattice bend.
#include "geometry/lattice.h"
#include "geometry/scene_geometry.h"
#include "mesh_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

void expectVec(Vec3 expected, Vec3 actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// The Bezier volume summed term by term in double: the reference the lattice must match.
Vec3 referencePoint(const Lattice& l, double u, double v, double w) {
    auto weights = [](double t, double out[4]) {
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const double s = 1 - t;
        out[0] = s * s * s;
        out[1] = 3 * t * s * s;
        out[2] = 3 * t * t * s;
        out[3] = t * t * t;
    };
    double U[4], V[4], W[4];
    weights(u, U);
    weights(v, V);
    weights(w, W);
    double sum[3] = {0, 0, 0};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) {
                const Vec3 p = l.points[16 * i + 4 * j + k];
                const double weight = U[i] * V[j] * W[k];
                sum[0] += weight * p.x;
                sum[1] += weight * p.y;
                sum[2] += weight * p.z;
            }
    return {float(sum[0]), float(sum[1]), float(sum[2])};
}

// A small deterministic generator for scattered points and control-point moves.
struct Lcg {
    uint32_t state = 12345;
    float next(float lo, float hi) {
        state = state * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(state >> 8) / float(1u << 24);
    }
};

Lattice boxLattice() {
    Lattice l;
    l.setBox({-2, 1, -3}, {4, 7, 5});
    return l;
}

// A mesh of scattered points inside the box of boxLattice(), on its faces and corners.
std::unique_ptr<Mesh> pointsInBox(int count) {
    Mesh m;
    m.allocate(count, 0);
    Lcg rng;
    for (int n = 0; n < count; ++n)
        m.vertices[n] = {rng.next(-2, 4), rng.next(1, 7), rng.next(-3, 5)};
    m.vertices[0] = {-2, 1, -3};
    m.vertices[1] = {4, 7, 5};
    m.vertices[2] = {4, 3, 0}; // on the +x face
    return std::make_unique<Mesh>(m);
}

TEST(Lattice, NewLatticeIsZeroAndSetBoxSpreadsThePoints) {
    const Lattice zero;
    const Lattice reference{};
    EXPECT_EQ(0, std::memcmp(&zero, &reference, sizeof(Lattice)));
    for (const Vec3& p : zero.points)
        expectVec({0, 0, 0}, p, 0);

    const Lattice l = boxLattice();
    expectVec({6, 6, 8}, l.extent, 0);
    expectVec({-2, 1, -3}, l.min, 0);
    expectVec({4, 7, 5}, l.max, 0);
    expectVec(l.min, l.points[0], 0);
    expectVec({-2, 1, 5}, l.points[3], 0); // the last z layer lies on the face exactly
    expectVec({4, 1, -3}, l.points[48], 1e-5f);
    expectVec({4, 7, 5}, l.points[63], 1e-5f);
    // Index 16 i + 4 j + k: i along x, j along y, k along z.
    expectVec({0, 3, -3 + 8.0f / 3}, l.points[16 + 4 + 1], 1e-5f);
    expectVec({2, 5, -3 + 16.0f / 3}, l.points[32 + 8 + 2], 1e-5f);
}

TEST(Lattice, ToLocalAndEvaluateAtCornersAndClamped) {
    Lattice l = boxLattice();
    expectVec({0, 0, 0}, l.toLocal(l.min), 0);
    expectVec({1, 1, 1}, l.toLocal(l.max), 0);
    expectVec({1.5f, -0.5f, 0.25f}, l.toLocal({7, -2, -1}), 1e-6f); // not clamped

    // Move every point so corners and interior differ from an even spread.
    Lcg rng;
    for (Vec3& p : l.points)
        p = p + Vec3{rng.next(-1, 1), rng.next(-1, 1), rng.next(-1, 1)};
    expectVec(l.points[0], l.evaluate(0, 0, 0), 1e-6f);
    expectVec(l.points[63], l.evaluate(1, 1, 1), 1e-6f);
    expectVec(l.points[48], l.evaluate(1, 0, 0), 1e-6f);
    expectVec(l.points[3], l.evaluate(0, 0, 1), 1e-6f);
    const Vec3 clamped = l.evaluate(2, -1, 0.5f);
    const Vec3 inside = l.evaluate(1, 0, 0.5f);
    EXPECT_EQ(0, std::memcmp(&clamped, &inside, sizeof(Vec3)));

    // Everywhere else it agrees with the term-by-term sum.
    for (int n = 0; n < 200; ++n) {
        const float u = rng.next(0, 1), v = rng.next(0, 1), w = rng.next(0, 1);
        expectVec(referencePoint(l, u, v, w), l.evaluate(u, v, w), 2e-5f);
    }
}

TEST(Lattice, UntouchedLatticeLeavesInsideVerticesWhereTheyWere) {
    const Lattice l = boxLattice();
    const auto src = pointsInBox(500);
    Mesh dest = *src;
    for (Vec3& v : dest.vertices)
        v = {99, 99, 99};
    deformMesh(dest, *src, l);
    for (uint32_t n = 0; n < src->vertexCount; ++n)
        expectVec(src->vertices[n], dest.vertices[n], 1e-5f);
}

TEST(Lattice, MovedPointsCarryInsideVerticesAndLeaveOutsideOnes) {
    Lattice l = boxLattice();
    const Vec3 offset{0.75f, -1.5f, 2.25f};
    for (Vec3& p : l.points)
        p = p + offset;
    const auto src = pointsInBox(300);
    // Outside vertices, each just beyond one face.
    const Vec3 outside[] = {{-2.001f, 3, 0}, {4.001f, 3, 0},  {0, 0.999f, 0},
                            {0, 7.001f, 0},  {0, 3, -3.001f}, {0, 3, 5.001f}};
    for (int n = 0; n < 6; ++n)
        src->vertices[3 + n] = outside[n];
    Mesh dest = *src;
    const Vec3 sentinel{-42, 42, -42};
    for (Vec3& v : dest.vertices)
        v = sentinel;
    deformMesh(dest, *src, l);
    for (uint32_t n = 0; n < src->vertexCount; ++n) {
        if (n >= 3 && n < 9)
            expectVec(sentinel, dest.vertices[n], 0);
        else
            expectVec(src->vertices[n] + offset, dest.vertices[n], 2e-5f);
    }

    // A single moved corner moves the vertex on that corner exactly and every other
    // inside vertex as the term-by-term sum says.
    Lattice bent = boxLattice();
    bent.points[63] = bent.points[63] + Vec3{3, 0, -1};
    bent.points[21] = bent.points[21] + Vec3{0, 2, 0};
    deformMesh(dest, *src, bent);
    expectVec({7, 7, 4}, dest.vertices[1], 1e-5f);
    for (uint32_t n = 9; n < src->vertexCount; ++n) {
        const Vec3 t = bent.toLocal(src->vertices[n]);
        expectVec(referencePoint(bent, t.x, t.y, t.z), dest.vertices[n], 2e-5f);
    }
}

TEST(Lattice, EmptySourceLeavesDestUnchanged) {
    Lattice l = boxLattice();
    l.points[0] = {100, 100, 100};
    Mesh empty;
    empty.allocate(0, 0);
    const auto dest = pointsInBox(10);
    const Mesh before = *dest;
    deformMesh(*dest, empty, l);
    EXPECT_EQ(0, std::memcmp(before.vertices.data(), dest->vertices.data(), 10 * sizeof(Vec3)));
}

class SceneGeometry : public ::testing::Test {
  protected:
    void SetUp() override { setupSceneGeometry(); }
};

TEST_F(SceneGeometry, MeshesAreEqualCopiesAndLatticesEqual) {
    ASSERT_TRUE(gModelMesh && gDeformedMesh && gLattice && gRestLattice);
    EXPECT_EQ(240u, gModelMesh->vertexCount);
    EXPECT_EQ(118u, gModelMesh->faceCount);
    EXPECT_EQ(240u, gDeformedMesh->vertexCount);
    EXPECT_EQ(118u, gDeformedMesh->faceCount);
    EXPECT_EQ(0, std::memcmp(gModelMesh->vertices.data(), gDeformedMesh->vertices.data(),
                             240 * sizeof(Vec3)));
    EXPECT_EQ(gModelMesh->indices, gDeformedMesh->indices);
    EXPECT_NE(gModelMesh->vertices.data(), gDeformedMesh->vertices.data());
    EXPECT_NE(gModelMesh->indices.data(), gDeformedMesh->indices.data());
    EXPECT_EQ(0, std::memcmp(gLattice.get(), gRestLattice.get(), sizeof(Lattice)));
}

TEST_F(SceneGeometry, ControlPointsLieOnTheListedLayers) {
    const float xs[4] = {-21.1846f, -7.1482f, 6.8881f, 20.9245f};
    const float ys[4] = {0.0000033f, 22.7756f, 45.5511f, 68.3267f};
    const float zs[4] = {-16.7732f, -5.5519f, 5.6693f, 16.8906f};
    expectVec({42.1091f, 68.3267f, 33.6638f}, gLattice->extent, 1e-4f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                expectVec({xs[i], ys[j], zs[k]}, gRestLattice->points[16 * i + 4 * j + k], 1e-4f);
}

TEST_F(SceneGeometry, DeformingRightAfterSetUpKeepsTheRestShape) {
    deformMesh(*gDeformedMesh, *gModelMesh, *gLattice);
    for (uint32_t n = 0; n < 240; ++n)
        expectVec(gModelMesh->vertices[n], gDeformedMesh->vertices[n], 1e-4f);
}

TEST(BendLattice, AngleGrowsWithHeightAndSwingsWithMojo) {
    Lattice rest;
    rest.setBox({-1, 0, -1}, {1, 2, 1});
    Lattice dest;
    dest.setBox({5, 5, 5}, {6, 6, 6});
    const Lattice boxBefore = dest;

    // At mojo 0 the swing factor is 0.5: height H turns by 0.5 * 0.08 * 3 * 3.1415 rad.
    bendLattice(dest, rest, 0.0f);
    EXPECT_EQ(0, std::memcmp(&boxBefore, &dest, 3 * sizeof(Vec3))) << "box untouched";
    double lastTurn = -1.0;
    for (int j = 0; j < 4; ++j) {
        const int n = 16 * 3 + 4 * j + 2; // the +x column
        const Vec3 r = rest.points[n];
        const Vec3 d = dest.points[n];
        EXPECT_EQ(r.z, d.z);
        EXPECT_NEAR(std::hypot(r.x, r.y), std::hypot(d.x, d.y), 1e-5);
        const double turn = std::atan2(d.y, d.x) - std::atan2(r.y, r.x);
        EXPECT_NEAR(r.y / 2.0 * 0.5 * 0.08 * 3.0 * 3.1415, turn, 1e-5) << "layer " << j;
        EXPECT_GT(turn, lastTurn);
        lastTurn = turn;
    }
    EXPECT_NEAR(0.376980, lastTurn, 1e-5);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            expectVec(rest.points[16 * i + k], dest.points[16 * i + k], 0); // height 0

    // Half a swing later (0.19634375 mojo = pi) the lattice leans the other way; a quarter
    // swing in, it stands straight.
    bendLattice(dest, rest, 3.1415926f / 0.19634375f);
    const Vec3 top = dest.points[63];
    EXPECT_NEAR(-0.376980, std::atan2(top.y, top.x) - std::atan2(2.0, 1.0), 1e-4);
    bendLattice(dest, rest, 1.5707963f / 0.19634375f);
    for (int n = 0; n < 64; ++n)
        expectVec(rest.points[n], dest.points[n], 1e-5f);
}

TEST_F(SceneGeometry, BentModelStaysClosedAndNonDegenerate) {
    for (float mojo : {0.0f, 4.0f, 16.0f, 123.4f}) {
        bendLattice(*gLattice, *gRestLattice, mojo);
        EXPECT_EQ(0, std::memcmp(gLattice.get(), gRestLattice.get(), 3 * sizeof(Vec3)));
        deformMesh(*gDeformedMesh, *gModelMesh, *gLattice);
        EXPECT_EQ("", meshchecks::closureFault(*gDeformedMesh)) << "mojo " << mojo;
        EXPECT_GT(meshchecks::smallestDoubleArea(*gDeformedMesh), 0.01f) << "mojo " << mojo;
        // The foot barely moves while the apex swings to the side.
        const Vec3 footRest = gModelMesh->vertices[0];
        const Vec3 foot = gDeformedMesh->vertices[0];
        EXPECT_NEAR(footRest.x, foot.x, 1e-3f);
        const Vec3 apexRest = gModelMesh->vertices[38];
        const Vec3 apex = gDeformedMesh->vertices[38];
        const double swing = 0.5 * std::cos(0.19634375 * mojo);
        EXPECT_EQ(swing<-0.05, apex.x> apexRest.x + 1.0f) << "mojo " << mojo;
        EXPECT_EQ(swing > 0.05, apex.x < apexRest.x - 1.0f) << "mojo " << mojo;
    }
    // gModelMesh is never written.
    EXPECT_NEAR(-0.0734f, gModelMesh->vertices[38].x, 1e-4f);
}

} // namespace
