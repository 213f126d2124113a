// Indexed triangle mesh with 16-bit corner indices; the corner order fixes the front side.
#pragma once
#include "geometry/vec3.h"
#include <cstdint>
#include <memory>
#include <vector>

struct Mesh {
    uint32_t vertexCount = 0;
    std::vector<Vec3> vertices;
    uint32_t faceCount = 0;
    std::vector<uint16_t> indices; // 3 per face
    uint32_t faceNormalCount = 0;
    std::vector<Vec3> faceNormals; // one zeroed slot per face, carried along by cloneMesh

    // Sizes the arrays: vertices and face normals zeroed, indices zeroed too.
    void allocate(uint32_t vertexCount, uint32_t faceCount);
};

struct Bounds {
    Vec3 min, max;
};

// positions: 3 floats per vertex; corners: 3 ints per face, each kept to its low 16 bits.
std::unique_ptr<Mesh> meshFromArrays(uint32_t vertexCount, const float* positions,
                                     uint32_t faceCount, const int32_t* corners);
// A deep copy that shares nothing with src.
std::unique_ptr<Mesh> cloneMesh(const Mesh& src);
// The true axis-aligned box of the vertices; an empty mesh gives a zero box at the origin.
Bounds meshBounds(const Mesh& mesh);
