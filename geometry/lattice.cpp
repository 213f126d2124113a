// Lattice box set-up, Bezier volume evaluation, mesh deformation and the main-part bend.
#include "geometry/lattice.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The 32-bit float nearest to 1/3 and the spread of the control layers along z.
constexpr float kThird = 0.33333334f;
constexpr float kLayerZ[4] = {0.0f, 0.33333334f, 0.6666667f, 1.0f};

// The control points split into one array per axis, each in lattice order
// (16 i + 4 j + k). Contracting along x first then works on 16 contiguous floats per
// axis, which the compiler turns into a few wide multiply-adds.
struct SplitPoints {
    float axis[3][64];
};

SplitPoints splitPoints(const Vec3 (&points)[64]) {
    SplitPoints s;
    for (int n = 0; n < 64; ++n) {
        s.axis[0][n] = points[n].x;
        s.axis[1][n] = points[n].y;
        s.axis[2][n] = points[n].z;
    }
    return s;
}

// The sum over i, j, k of U[i] V[j] W[k] P(i, j, k), factored one axis at a time:
// 16 + 4 + 1 four-term sums per coordinate instead of 64 full terms. The three
// coordinates run side by side so each weight is loaded once per stage.
inline Vec3 bezierPoint(const SplitPoints& s, const CubicWeights& u, const CubicWeights& v,
                        const CubicWeights& w) {
    const float* px = s.axis[0];
    const float* py = s.axis[1];
    const float* pz = s.axis[2];
    float alongX[3][16]; // indexed 4 j + k
    for (int m = 0; m < 16; ++m) {
        alongX[0][m] =
            u.w[0] * px[m] + u.w[1] * px[16 + m] + u.w[2] * px[32 + m] + u.w[3] * px[48 + m];
        alongX[1][m] =
            u.w[0] * py[m] + u.w[1] * py[16 + m] + u.w[2] * py[32 + m] + u.w[3] * py[48 + m];
        alongX[2][m] =
            u.w[0] * pz[m] + u.w[1] * pz[16 + m] + u.w[2] * pz[32 + m] + u.w[3] * pz[48 + m];
    }
    float alongY[3][4]; // indexed k
    for (int a = 0; a < 3; ++a)
        for (int k = 0; k < 4; ++k)
            alongY[a][k] = v.w[0] * alongX[a][k] + v.w[1] * alongX[a][4 + k] +
                           v.w[2] * alongX[a][8 + k] + v.w[3] * alongX[a][12 + k];
    float out[3];
    for (int a = 0; a < 3; ++a)
        out[a] = w.w[0] * alongY[a][0] + w.w[1] * alongY[a][1] + w.w[2] * alongY[a][2] +
                 w.w[3] * alongY[a][3];
    return {out[0], out[1], out[2]};
}

} // namespace

void Lattice::setBox(Vec3 newMin, Vec3 newMax) {
    extent = {newMax.x - newMin.x, newMax.y - newMin.y, newMax.z - newMin.z};
    min = newMin;
    max = newMax;
    // The last x and y layers are min + 3 extent c, which may miss max in the last bit;
    // the last z layer is min + extent and lies on the upper face.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                points[16 * i + 4 * j + k] = {min.x + static_cast<float>(i) * extent.x * kThird,
                                              min.y + static_cast<float>(j) * extent.y * kThird,
                                              min.z + extent.z * kLayerZ[k]};
}

// A flat box (zero extent on an axis) divides by zero here; no lattice in the show is flat.
Vec3 Lattice::toLocal(Vec3 p) const {
    return {(p.x - min.x) / extent.x, (p.y - min.y) / extent.y, (p.z - min.z) / extent.z};
}

Vec3 Lattice::evaluate(float u, float v, float w) const {
    return bezierPoint(splitPoints(points), cubicWeights(u), cubicWeights(v), cubicWeights(w));
}

void deformMesh(Mesh& dest, const Mesh& src, const Lattice& lattice) {
    const Vec3 lo = lattice.min;
    const Vec3 hi = lattice.max;
    const SplitPoints split = splitPoints(lattice.points);
    // Never past the end of either array, even if dest is smaller than src.
    const size_t count = std::min<size_t>(src.vertexCount, dest.vertices.size());
    for (size_t n = 0; n < count; ++n) {
        const Vec3 p = src.vertices[n];
        if (!insideBox(lo, hi, p))
            continue;
        const Vec3 l = lattice.toLocal(p);
        dest.vertices[n] =
            bezierPoint(split, cubicWeights(clamp(l.x, 0.0f, 1.0f)),
                        cubicWeights(clamp(l.y, 0.0f, 1.0f)), cubicWeights(clamp(l.z, 0.0f, 1.0f)));
    }
}

void bendLattice(Lattice& dest, const Lattice& rest, float mojo) {
    const double k = 0.5 * std::cos(0.19634375 * static_cast<double>(mojo));
    const double height = static_cast<double>(rest.max.y) - static_cast<double>(rest.min.y);
    for (int n = 0; n < 64; ++n) {
        const Vec3 p = rest.points[n];
        // Radians; a flat rest box turns nothing rather than dividing by zero.
        const double a = height != 0.0 ? p.y / height * k * 0.08 * 3.0 * 3.1415 : 0.0;
        const double c = std::cos(a);
        const double s = std::sin(a);
        dest.points[n] = {static_cast<float>(p.x * c - p.y * s),
                          static_cast<float>(p.x * s + p.y * c), p.z};
    }
}
