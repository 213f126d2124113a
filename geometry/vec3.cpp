// Scalar and Vec3 helpers and the cubic Bernstein weights of the lattice.
#include "geometry/vec3.h"

#include <cmath>

float clamp(float x, float lo, float hi) {
    if (x < lo)
        return lo;
    if (x > hi)
        return hi;
    return x;
}

// On ties (and NaN) the value of b is kept, so the fold in meshBounds takes the vertex.
Vec3 minPerAxis(Vec3 a, Vec3 b) {
    return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}

Vec3 maxPerAxis(Vec3 a, Vec3 b) {
    return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}

Vec3 normalize(Vec3 v) {
    const float lengthSquared = v.x * v.x + v.y * v.y + v.z * v.z;
    if (lengthSquared == 0.0f)
        return {0.0f, 0.0f, 0.0f};
    const float k = 1.0f / std::sqrt(lengthSquared);
    return {v.x * k, v.y * k, v.z * k};
}

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool insideBox(Vec3 lo, Vec3 hi, Vec3 p) {
    return lo.x <= p.x && lo.y <= p.y && lo.z <= p.z && p.x <= hi.x && p.y <= hi.y && p.z <= hi.z;
}

CubicWeights cubicWeights(float t) {
    t = clamp(t, 0.0f, 1.0f);
    const float s = 1.0f - t;
    return {{s * s * s, 3.0f * t * s * s, 3.0f * t * t * s, t * t * t}};
}
