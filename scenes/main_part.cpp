// The main part: the picture in target 3 over the feedback background, flash, letterbox.
#include "scenes/main_part.h"
#include "geometry/lattice.h"
#include "geometry/scene_geometry.h"
#include "layers/layer_kinds.h"
#include "scenes/draw_helpers.h"
#include "scenes/feedback_warp.h"
#include "shell/demo_state.h"
#include <GL/glew.h>
#include <cmath>

namespace {

constexpr int kFlashLength = 100; // frames, not seconds

// One model copy: drawn when the scene number is above minScene; scale then translate.
struct ModelCopy {
    int minScene;
    float colour[4];
    float x, z; // translation in scaled units; x of the green copy depends on the scene
};

struct {
    bool ready = false;
    LayerList* layers = nullptr; // never freed, like the layers in it
    FillLayer* flash = nullptr;
    Camera camera;
    int32_t flashFrames = kFlashLength; // so the very first frame flashes
} state;

void buildOnce() {
    state.layers = new LayerList;
    state.flash = new FillLayer(3, kBackLeftBuffer, kFillNone);
    state.layers->push(state.flash);
    // The reduced copy of the finished picture: next frame's background.
    state.layers->push(new CopyLayer(1, kBackLeftBuffer, 3, kBackLeftBuffer));
    state.layers->push(new FillLayer(1, kBackLeftBuffer, kFillNone));
    state.camera.eye = {0, 30, -50};
    state.camera.center = {0, 30, 0};
    state.ready = true;
}

void placeCamera(Camera& camera, int scene, int variant) {
    switch (variant) {
    case 0:
        camera.eye = {-30, 35, -16};
        camera.center = {-27, 35, 0};
        break;
    case 1:
        camera.eye = {0, 70, -1};
        camera.center = {0, 30, 0};
        break;
    case 2:
        camera.eye = {0, 5, -50};
        camera.center = {0, 45, 0};
        break;
    case 3:
        if (scene == 6) { // the side view
            camera.eye = {-30, 35, -50};
            camera.center = {-20, 30, 0};
        } else {
            camera.eye = {0, 50, -50};
            camera.center = {0, 30, 0};
        }
        break;
    default:
        break;
    }
}

// Background and model copies into target 3.
void drawPicture(DemoState& demo, float t) {
    beginTarget(demo, 3, kBackLeftBuffer);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);

    // Culling is still on here from the previous frame; the warp's quads face the viewer.
    bindTargetTexture(demo, 1, kBackLeftBuffer);
    drawFeedbackWarp(t * 0.01f, 0.5f * std::cos(t * 0.0625f));
    releaseTargetTexture(demo, 1, kBackLeftBuffer);

    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    applyCamera(state.camera);
    enableFlatLighting();

    const int scene = demo.scene;
    const Mesh& mesh = *gDeformedMesh;
    glPushMatrix();
    glRotatef(t * 0.5f, 0, 1, 0); // only the white copy turns
    glColor4f(1, 1, 1, 1);
    drawMesh(mesh);
    glPopMatrix();

    const ModelCopy copies[3] = {
        {2, {1, 0, 0, 1}, -64, 0},
        {3, {0, 1, 0, 1}, scene < 7 ? 62.0f : 75.0f, 32},
        {5, {0, 0, 1, 1}, -50, 32},
    };
    for (const ModelCopy& copy : copies) {
        if (scene <= copy.minScene)
            continue;
        glPushMatrix();
        glScalef(0.75f, 0.75f, 0.75f);
        glTranslatef(copy.x, 0, copy.z);
        glColor4fv(copy.colour);
        drawMesh(mesh);
        glPopMatrix();
    }

    // Culling and colour material stay on in this context.
    glDisable(GL_NORMALIZE);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_DEPTH_TEST);
    endTarget(demo, 3, kBackLeftBuffer);
}

// Target 3 letterboxed into the window (rows 128 to 640 of the 768), then scene 1's text.
void showPicture(DemoState& demo) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    bindTargetTexture(demo, 3, kBackLeftBuffer);
    drawTexturedQuad(0.667f); // 1024 x 512 of the 1024 x 768 window: bars of 128 pixels
    releaseTargetTexture(demo, 3, kBackLeftBuffer);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kPictureSize.width, kPictureSize.height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    if (demo.scene == 1 && (demo.variant == 0 || demo.variant == 1) && demo.textTexture) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        enableTexture(*demo.textTexture);
        const TextRect& region = demo.variant == 0 ? kTextRegion2 : kTextRegion1;
        const float w = region.right - region.left;
        const float h = region.bottom - region.top;
        // Right-aligned 64 pixels from the window's edge, low in the picture band.
        drawTextRect(region, kPictureSize.width - w - 64, (kPictureSize.height - h) * 0.5f + 194);
        disableTexture();
        glDisable(GL_BLEND);
    }
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
}

} // namespace

void resetMainPart() {
    state.flashFrames = kFlashLength;
}

void renderMainPart(DemoState& demo) {
    const float t = demo.mojo;
    if (!state.ready)
        buildOnce();

    // The lattice sways every frame; scene 1 still draws the mesh as set up, unbent.
    bendLattice(*gLattice, *gRestLattice, t);
    if (demo.scene > 1)
        deformMesh(*gDeformedMesh, *gModelMesh, *gLattice);
    placeCamera(state.camera, demo.scene, demo.variant);

    drawPicture(demo, t);

    if (demo.sceneChanged || demo.partChanged || demo.variantChanged)
        state.flashFrames = kFlashLength;
    if (state.flashFrames > 0) {
        const float strength = float(state.flashFrames) * 0.01f;
        state.flash->op = kFillAdd;
        for (float& c : state.flash->colour)
            c = strength;
        --state.flashFrames;
    } else {
        state.flash->op = kFillNone;
    }
    state.layers->draw(demo);

    showPicture(demo);
}
