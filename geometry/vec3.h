// Vec3 and the scalar/vector helpers shared by the geometry and the drawing code.
#pragma once

struct Vec3 {
    float x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// lo if x < lo, else hi if x > hi, else x (tested in that order).
float clamp(float x, float lo, float hi);
Vec3 minPerAxis(Vec3 a, Vec3 b);
Vec3 maxPerAxis(Vec3 a, Vec3 b);
// v times 1/|v|; the zero vector gives (0, 0, 0).
Vec3 normalize(Vec3 v);
Vec3 cross(Vec3 a, Vec3 b);
// Bounds inclusive on every face.
bool insideBox(Vec3 lo, Vec3 hi, Vec3 p);

// Cubic Bernstein weights of t clamped to [0, 1]: s^3, 3ts^2, 3t^2s, t^3 with s = 1 - t.
struct CubicWeights {
    float w[4];
};
CubicWeights cubicWeights(float t);
