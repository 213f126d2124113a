// The scene geometry globals and their one-time set-up at start.
#include "geometry/scene_geometry.h"

#include "geometry/model_data.h"

std::unique_ptr<Mesh> gModelMesh;
std::unique_ptr<Mesh> gDeformedMesh;
std::unique_ptr<Lattice> gLattice;
std::unique_ptr<Lattice> gRestLattice;

void setupSceneGeometry() {
    gModelMesh = meshFromArrays(kModelVertexCount, kModelVertices, kModelFaceCount, kModelFaces);
    gDeformedMesh = cloneMesh(*gModelMesh);
    const Bounds box = meshBounds(*gModelMesh);
    gLattice = std::make_unique<Lattice>();
    gRestLattice = std::make_unique<Lattice>();
    gLattice->setBox(box.min, box.max);
    gRestLattice->setBox(box.min, box.max);
}
