// Tests of the embedded model, the lattice deformation, the scene set-up and the bend.
#include "geometry/model_data.h"
#include "geometry/scene_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

namespace {

void expectVec(Vec3 e, Vec3 a, float tol) {
    EXPECT_NEAR(e.x, a.x, tol);
    EXPECT_NEAR(e.y, a.y, tol);
    EXPECT_NEAR(e.z, a.z, tol);
}

Vec3 faceCross(const Mesh& m, uint32_t f) {
    const Vec3 a = m.vertices[m.indices[3 * f]];
    return cross(m.vertices[m.indices[3 * f + 1]] - a, m.vertices[m.indices[3 * f + 2]] - a);
}

// Vertices are not shared between polygons, so edges are matched by position: a closed,
// consistently wound surface uses every directed edge once and its reverse once. Also
// checks that no triangle is degenerate.
void expectClosedAndSolid(const Mesh& m) {
    using Point = std::tuple<float, float, float>;
    std::map<std::pair<Point, Point>, int> edges;
    for (uint32_t f = 0; f < m.faceCount; ++f) {
        const Vec3 n = faceCross(m, f);
        EXPECT_GT(n.x * n.x + n.y * n.y + n.z * n.z, 1e-4f) << "triangle " << f;
        for (int e = 0; e < 3; ++e) {
            const Vec3 a = m.vertices[m.indices[3 * f + e]];
            const Vec3 b = m.vertices[m.indices[3 * f + (e + 1) % 3]];
            ++edges[{{a.x, a.y, a.z}, {b.x, b.y, b.z}}];
        }
    }
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(1, count);
        const auto reverse = edges.find({edge.second, edge.first});
        EXPECT_TRUE(reverse != edges.end() && reverse->second == 1);
    }
}

// The Bezier volume summed term by term in double: the reference the lattice must match.
Vec3 referencePoint(const Lattice& l, Vec3 t) {
    double U[4], V[4], W[4], sum[3] = {0, 0, 0};
    for (auto [param, out] : {std::pair{t.x, U}, {t.y, V}, {t.z, W}}) {
        const double p = std::fmin(1.0, std::fmax(0.0, param)), s = 1 - p;
        out[0] = s * s * s, out[1] = 3 * p * s * s, out[2] = 3 * p * p * s, out[3] = p * p * p;
    }
    for (int n = 0; n < 64; ++n) {
        const double weight = U[n / 16] * V[n / 4 % 4] * W[n % 4];
        sum[0] += weight * l.points[n].x;
        sum[1] += weight * l.points[n].y;
        sum[2] += weight * l.points[n].z;
    }
    return {float(sum[0]), float(sum[1]), float(sum[2])};
}

// Deterministic scatter: n points in the box of boxLattice(), its two far corners first.
Mesh scatter(int count) {
    Mesh m;
    m.allocate(count, 0);
    uint32_t state = 12345;
    auto next = [&](float lo, float hi) {
        state = state * 1664525u + 1013904223u;
        return lo + (hi - lo) * float(state >> 8) / float(1u << 24);
    };
    for (Vec3& v : m.vertices)
        v = {next(-2, 4), next(1, 7), next(-3, 5)};
    m.vertices[0] = {-2, 1, -3};
    m.vertices[1] = {4, 7, 5};
    return m;
}

Lattice boxLattice() {
    Lattice l;
    l.setBox({-2, 1, -3}, {4, 7, 5});
    return l;
}

TEST(ModelData, LayoutWindingClosureAndBounds) {
    const auto m = meshFromArrays(240, kModelVertices, 118, kModelFaces);
    EXPECT_EQ(std::set<int32_t>(kModelFaces, kModelFaces + 354).size(), 240u);
    EXPECT_EQ(0, *std::min_element(kModelFaces, kModelFaces + 354));
    EXPECT_EQ(239, *std::max_element(kModelFaces, kModelFaces + 354));
    const std::vector<uint16_t> head(m->indices.begin(), m->indices.begin() + 12);
    EXPECT_EQ((std::vector<uint16_t>{0, 2, 1, 0, 3, 2, 4, 6, 5, 4, 7, 6}), head);
    const std::vector<uint16_t> tail(m->indices.end() - 6, m->indices.end());
    EXPECT_EQ((std::vector<uint16_t>{234, 238, 237, 234, 239, 238}), tail);
    expectVec({1.1399f, 3.3643e-06f, -2.51655f}, m->vertices[0], 1e-4f);
    expectVec({2.40984f, 3.38821e-06f, 0.130048f}, m->vertices[1], 1e-4f);
    expectVec({2.40984f, 10.0056f, 0.130048f}, m->vertices[2], 1e-4f);
    expectVec({-0.0734f, 68.3267f, 0.0501f}, m->vertices[38], 1e-4f); // side 0's apex

    // Outwards: away from the y axis on sides and cone, straight down on the cap.
    for (uint32_t f = 0; f < 118; ++f) {
        const Vec3 n = faceCross(*m, f);
        const Vec3 a = m->vertices[m->indices[3 * f]];
        if (f < 114)
            EXPECT_GT(n.x * a.x + n.z * a.z, 0.0f) << "triangle " << f;
        else
            EXPECT_TRUE(n.y < 0 && n.x == 0 && n.z == 0) << "cap triangle " << f;
    }
    expectClosedAndSolid(*m);

    const Bounds b = meshBounds(*m);
    expectVec({-21.1846f, 0, -16.7732f}, b.min, 1e-4f);
    expectVec({20.9245f, 68.3267f, 16.8906f}, b.max, 1e-4f);
    EXPECT_EQ(0.0f, b.min.y);
}

TEST(Lattice, SetBoxToLocalAndEvaluate) {
    Lattice l = boxLattice();
    expectVec({6, 6, 8}, l.extent, 0);
    expectVec(l.min, l.points[0], 0);
    expectVec({-2, 1, 5}, l.points[3], 0); // the last z layer lies on the face exactly
    expectVec({4, 1, -3}, l.points[48], 1e-5f);
    expectVec({4, 7, 5}, l.points[63], 1e-5f);
    expectVec({0, 3, -3 + 8.0f / 3}, l.points[21], 1e-5f);          // i, j, k = 1, 1, 1
    expectVec({1.5f, -0.5f, 0.25f}, l.toLocal({7, -2, -1}), 1e-6f); // not clamped

    const Mesh moves = scatter(64);
    for (int n = 0; n < 64; ++n)
        l.points[n] = l.points[n] + moves.vertices[n] - Vec3{1, 4, 1};
    expectVec(l.points[0], l.evaluate(0, 0, 0), 1e-6f);
    expectVec(l.points[63], l.evaluate(1, 1, 1), 1e-6f);
    expectVec(l.points[48], l.evaluate(1, 0, 0), 1e-6f);
    const Vec3 clamped = l.evaluate(2, -1, 0.5f), inside = l.evaluate(1, 0, 0.5f);
    EXPECT_EQ(0, std::memcmp(&clamped, &inside, sizeof(Vec3)));
    for (const Vec3& p : scatter(200).vertices) {
        const Vec3 t = l.toLocal(p);
        expectVec(referencePoint(l, t), l.evaluate(t.x, t.y, t.z), 2e-5f);
    }
}

TEST(Lattice, DeformMeshInsideOutsideAndEmpty) {
    Lattice l = boxLattice();
    Mesh src = scatter(300);
    const Vec3 outside[] = {{-2.001f, 3, 0}, {4.001f, 3, 0},  {0, 0.999f, 0},
                            {0, 7.001f, 0},  {0, 3, -3.001f}, {0, 3, 5.001f}};
    std::copy(outside, outside + 6, src.vertices.begin() + 2);
    Mesh dest = src;
    const Vec3 sentinel{-42, 42, -42};
    std::fill(dest.vertices.begin(), dest.vertices.end(), sentinel);

    deformMesh(dest, src, l); // untouched points: identity
    for (uint32_t n = 0; n < src.vertexCount; ++n)
        expectVec(n >= 2 && n < 8 ? sentinel : src.vertices[n], dest.vertices[n], 1e-5f);

    const Vec3 offset{0.75f, -1.5f, 2.25f}; // a common offset moves everything inside by it
    for (Vec3& p : l.points)
        p = p + offset;
    deformMesh(dest, src, l);
    for (uint32_t n = 0; n < src.vertexCount; ++n)
        expectVec(n >= 2 && n < 8 ? sentinel : src.vertices[n] + offset, dest.vertices[n], 2e-5f);

    const Mesh before = dest;
    deformMesh(dest, Mesh{}, l);
    EXPECT_EQ(0, std::memcmp(before.vertices.data(), dest.vertices.data(), 300 * sizeof(Vec3)));
}

TEST(SceneGeometry, SetUpGivesEqualSeparateMeshesAndLayeredLattices) {
    setupSceneGeometry();
    EXPECT_EQ(118u, gDeformedMesh->faceCount);
    EXPECT_EQ(gModelMesh->indices, gDeformedMesh->indices);
    EXPECT_NE(gModelMesh->vertices.data(), gDeformedMesh->vertices.data());
    EXPECT_EQ(0, std::memcmp(gModelMesh->vertices.data(), gDeformedMesh->vertices.data(),
                             240 * sizeof(Vec3)));
    EXPECT_EQ(0, std::memcmp(gLattice.get(), gRestLattice.get(), sizeof(Lattice)));
    const float xs[4] = {-21.1846f, -7.1482f, 6.8881f, 20.9245f};
    const float ys[4] = {0.0000033f, 22.7756f, 45.5511f, 68.3267f};
    const float zs[4] = {-16.7732f, -5.5519f, 5.6693f, 16.8906f};
    for (int n = 0; n < 64; ++n)
        expectVec({xs[n / 16], ys[n / 4 % 4], zs[n % 4]}, gRestLattice->points[n], 1e-4f);
    deformMesh(*gDeformedMesh, *gModelMesh, *gLattice);
    for (uint32_t n = 0; n < 240; ++n)
        expectVec(gModelMesh->vertices[n], gDeformedMesh->vertices[n], 1e-4f);
}

TEST(SceneGeometry, BendTurnsByHeightAndKeepsTheModelClosed) {
    setupSceneGeometry();
    const Lattice& rest = *gRestLattice;
    const float height = rest.max.y - rest.min.y;
    bendLattice(*gLattice, rest, 0.0f); // k = 0.5
    EXPECT_EQ(0, std::memcmp(gLattice.get(), &rest, 3 * sizeof(Vec3))) << "box untouched";
    for (int n = 0; n < 64; ++n) {
        const Vec3 r = rest.points[n], d = gLattice->points[n];
        const double turn = std::atan2(d.y, d.x) - std::atan2(r.y, r.x);
        EXPECT_NEAR(r.y / height * 0.5 * 0.08 * 3.0 * 3.1415, turn, 1e-5) << n;
        EXPECT_NEAR(std::hypot(r.x, r.y), std::hypot(d.x, d.y), 1e-4);
        EXPECT_EQ(r.z, d.z);
    }
    EXPECT_NEAR(0.37698,
                std::atan2(gLattice->points[60].y, gLattice->points[60].x) -
                    std::atan2(rest.points[60].y, rest.points[60].x),
                1e-5);

    // The apex swings against the sign of k; the foot stays; the surface stays closed.
    for (float mojo : {0.0f, 8.0f, 16.0f, 123.4f}) {
        bendLattice(*gLattice, rest, mojo);
        deformMesh(*gDeformedMesh, *gModelMesh, *gLattice);
        expectClosedAndSolid(*gDeformedMesh);
        expectVec(gModelMesh->vertices[0], gDeformedMesh->vertices[0], 1e-3f);
        const float k = 0.5f * std::cos(0.19634375f * mojo);
        EXPECT_NEAR(-0.0734f - 68.3267f * std::sin(k * 0.754f), gDeformedMesh->vertices[38].x, 0.5f)
            << "mojo " << mojo;
    }
}

} // namespace
