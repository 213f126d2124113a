// Immediate-mode drawing of flat-lit meshes, text-texture regions and cameras.
#include "scenes/draw_helpers.h"
#include <GL/glew.h>
#include <GL/glu.h>

void drawMesh(const Mesh& mesh) {
    const Vec3* v = mesh.vertices.data();
    const uint16_t* corner = mesh.indices.data();
    glBegin(GL_TRIANGLES);
    for (uint32_t f = 0; f < mesh.faceCount; ++f, corner += 3) {
        const Vec3& a = v[corner[0]];
        const Vec3& b = v[corner[1]];
        const Vec3& c = v[corner[2]];
        // One normal per face from the current (possibly deformed) positions; a
        // degenerate face gets the zero normal and is still drawn.
        Vec3 n = normalize(cross(b - a, c - a));
        glNormal3fv(&n.x);
        glVertex3fv(&a.x);
        glVertex3fv(&b.x);
        glVertex3fv(&c.x);
    }
    glEnd();
}

void drawTexturedQuad(float halfHeight) {
    glBegin(GL_QUADS);
    glColor4f(1, 1, 1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -halfHeight);
    glTexCoord2f(1, 0);
    glVertex2f(1, -halfHeight);
    glTexCoord2f(1, 1);
    glVertex2f(1, halfHeight);
    glTexCoord2f(0, 1);
    glVertex2f(-1, halfHeight);
    glEnd();
}

void drawTextRect(const TextRect& rect, float x, float y) {
    const float w = rect.right - rect.left;
    const float h = rect.bottom - rect.top;
    const float uLeft = rect.left * 0.001953125f; // 1/512 per texel
    const float uRight = rect.right * 0.001953125f;
    const float vTop = rect.top * 0.00390625f; // 1/256 per texel
    const float vBottom = rect.bottom * 0.00390625f;
    glBegin(GL_QUADS);
    glColor4f(1, 1, 1, 1);
    glTexCoord2f(uLeft, vTop);
    glVertex2f(x, y);
    glTexCoord2f(uLeft, vBottom);
    glVertex2f(x, y + h);
    glTexCoord2f(uRight, vBottom);
    glVertex2f(x + w, y + h);
    glTexCoord2f(uRight, vTop);
    glVertex2f(x + w, y);
    glEnd();
}

void applyCamera(const Camera& camera) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(camera.fovY, camera.aspect, camera.zNear, camera.zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(camera.eye.x, camera.eye.y, camera.eye.z, camera.center.x, camera.center.y,
              camera.center.z, camera.up.x, camera.up.y, camera.up.z);
    glRotatef(camera.roll, 0, 0, 1);
}

void enableFlatLighting() {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_FLAT);
}
