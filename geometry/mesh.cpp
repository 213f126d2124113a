// Mesh allocation, building from flat arrays, deep copies and bounds.
#include "geometry/mesh.h"

void Mesh::allocate(uint32_t newVertexCount, uint32_t newFaceCount) {
    vertexCount = newVertexCount;
    vertices.assign(newVertexCount, Vec3{0.0f, 0.0f, 0.0f});
    faceCount = newFaceCount;
    indices.assign(size_t{3} * newFaceCount, 0);
    faceNormalCount = newFaceCount;
    faceNormals.assign(newFaceCount, Vec3{0.0f, 0.0f, 0.0f});
}

std::unique_ptr<Mesh> meshFromArrays(uint32_t vertexCount, const float* positions,
                                     uint32_t faceCount, const int32_t* corners) {
    auto mesh = std::make_unique<Mesh>();
    mesh->allocate(vertexCount, faceCount);
    for (uint32_t n = 0; n < vertexCount; ++n)
        mesh->vertices[n] = {positions[3 * n], positions[3 * n + 1], positions[3 * n + 2]};
    // Conversion to an unsigned 16-bit type keeps the low 16 bits (65537 becomes 1).
    for (size_t c = 0; c < size_t{3} * faceCount; ++c)
        mesh->indices[c] = static_cast<uint16_t>(corners[c]);
    return mesh;
}

std::unique_ptr<Mesh> cloneMesh(const Mesh& src) {
    // Plain member-wise copy: the vectors copy their contents, so nothing is shared.
    return std::make_unique<Mesh>(src);
}

Bounds meshBounds(const Mesh& mesh) {
    if (mesh.vertexCount == 0)
        return {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
    Bounds b{mesh.vertices[0], mesh.vertices[0]};
    for (uint32_t n = 1; n < mesh.vertexCount; ++n) {
        b.min = minPerAxis(b.min, mesh.vertices[n]);
        b.max = maxPerAxis(b.max, mesh.vertices[n]);
    }
    return b;
}
