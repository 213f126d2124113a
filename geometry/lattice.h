// Free-form deformation through a 4 x 4 x 4 cubic Bezier lattice.
#pragma once
#include "geometry/mesh.h"
#include "geometry/vec3.h"

struct Lattice {
    Vec3 extent{};
    Vec3 min{};
    Vec3 max{};
    // Point (i, j, k) along (x, y, z) is points[16 i + 4 j + k].
    Vec3 points[64]{};

    // Sets the box and spreads the control points evenly over it.
    void setBox(Vec3 min, Vec3 max);
    // (p - min) / extent per axis; not clamped.
    Vec3 toLocal(Vec3 p) const;
    // The Bezier volume at (u, v, w), each clamped to [0, 1].
    Vec3 evaluate(float u, float v, float w) const;
};

// Writes every vertex of src that lies inside the lattice box (faces inclusive), carried
// through the lattice, to the same index of dest; outside vertices leave dest as it was.
void deformMesh(Mesh& dest, const Mesh& src, const Lattice& lattice);

// The sway of the main part: each rest control point turned about the model's z axis by
// an angle proportional to its height, swinging with 0.5 cos(0.19634375 mojo).
// Only dest.points is written.
void bendLattice(Lattice& dest, const Lattice& rest, float mojo);
