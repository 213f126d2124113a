// Fill layers (add, subtract, scale, invert a flat colour over a target) and copy layers.
#include "layers/layer_kinds.h"
#include "geometry/vec3.h"
#include "shell/demo_state.h"
#include <GL/glew.h>

namespace {

// The whole -1..1 square with the texture's 0..1 square on it.
void drawFullQuad(bool withDepth) {
    static const float kCorners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    static const float kTexCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (int n = 0; n < 4; ++n) {
        glTexCoord2f(kTexCoords[n][0], kTexCoords[n][1]);
        if (withDepth)
            glVertex3f(kCorners[n][0], kCorners[n][1], -0.5f);
        else
            glVertex2f(kCorners[n][0], kCorners[n][1]);
    }
    glEnd();
}

} // namespace

void FillLayer::draw(DemoState& state) {
    if (op == kFillNone)
        return;
    beginTarget(state, target, buffer);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);

    // Every case also acts on alpha; the framebuffer clamps the results to [0, 1].
    switch (op) {
    case kFillAdd: // d + colour (the context's equation is GL_FUNC_ADD outside Subtract)
        glBlendFunc(GL_ONE, GL_ONE);
        glColor4fv(colour);
        drawFullQuad(false);
        break;
    case kFillSubtract: // d - colour
        glBlendFunc(GL_ONE, GL_ONE);
        glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
        glColor4fv(colour);
        drawFullQuad(false);
        glBlendEquation(GL_FUNC_ADD);
        break;
    case kFillScale: { // d * v, v = red clamped to [0, 2]; exactly 1 leaves d as it was
        float v = clamp(colour[0], 0.0f, 2.0f);
        if (v > 1.0f) {
            glBlendFunc(GL_DST_COLOR, GL_ONE); // d * (v - 1) + d
            glColor4f(v - 1.0f, v - 1.0f, v - 1.0f, v - 1.0f);
        } else {
            glBlendFunc(GL_ZERO, GL_SRC_COLOR);
            glColor4f(v, v, v, v);
        }
        drawFullQuad(false);
        break;
    }
    case kFillInvert: // 1 - d
        glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
        glColor4f(1, 1, 1, 1);
        drawFullQuad(false);
        break;
    default: // unknown operations draw nothing but keep the state changes symmetric
        break;
    }

    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    endTarget(state, target, buffer);
}

void CopyLayer::draw(DemoState& state) {
    // No matrices, blending or texture environment are set: the destination context keeps
    // what its creation left (ortho -1..1, identity, blending off, GL_MODULATE), so the
    // quad covers the whole target and replaces it with the source times colour.
    beginTarget(state, target, buffer);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    bindTargetTexture(state, source, sourceBuffer);
    glColor4fv(colour);
    drawFullQuad(true);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    releaseTargetTexture(state, source, sourceBuffer);
    endTarget(state, target, buffer);
}
