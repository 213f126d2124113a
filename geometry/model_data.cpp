// The embedded model's vertex and triangle tables, built at compile time from its corners.
#include "geometry/model_data.h"

#include <cstddef>

namespace {

// The 61 corner points of the solid: ten levels of constant y with six corners each,
// numbered c0..c5 by their angle about the y axis (c0 near -120 degrees, c2 near +x,
// c5 near 180 degrees), and the apex of the cone. Model units, four decimals.
struct Level {
    float y;
    float xz[6][2];
};

constexpr Level kLevels[10] = {
    // Foot, bottom cap.
    {0.0000f,
     {{-1.4000f, -2.5166f},
      {1.1399f, -2.5166f},
      {2.4098f, 0.1300f},
      {1.1399f, 2.7766f},
      {-1.4000f, 2.7766f},
      {-2.6699f, 0.1300f}}},
    // Top of the foot column.
    {10.0056f,
     {{-1.4000f, -2.5166f},
      {1.1399f, -2.5166f},
      {2.4098f, 0.1300f},
      {1.1399f, 2.7766f},
      {-1.4000f, 2.7766f},
      {-2.6699f, 0.1300f}}},
    // Rim of the first, widest tier.
    {11.1686f,
     {{-10.6573f, -16.7732f},
      {10.3972f, -16.7732f},
      {20.9245f, 0.0587f},
      {10.3972f, 16.8906f},
      {-10.6573f, 16.8906f},
      {-21.1846f, 0.0587f}}},
    // Top of the first tier.
    {21.3043f,
     {{-4.8154f, -7.9409f},
      {4.9820f, -7.9409f},
      {9.8807f, 0.1300f},
      {4.9820f, 8.2010f},
      {-4.8154f, 8.2010f},
      {-9.7141f, 0.1300f}}},
    // Rim of the second tier.
    {22.3372f,
     {{-8.8815f, -14.3573f},
      {8.8815f, -14.3573f},
      {17.7630f, 0.1300f},
      {8.8815f, 14.6174f},
      {-8.8815f, 14.6174f},
      {-17.7630f, 0.1300f}}},
    // Top of the second tier.
    {32.7329f,
     {{-5.0732f, -7.8920f},
      {5.0732f, -7.8920f},
      {10.1464f, 0.2601f},
      {5.0732f, 8.4122f},
      {-5.0732f, 8.4122f},
      {-10.1464f, 0.2601f}}},
    // Rim of the third tier.
    {34.2860f,
     {{-7.7212f, -12.0924f},
      {7.7212f, -12.0924f},
      {15.4424f, 0.1300f},
      {7.7212f, 12.3525f},
      {-7.7212f, 12.3525f},
      {-15.4424f, 0.1300f}}},
    // Top of the third tier.
    {43.2513f,
     {{-3.7735f, -6.0621f},
      {3.9720f, -6.0621f},
      {7.8448f, 0.1300f},
      {3.9720f, 6.3221f},
      {-3.7735f, 6.3221f},
      {-7.6463f, 0.1300f}}},
    // Rim of the fourth tier.
    {44.4143f,
     {{-5.7487f, -9.0234f},
      {5.7487f, -9.0234f},
      {11.4973f, 0.0313f},
      {5.7487f, 9.0859f},
      {-5.7487f, 9.0859f},
      {-11.4974f, 0.0313f}}},
    // Top of the fourth tier, base of the cone.
    {56.7606f,
     {{-1.2956f, -2.5759f},
      {1.2956f, -2.5759f},
      {2.5912f, 0.0313f},
      {1.2956f, 2.6384f},
      {-1.2956f, 2.6384f},
      {-2.5912f, 0.0313f}}},
};
constexpr float kApex[3] = {-0.0734f, 68.3267f, 0.0501f};

struct ModelTables {
    float vertices[kModelVertexCount * 3];
    int32_t faces[kModelFaceCount * 3];
};

// Appends vertices and triangles in table order; every polygon gets vertices of its own.
struct TableWriter {
    ModelTables tables{};
    int vertexCount = 0;
    int faceCount = 0;

    constexpr void vertex(float x, float y, float z) {
        tables.vertices[3 * vertexCount] = x;
        tables.vertices[3 * vertexCount + 1] = y;
        tables.vertices[3 * vertexCount + 2] = z;
        ++vertexCount;
    }
    constexpr void corner(int level, int c) {
        vertex(kLevels[level].xz[c][0], kLevels[level].y, kLevels[level].xz[c][1]);
    }
    // Corners relative to the first vertex q of the current polygon.
    constexpr void face(int q, int a, int b, int c) {
        tables.faces[3 * faceCount] = q + a;
        tables.faces[3 * faceCount + 1] = q + b;
        tables.faces[3 * faceCount + 2] = q + c;
        ++faceCount;
    }
};

constexpr ModelTables buildModelTables() {
    TableWriter w;
    // Six sides: side s runs from corner (1 + s) mod 6 to corner (2 + s) mod 6, with one
    // quad per level step and a cone triangle at the top, all wound to face outwards.
    for (int s = 0; s < 6; ++s) {
        const int a = (1 + s) % 6;
        const int b = (2 + s) % 6;
        for (int level = 0; level < 9; ++level) {
            const int q = w.vertexCount;
            w.corner(level, a);
            w.corner(level, b);
            w.corner(level + 1, b);
            w.corner(level + 1, a);
            w.face(q, 0, 2, 1);
            w.face(q, 0, 3, 2);
        }
        const int q = w.vertexCount;
        w.corner(9, a);
        w.corner(9, b);
        w.vertex(kApex[0], kApex[1], kApex[2]);
        w.face(q, 0, 2, 1);
    }
    // Bottom cap: a fan over the foot's corners in descending order, facing down.
    const int q = w.vertexCount;
    w.corner(0, 0);
    for (int c = 5; c >= 1; --c)
        w.corner(0, c);
    for (int t = 1; t <= 4; ++t)
        w.face(q, 0, t + 1, t);
    return w.tables;
}

constexpr ModelTables kTables = buildModelTables();

static_assert(kTables.faces[3 * kModelFaceCount - 1] == kModelVertexCount - 2,
              "the last triangle is (234, 239, 238)");

} // namespace

// The exported tables must be plain arrays, so the constexpr tables above are spread
// into brace lists ten entries at a time (a hundred for the longer runs).
// clang-format off
#define GW_SPREAD10(t, n) \
    t[n], t[n + 1], t[n + 2], t[n + 3], t[n + 4], t[n + 5], t[n + 6], t[n + 7], t[n + 8], t[n + 9],
#define GW_SPREAD100(t, n) \
    GW_SPREAD10(t, n)      GW_SPREAD10(t, n + 10) GW_SPREAD10(t, n + 20) GW_SPREAD10(t, n + 30) \
    GW_SPREAD10(t, n + 40) GW_SPREAD10(t, n + 50) GW_SPREAD10(t, n + 60) GW_SPREAD10(t, n + 70) \
    GW_SPREAD10(t, n + 80) GW_SPREAD10(t, n + 90)

#define GW_VERTEX_LIST \
    GW_SPREAD100(kTables.vertices, 0)   GW_SPREAD100(kTables.vertices, 100) \
    GW_SPREAD100(kTables.vertices, 200) GW_SPREAD100(kTables.vertices, 300) \
    GW_SPREAD100(kTables.vertices, 400) GW_SPREAD100(kTables.vertices, 500) \
    GW_SPREAD100(kTables.vertices, 600) GW_SPREAD10(kTables.vertices, 700)  \
    GW_SPREAD10(kTables.vertices, 710)
#define GW_FACE_LIST \
    GW_SPREAD100(kTables.faces, 0)   GW_SPREAD100(kTables.faces, 100) \
    GW_SPREAD100(kTables.faces, 200) GW_SPREAD10(kTables.faces, 300)  \
    GW_SPREAD10(kTables.faces, 310)  GW_SPREAD10(kTables.faces, 320)  \
    GW_SPREAD10(kTables.faces, 330)  GW_SPREAD10(kTables.faces, 340)  \
    kTables.faces[350], kTables.faces[351], kTables.faces[352], kTables.faces[353]
// clang-format on

// A short list would be zero-filled silently in the exported arrays; these unsized twins
// make the compiler count the entries.
namespace {
constexpr float kVertexListCheck[] = {GW_VERTEX_LIST};
constexpr int32_t kFaceListCheck[] = {GW_FACE_LIST};
static_assert(sizeof(kVertexListCheck) == sizeof(kTables.vertices), "vertex list length");
static_assert(sizeof(kFaceListCheck) == sizeof(kTables.faces), "face list length");
} // namespace

const float kModelVertices[kModelVertexCount * 3] = {GW_VERTEX_LIST};
const int32_t kModelFaces[kModelFaceCount * 3] = {GW_FACE_LIST};
