// Fill and copy layers on real render targets: channel values, alpha, and the GL state
// they leave behind in the target's context and the window's.
#include "layers/layer_kinds.h"
#include "shell/demo_state.h"
#include "tests/scenes/show_fixture.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Target 2 is the scratch target: no scene draws into it or reads it.
constexpr int kScratch = 2;
constexpr int kScratchWidth = 512, kScratchHeight = 256;

class LayerKinds : public ::testing::Test {
  protected:
    DemoState* demo = nullptr;
    void SetUp() override {
        std::string why;
        demo = openShow(&why);
        ASSERT_NE(demo, nullptr) << why;
    }
    void paint(int which, float r, float g, float b, float a) {
        beginTarget(*demo, which, kBackLeftBuffer);
        glClearColor(r, g, b, a);
        glClear(GL_COLOR_BUFFER_BIT);
        endTarget(*demo, which, kBackLeftBuffer);
    }
    // The scratch target's pixel in the middle; every pixel is checked equal to it.
    std::array<int, 4> uniformScratch() {
        Picture p = readTarget(*demo, kScratch, kScratchWidth, kScratchHeight);
        const uint8_t* first = p.at(0, 0);
        int differing = p.count(0, 0, p.width, p.height, [&](const uint8_t* q) {
            return q[0] != first[0] || q[1] != first[1] || q[2] != first[2] || q[3] != first[3];
        });
        EXPECT_EQ(differing, 0) << "the fill did not cover the whole target evenly";
        return {first[0], first[1], first[2], first[3]};
    }
    std::array<int, 4> fill(int op, float r, float g, float b, float a) {
        FillLayer layer(kScratch, 5, op);
        layer.colour[0] = r;
        layer.colour[1] = g;
        layer.colour[2] = b;
        layer.colour[3] = a;
        layer.draw(*demo);
        return uniformScratch();
    }
};

void expectBytes(const std::array<int, 4>& got, std::array<float, 4> want, const char* what) {
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(got[c], want[c] * 255.0f, 1.01f) << what << ", channel " << c;
}

std::array<float, 16> matrix(GLenum which) {
    std::array<float, 16> m;
    glGetFloatv(which, m.data());
    return m;
}

} // namespace

TEST_F(LayerKinds, AddThenSubtractInEveryChannel) {
    paint(kScratch, 0, 0, 0, 0);
    expectBytes(fill(kFillAdd, 0.25f, 0.25f, 0.25f, 0.25f), {0.25f, 0.25f, 0.25f, 0.25f}, "add");
    expectBytes(fill(kFillAdd, 0.5f, 0.0f, 0.25f, 1.0f), {0.75f, 0.25f, 0.5f, 1.0f}, "add again");
    expectBytes(fill(kFillSubtract, 0.25f, 0.25f, 0.25f, 0.25f), {0.5f, 0, 0.25f, 0.75f},
                "subtract, clamped at 0");
    // Subtract must hand the context back with the adding equation.
    expectBytes(fill(kFillAdd, 0.25f, 0.25f, 0.25f, 0.25f), {0.75f, 0.25f, 0.5f, 1.0f},
                "add after subtract");
}

TEST_F(LayerKinds, ScaleReadsOnlyRedClampedToZeroToTwo) {
    const std::array<float, 4> start = {0.4f, 0.6f, 0.2f, 0.8f};
    struct Case {
        float factor;
        std::array<float, 4> want;
    } cases[] = {
        {0.5f, {0.2f, 0.3f, 0.1f, 0.4f}},
        {2.0f, {0.8f, 1.0f, 0.4f, 1.0f}},
        {3.0f, {0.8f, 1.0f, 0.4f, 1.0f}}, // acts as 2
        {-1.0f, {0, 0, 0, 0}},            // acts as 0: transparent black
    };
    for (const Case& c : cases) {
        paint(kScratch, start[0], start[1], start[2], start[3]);
        // Green, blue and alpha of the colour must not matter.
        expectBytes(fill(kFillScale, c.factor, 0.9f, 0.0f, 0.3f), c.want, "scale");
    }
    paint(kScratch, start[0], start[1], start[2], start[3]);
    std::array<int, 4> before = uniformScratch();
    EXPECT_EQ(fill(kFillScale, 1.0f, 0.0f, 0.0f, 0.0f), before) << "exactly 1 changes nothing";
}

TEST_F(LayerKinds, InvertTwiceGivesBackTheStart) {
    paint(kScratch, 0.2f, 0.7f, 1.0f, 0.4f);
    std::array<int, 4> start = uniformScratch();
    std::array<int, 4> once = fill(kFillInvert, 0.1f, 0.1f, 0.1f, 0.1f); // colour unused
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(once[c], 255 - start[c]) << "channel " << c;
    std::array<int, 4> twice = fill(kFillInvert, 0, 0, 0, 0);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(twice[c], start[c], 1) << "channel " << c;
}

TEST_F(LayerKinds, NoneAndUnknownOpsLeaveThePictureButOnlyNoneSkipsTheTarget) {
    paint(kScratch, 0.3f, 0.3f, 0.3f, 0.3f);
    std::array<int, 4> start = uniformScratch();
    beginTarget(*demo, kScratch, kBackLeftBuffer);
    glDisable(GL_DEPTH_TEST);
    endTarget(*demo, kScratch, kBackLeftBuffer);

    void* window = SDL_GL_GetCurrentContext();
    EXPECT_EQ(fill(kFillNone, 1, 1, 1, 1), start);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window);
    beginTarget(*demo, kScratch, kBackLeftBuffer);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "None must not touch the target at all";
    endTarget(*demo, kScratch, kBackLeftBuffer);

    EXPECT_EQ(fill(7, 1, 1, 1, 1), start);
    beginTarget(*demo, kScratch, kBackLeftBuffer);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "an unknown op still runs the state steps";
    endTarget(*demo, kScratch, kBackLeftBuffer);
}

TEST_F(LayerKinds, FillLeavesTargetStateSetAndWindowStateAlone) {
    // Distinctive matrices in the target's context, to be found again after the fill.
    beginTarget(*demo, kScratch, kBackLeftBuffer);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 3, -4, 5, -6, 7);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.5f, 0.25f, 0.125f);
    std::array<float, 16> projection = matrix(GL_PROJECTION_MATRIX);
    std::array<float, 16> modelview = matrix(GL_MODELVIEW_MATRIX);
    glEnable(GL_BLEND);
    endTarget(*demo, kScratch, kBackLeftBuffer);

    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    std::array<float, 16> windowProjection = matrix(GL_PROJECTION_MATRIX);
    void* window = SDL_GL_GetCurrentContext();

    for (int op : {kFillAdd, kFillSubtract, kFillScale, kFillInvert}) {
        FillLayer layer(kScratch, 5, op);
        layer.draw(*demo);
        EXPECT_EQ(SDL_GL_GetCurrentContext(), window) << "op " << op;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "window's blending, op " << op;
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "window's texturing, op " << op;
        EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), windowProjection) << "op " << op;

        beginTarget(*demo, kScratch, kBackLeftBuffer);
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "op " << op;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "op " << op;
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_TRUE(depthWrites) << "op " << op;
        GLint mode = 0, equation = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_BLEND_EQUATION, &equation);
        EXPECT_EQ(mode, GL_MODELVIEW) << "op " << op;
        EXPECT_EQ(equation, GL_FUNC_ADD) << "op " << op;
        EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection) << "op " << op;
        EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelview) << "op " << op;
        endTarget(*demo, kScratch, kBackLeftBuffer);
    }
    glDisable(GL_TEXTURE_2D);
}

TEST_F(LayerKinds, CopyReducesTargetThreeIntoTargetOneTinted) {
    // Target 3: red on the left half, blue on the right, half transparent.
    beginTarget(*demo, 3, kBackLeftBuffer);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 512, 512);
    glClearColor(1, 0, 0, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(512, 0, 512, 512);
    glClearColor(0, 0, 1, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    endTarget(*demo, 3, kBackLeftBuffer);
    paint(1, 0, 1, 0, 1);

    CopyLayer copy(1, kBackLeftBuffer, 3, kBackLeftBuffer);
    copy.colour[0] = 0.5f; // tint: half red
    void* window = SDL_GL_GetCurrentContext();
    copy.draw(*demo);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), window);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "window's texturing";

    Picture p = readTarget(*demo, 1, 256, 128);
    const uint8_t kLeft[3] = {128, 0, 0}, kRight[3] = {0, 0, 255};
    int left = p.count(0, 0, 126, 128, [&](const uint8_t* q) { return isColour(q, kLeft, 2); });
    int right = p.count(130, 0, 256, 128, [&](const uint8_t* q) { return isColour(q, kRight, 2); });
    EXPECT_EQ(left, 126 * 128) << "the left half is the tinted red";
    EXPECT_EQ(right, 126 * 128) << "the right half is the blue";
    EXPECT_NEAR(p.at(10, 10)[3], 128, 1) << "alpha is copied, not blended";

    beginTarget(*demo, 1, kBackLeftBuffer);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    endTarget(*demo, 1, kBackLeftBuffer);
    paint(1, 0, 0, 0, 0);
    paint(3, 0, 0, 0, 0);
}
