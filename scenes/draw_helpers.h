// Immediate-mode helpers shared by both renderers: lit meshes, text panels, cameras.
#pragma once
#include "geometry/mesh.h"
#include "geometry/vec3.h"
#include "scenes/text_regions.h"

struct Camera {
    Vec3 eye;
    Vec3 center;
    Vec3 up{0, 1, 0};
    float fovY = 60;     // degrees
    float aspect = 2.0f; // of the 1024 x 512 picture
    float zNear = 0.01f;
    float zFar = 1000;
    float roll = 0; // degrees about world z, after the look-at
};

// Every face as a triangle with its normal recomputed from the current positions.
void drawMesh(const Mesh& mesh);
// The region as a quad with its top-left corner at (x, y), one unit per texel.
void drawTextRect(const TextRect& rect, float x, float y);
// The whole bound texture on a white quad across the full width of clip space, from
// -halfHeight to +halfHeight in y (1 fills it; less leaves bars above and below).
void drawTexturedQuad(float halfHeight);
// Loads projection and model-view; leaves GL_MODELVIEW selected.
void applyCamera(const Camera& camera);
// Depth test, back-face culling, light 0 at its defaults with the current colour as
// ambient and diffuse material, flat shading: the faceted look of both renderers.
void enableFlatLighting();
