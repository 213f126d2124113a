// Vec3 and the scalar/vector helpers shared by the geometry and the drawing code.
#pragma once

struct Vec3 {
    float x, y, z;
};

// The helpers the deformation calls per vertex are defined here so they inline there.

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// lo if x < lo, else hi if x > hi, else x (tested in that order).
inline float clamp(float x, float lo, float hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}
// Per axis, a's value if strictly smaller (greater), else b's.
inline Vec3 minPerAxis(Vec3 a, Vec3 b) {
    return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}
inline Vec3 maxPerAxis(Vec3 a, Vec3 b) {
    return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}
// v times 1/|v|; the zero vector gives (0, 0, 0).
Vec3 normalize(Vec3 v);
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Bounds inclusive on every face.
inline bool insideBox(Vec3 lo, Vec3 hi, Vec3 p) {
    return lo.x <= p.x && lo.y <= p.y && lo.z <= p.z && p.x <= hi.x && p.y <= hi.y && p.z <= hi.z;
}

// Cubic Bernstein weights of t clamped to [0, 1]: s^3, 3ts^2, 3t^2s, t^3 with s = 1 - t.
struct CubicWeights {
    float w[4];
};
inline CubicWeights cubicWeights(float t) {
    t = clamp(t, 0.0f, 1.0f);
    const float s = 1.0f - t;
    return {{s * s * s, 3.0f * t * s * s, 3.0f * t * t * s, t * t * t}};
}
