// All geometry the scenes draw or deform, built once at start.
#pragma once
#include "geometry/lattice.h"
#include "geometry/mesh.h"
#include <memory>

extern std::unique_ptr<Mesh> gModelMesh;      // the model at rest; never modified
extern std::unique_ptr<Mesh> gDeformedMesh;   // the drawn copy, rewritten by deformMesh
extern std::unique_ptr<Lattice> gLattice;     // working lattice, bent every main-part frame
extern std::unique_ptr<Lattice> gRestLattice; // reference lattice, as setBox placed it

void setupSceneGeometry();
