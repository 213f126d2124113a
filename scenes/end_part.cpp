// The end part: the bent model at half size turning on dark red, two text panels on top.
#include "scenes/end_part.h"
#include "geometry/scene_geometry.h"
#include "scenes/draw_helpers.h"
#include "shell/demo_state.h"
#include <GL/glew.h>

namespace {

struct {
    bool ready = false;
    Camera camera;
} state;

} // namespace

void renderEndPart(DemoState& demo) {
    const float t = demo.mojo;
    if (!state.ready) {
        state.camera.eye = {0, 15, -150};
        state.camera.center = {70, 15, 0};
        state.ready = true;
    }

    glClearColor(0.125f, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    applyCamera(state.camera);

    // Light 0 and the light model keep their GL defaults: a white light from the viewer.
    enableFlatLighting();

    // Keeps the shape of the last main-part frame; turns at the main copy's rate.
    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
    glRotatef(t * 0.5f, 0, 1, 0);
    glColor4f(1, 1, 1, 1);
    if (gDeformedMesh)
        drawMesh(*gDeformedMesh);
    glPopMatrix();

    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);

    // Pixels, y down. The text quads sit at depth 0.5, always in front of the model.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kPictureSize.width, kPictureSize.height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (demo.textTexture) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        enableTexture(*demo.textTexture);
        drawTextRect(kTextRegion1, 360, 349);
        drawTextRect(kTextRegion3, 425, 417);
        disableTexture();
        glDisable(GL_BLEND);
    }
}
