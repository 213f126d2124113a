// Tests of the embedded model tables: layout, winding, closure and bounds.
#include "geometry/mesh.h"
#include "geometry/model_data.h"
#include "mesh_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

namespace {

std::unique_ptr<Mesh> modelMesh() {
    return meshFromArrays(kModelVertexCount, kModelVertices, kModelFaceCount, kModelFaces);
}

void expectVec(Vec3 expected, Vec3 actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

void expectFace(const Mesh& m, uint32_t f, uint16_t a, uint16_t b, uint16_t c) {
    EXPECT_EQ(a, m.indices[3 * f]) << "triangle " << f;
    EXPECT_EQ(b, m.indices[3 * f + 1]) << "triangle " << f;
    EXPECT_EQ(c, m.indices[3 * f + 2]) << "triangle " << f;
}

TEST(ModelData, CountsIndicesAndListedEntries) {
    const auto m = modelMesh();
    EXPECT_EQ(240u, m->vertexCount);
    EXPECT_EQ(118u, m->faceCount);
    std::set<int32_t> used;
    for (int32_t index : kModelFaces) {
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 240);
        used.insert(index);
    }
    EXPECT_EQ(240u, used.size()) << "every vertex is used";

    expectFace(*m, 0, 0, 2, 1);
    expectFace(*m, 1, 0, 3, 2);
    expectFace(*m, 2, 4, 6, 5);
    expectFace(*m, 3, 4, 7, 6);
    expectFace(*m, 18, 36, 38, 37); // cone triangle of side 0
    expectFace(*m, 19, 39, 41, 40); // side 1 starts at vertex 39
    expectFace(*m, 116, 234, 238, 237);
    expectFace(*m, 117, 234, 239, 238);

    expectVec({1.1399f, 3.3643e-06f, -2.51655f}, m->vertices[0], 1e-4f);
    expectVec({2.40984f, 3.38821e-06f, 0.130048f}, m->vertices[1], 1e-4f);
    expectVec({2.40984f, 10.0056f, 0.130048f}, m->vertices[2], 1e-4f);
    expectVec({1.1399f, 10.0056f, -2.51655f}, m->vertices[3], 1e-4f);
    expectVec({-0.0734f, 68.3267f, 0.0501f}, m->vertices[38], 1e-4f); // apex
    expectVec({-1.4000f, 0.0f, -2.5166f}, m->vertices[234], 1e-4f);   // cap starts at c0
}

TEST(ModelData, EveryTriangleFacesOutwardsAndHasArea) {
    const auto m = modelMesh();
    for (uint32_t f = 0; f < m->faceCount; ++f) {
        const Vec3 n = meshchecks::faceCross(*m, f);
        if (f >= 114) {
            // Bottom cap: straight down.
            EXPECT_LT(n.y, 0.0f) << "cap triangle " << f;
            EXPECT_NEAR(0.0f, n.x, 1e-3f);
            EXPECT_NEAR(0.0f, n.z, 1e-3f);
            continue;
        }
        // Sides and cone: the horizontal part of the normal points away from the y axis.
        const Vec3 a = m->vertices[m->indices[3 * f]];
        const Vec3 b = m->vertices[m->indices[3 * f + 1]];
        const Vec3 c = m->vertices[m->indices[3 * f + 2]];
        const float cx = (a.x + b.x + c.x) / 3.0f;
        const float cz = (a.z + b.z + c.z) / 3.0f;
        EXPECT_GT(n.x * cx + n.z * cz, 0.0f) << "triangle " << f;
    }
    EXPECT_GT(meshchecks::smallestDoubleArea(*m), 0.1f);
}

TEST(ModelData, SurfaceIsClosed) {
    const auto m = modelMesh();
    EXPECT_EQ("", meshchecks::closureFault(*m));
    // The check itself notices a hole: drop the last cap triangle.
    Mesh open = *m;
    open.faceCount -= 1;
    EXPECT_NE("", meshchecks::closureFault(open));
}

TEST(ModelData, BoundsMatchTheListedBox) {
    const Bounds b = meshBounds(*modelMesh());
    expectVec({-21.1846f, 3.29258e-06f, -16.7732f}, b.min, 1e-4f);
    expectVec({20.9245f, 68.3267f, 16.8906f}, b.max, 1e-4f);
    EXPECT_EQ(0.0f, b.min.y);
}

} // namespace
