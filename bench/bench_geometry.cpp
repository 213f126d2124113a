// Speed of the per-frame geometry work: the lattice bend, the model deformation and bounds.
#include "geometry/lattice.h"
#include "geometry/scene_geometry.h"

#include <benchmark/benchmark.h>

namespace {

// Scene geometry with the working lattice bent as in a typical main-part frame.
void prepareBentScene() {
    if (!gModelMesh)
        setupSceneGeometry();
    bendLattice(*gLattice, *gRestLattice, 10.0f);
}

void BM_bendLattice(benchmark::State& state) {
    prepareBentScene();
    float mojo = 0.0f;
    for (auto _ : state) {
        bendLattice(*gLattice, *gRestLattice, mojo);
        benchmark::DoNotOptimize(gLattice->points);
        mojo += 0.29f;
    }
}
BENCHMARK(BM_bendLattice)->Unit(benchmark::kMicrosecond);

void BM_deformMesh_bentModel(benchmark::State& state) {
    prepareBentScene();
    for (auto _ : state) {
        deformMesh(*gDeformedMesh, *gModelMesh, *gLattice);
        benchmark::DoNotOptimize(gDeformedMesh->vertices.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * gModelMesh->vertexCount);
}
BENCHMARK(BM_deformMesh_bentModel)->Unit(benchmark::kMicrosecond);

// For comparison only: the same deformation summing all 64 weighted terms per vertex.
void naiveDeform(Mesh& dest, const Mesh& src, const Lattice& lattice) {
    for (uint32_t n = 0; n < src.vertexCount; ++n) {
        const Vec3 p = src.vertices[n];
        if (!insideBox(lattice.min, lattice.max, p))
            continue;
        const Vec3 l = lattice.toLocal(p);
        const CubicWeights u = cubicWeights(l.x);
        const CubicWeights v = cubicWeights(l.y);
        const CubicWeights w = cubicWeights(l.z);
        Vec3 sum{0, 0, 0};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k) {
                    const float weight = u.w[i] * v.w[j] * w.w[k];
                    const Vec3 q = lattice.points[16 * i + 4 * j + k];
                    sum = sum + Vec3{weight * q.x, weight * q.y, weight * q.z};
                }
        dest.vertices[n] = sum;
    }
}

void BM_deformMesh_naive64TermReference(benchmark::State& state) {
    prepareBentScene();
    for (auto _ : state) {
        naiveDeform(*gDeformedMesh, *gModelMesh, *gLattice);
        benchmark::DoNotOptimize(gDeformedMesh->vertices.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_deformMesh_naive64TermReference)->Unit(benchmark::kMicrosecond);

void BM_meshBounds_model(benchmark::State& state) {
    prepareBentScene();
    for (auto _ : state)
        benchmark::DoNotOptimize(meshBounds(*gModelMesh));
}
BENCHMARK(BM_meshBounds_model)->Unit(benchmark::kMicrosecond);

} // namespace
