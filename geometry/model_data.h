// The embedded model: a six-sided column with four flared tiers under a pointed cone.
#pragma once
#include <cstdint>

constexpr int kModelVertexCount = 240;
constexpr int kModelFaceCount = 118;

extern const float kModelVertices[kModelVertexCount * 3]; // x, y, z per vertex
extern const int32_t kModelFaces[kModelFaceCount * 3];    // three corners per triangle
