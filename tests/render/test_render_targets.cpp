// Render targets: creation state, private GL state per target, sampling across contexts,
// front and back buffers, teardown, and the DemoState resources and target helpers.
#include "render/render_target.h"
#include "scenes/draw_helpers.h"
#include "shell/demo_state.h"
#include "shell/gl_window.h"
#include "tests/render/render_test_support.h"
#include "tests/support/test_data.h"
#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <vector>

namespace {

const auto* const kWindow = ::testing::AddGlobalTestEnvironment(new GlWindowEnvironment);

const Rgba kTransparent{0, 0, 0, 0}, kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255},
    kBlue{0, 0, 255, 255};

class RenderTargetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        windowContext = SDL_GL_GetCurrentContext();
        ASSERT_NE(windowContext, nullptr);
    }
    void expectCurrent(void* context) {
        EXPECT_EQ(SDL_GL_GetCurrentContext(), context);
        EXPECT_EQ(SDL_GL_GetCurrentWindow(), glWindowHandle());
    }
    SDL_GLContext windowContext = nullptr;
};

void fill(RenderTarget& target, uint32_t buffer, Rgba c) {
    target.beginRender(buffer);
    glClearColor(c.r / 255.f, c.g / 255.f, c.b / 255.f, c.a / 255.f);
    glClear(GL_COLOR_BUFFER_BIT);
    target.endRender();
}

// Left half red, right half green, with whatever matrices the target's context holds.
void drawHalves(RenderTarget& target) {
    target.beginRender(GL_BACK_LEFT);
    glBegin(GL_QUADS);
    for (int half = 0; half < 2; ++half) {
        glColor4ub(half ? 0 : 255, half ? 255 : 0, 0, 255);
        glVertex2f(half - 1.f, -1);
        glVertex2f(half - 0.f, -1);
        glVertex2f(half - 0.f, 1);
        glVertex2f(half - 1.f, 1);
    }
    glEnd();
    target.endRender();
}

// Draws one buffer of a target over the window's lower-left corner at the target's size
// and reads pixel (x, y) back, leaving the window's state as it found it.
Rgba sampleInWindow(RenderTarget& target, int buffer, int x, int y) {
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, target.width, target.height);
    target.bindTexture(buffer);
    drawTexturedQuad(1);
    target.releaseTexture();
    glPopAttrib();
    glReadBuffer(GL_BACK);
    return readPixel(x, y);
}

// The state a target must keep to itself: enables, blending, culling, viewport, matrices.
std::vector<double> stateSnapshot() {
    std::vector<double> values;
    for (GLenum cap : {GL_BLEND, GL_CULL_FACE, GL_DEPTH_TEST, GL_TEXTURE_2D})
        values.push_back(glIsEnabled(cap));
    for (GLenum query : {GL_CULL_FACE_MODE, GL_BLEND_SRC, GL_BLEND_DST, GL_VIEWPORT}) {
        GLint v[4] = {};
        glGetIntegerv(query, v);
        values.insert(values.end(), v, v + 4);
    }
    for (GLenum query : {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX, GL_COLOR_CLEAR_VALUE}) {
        GLfloat v[16] = {};
        glGetFloatv(query, v);
        values.insert(values.end(), v, v + 16);
    }
    return values;
}

GLint textureLevelValue(uint32_t name, GLenum query) {
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, query, &value);
    glBindTexture(GL_TEXTURE_2D, 0);
    return value;
}

TEST_F(RenderTargetTest, NewTargetIsTransparentBlackWithItsCreationState) {
    RenderTarget target;
    std::string error;
    ASSERT_TRUE(target.create(256, 128, &error)) << error;
    expectCurrent(windowContext);
    ASSERT_NE(target.colourTextures[0], target.colourTextures[1]);
    for (uint32_t name : target.colourTextures) {
        EXPECT_EQ(textureLevelValue(name, GL_TEXTURE_WIDTH), 256);
        EXPECT_EQ(textureLevelValue(name, GL_TEXTURE_HEIGHT), 128);
        EXPECT_EQ(textureLevelValue(name, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);
        glBindTexture(GL_TEXTURE_2D, name);
        for (GLenum p :
             {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) {
            GLint value = 0;
            glGetTexParameteriv(GL_TEXTURE_2D, p, &value);
            EXPECT_EQ(value, p == GL_TEXTURE_WRAP_S || p == GL_TEXTURE_WRAP_T ? GL_CLAMP_TO_EDGE
                                                                              : GL_LINEAR);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_EQ(texel(name, 255, 127), kTransparent);
    }
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(sampleInWindow(target, kTargetFrontLeft, 30, 30), kTransparent);
    EXPECT_EQ(sampleInWindow(target, kTargetBackLeft, 200, 100), kTransparent);

    target.beginRender(GL_BACK_LEFT);
    GLfloat projection[16], modelview[16], depth = 0;
    GLint viewport[4], depthBits = 0;
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glReadPixels(100, 50, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    for (int i = 0; i < 16; ++i) {
        float diagonal = i % 5 == 0 ? (i == 10 ? -1.f : 1.f) : 0.f; // glOrtho(-1..1)
        EXPECT_EQ(projection[i], diagonal) << i;
        EXPECT_EQ(modelview[i], i % 5 == 0 ? 1.f : 0.f) << i;
    }
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 256, 128}));
    EXPECT_GE(depthBits, 16);
    EXPECT_EQ(depth, 1.0f);
    EXPECT_EQ(readPixel(0, 0), kTransparent);
    for (GLenum cap : {GL_DEPTH_TEST, GL_BLEND, GL_TEXTURE_2D})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
    target.endRender();
    expectCurrent(windowContext);
}

TEST_F(RenderTargetTest, StateStaysInItsTargetAcrossSwitches) {
    RenderTarget a, b;
    ASSERT_TRUE(a.create(256, 128));
    ASSERT_TRUE(b.create(256, 128));
    std::vector<double> window = stateSnapshot();
    a.beginRender(GL_BACK_LEFT);
    std::vector<double> fresh = stateSnapshot();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glViewport(1, 2, 3, 4);
    glTranslatef(0.5f, 0, 0);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    std::vector<double> changed = stateSnapshot();
    ASSERT_NE(changed, fresh);
    a.endRender();
    expectCurrent(windowContext);
    EXPECT_EQ(stateSnapshot(), window);

    b.beginRender(GL_BACK_LEFT);
    EXPECT_EQ(stateSnapshot(), fresh);
    // Nested one level: ending a returns to b, ending b to the window.
    a.beginRender(GL_BACK_LEFT);
    EXPECT_EQ(stateSnapshot(), changed);
    a.endRender();
    expectCurrent(b.context);
    b.endRender();
    expectCurrent(windowContext);
    EXPECT_EQ(stateSnapshot(), window);
}

TEST_F(RenderTargetTest, PictureInTarget3IsSampledInTarget1AndInTheWindow) {
    RenderTarget target1, target3;
    ASSERT_TRUE(target1.create(256, 128));
    ASSERT_TRUE(target3.create(1024, 512));
    for (Rgba right : {kGreen, kBlue}) { // a second picture must replace the first
        drawHalves(target3);
        if (right == kBlue) {
            target3.beginRender(GL_BACK_LEFT);
            glColor4ub(0, 0, 255, 255);
            glRectf(0, -1, 1, 1);
            target3.endRender();
        }
        // Target 1 draws with its creation state untouched, as the copy layer does.
        target1.beginRender(GL_BACK_LEFT);
        target3.bindTexture(kTargetBackLeft);
        drawTexturedQuad(1);
        target3.releaseTexture();
        // The sampling is fenced for target 3's next drawing, which waits on it.
        ASSERT_NE(target3.sampledFence, nullptr);
        GLint status = 0;
        glClientWaitSync(target3.sampledFence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000); // 1 s
        glGetSynciv(target3.sampledFence, GL_SYNC_STATUS, 1, nullptr, &status);
        EXPECT_EQ(status, GL_SIGNALED);
        EXPECT_EQ(readPixel(64, 64), kRed);
        EXPECT_EQ(readPixel(192, 64), right);
        target1.endRender();
        EXPECT_EQ(sampleInWindow(target3, kTargetBackLeft, 256, 256), kRed);
        EXPECT_EQ(sampleInWindow(target3, kTargetBackLeft, 768, 256), right);
        EXPECT_EQ(sampleInWindow(target1, kTargetBackLeft, 192, 64), right);
    }
}

TEST_F(RenderTargetTest, FrontAndBackBuffersAreDistinct) {
    RenderTarget target;
    ASSERT_TRUE(target.create(64, 32));
    fill(target, GL_FRONT_LEFT, kRed);
    fill(target, GL_BACK_LEFT, kBlue);
    fill(target, GL_BACK, kGreen); // any other selector means the back-left buffer
    EXPECT_EQ(sampleInWindow(target, kTargetFrontLeft, 10, 10), kRed);
    EXPECT_EQ(sampleInWindow(target, kTargetBackLeft, 10, 10), kGreen);
    EXPECT_EQ(sampleInWindow(target, 0, 10, 10), kGreen);
    target.bindTexture(kTargetFrontLeft);
    EXPECT_EQ(target.boundBuffer, kTargetFrontLeft);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    target.releaseTexture();
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(target.boundBuffer, 0);
}

TEST_F(RenderTargetTest, FailuresLeaveTheCallerCurrentAndSayWhy) {
    {
        GlewFlagOverride core(__GLEW_VERSION_3_0, false), arb(__GLEW_ARB_framebuffer_object, false),
            ext(__GLEW_EXT_framebuffer_object, false);
        RenderTarget target;
        std::string error;
        EXPECT_FALSE(target.create(256, 128, &error));
        EXPECT_NE(error.find("framebuffer objects"), std::string::npos) << error;
        EXPECT_EQ(target.context, nullptr);
        expectCurrent(windowContext);
    }
    // Larger than any driver's textures: the context exists, the framebuffer does not.
    RenderTarget halfMade;
    std::string error;
    EXPECT_FALSE(halfMade.create(1 << 17, 16, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(halfMade.context, nullptr);
    expectCurrent(windowContext);
    halfMade.destroy();
    EXPECT_EQ(halfMade.context, nullptr);
    expectCurrent(windowContext);
}

TEST_F(RenderTargetTest, ExtFramebufferObjectsWithoutSyncsAreEnough) {
    if (!GLEW_EXT_framebuffer_object)
        GTEST_SKIP() << "driver lacks GL_EXT_framebuffer_object";
    GlewFlagOverride core(__GLEW_VERSION_3_0, false), arb(__GLEW_ARB_framebuffer_object, false),
        core32(__GLEW_VERSION_3_2, false), sync(__GLEW_ARB_sync, false);
    RenderTarget target;
    ASSERT_TRUE(target.create(128, 64));
    drawHalves(target);
    EXPECT_EQ(target.fence, nullptr);
    EXPECT_EQ(sampleInWindow(target, kTargetBackLeft, 32, 32), kRed);
    EXPECT_EQ(sampleInWindow(target, kTargetBackLeft, 96, 32), kGreen);
    EXPECT_EQ(target.sampledFence, nullptr);
}

TEST_F(RenderTargetTest, DestroyIsSafeInEveryState) {
    RenderTarget zeroed;
    zeroed.destroy();
    zeroed.destroy();
    expectCurrent(windowContext);

    RenderTarget target;
    ASSERT_TRUE(target.create(64, 32));
    drawHalves(target);
    uint32_t names[2] = {target.colourTextures[0], target.colourTextures[1]};
    target.destroy();
    expectCurrent(windowContext);
    EXPECT_FALSE(glIsTexture(names[0]));
    EXPECT_FALSE(glIsTexture(names[1]));
    EXPECT_EQ(target.context, nullptr);
    target.destroy();
    expectCurrent(windowContext);

    // While its own context is current: no context is left current.
    ASSERT_TRUE(target.create(64, 32));
    target.beginRender(GL_BACK_LEFT);
    target.destroy();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
    SDL_GL_MakeCurrent(glWindowHandle(), windowContext);

    // After the window and its video system are gone (a run that ends before teardown).
    ASSERT_TRUE(target.create(64, 32));
    destroyGlWindow();
    target.destroy();
    EXPECT_EQ(target.context, nullptr);
    std::string why;
    ASSERT_TRUE(createGlWindow(kPictureSize.width, kPictureSize.height, false, &why)) << why;
}

TEST_F(RenderTargetTest, DemoResourcesAndTargetHelpers) {
    std::string png = tempFilePath("text.png");
    std::vector<uint8_t> rgba(512 * 256 * 4, 255);
    ASSERT_TRUE(writeRgbaPng(png.c_str(), 512, 256, rgba.data()));
    DemoState state;
    std::string error;
    ASSERT_TRUE(setupDemoResources(state, png.c_str(), &error)) << error;
    remove(png.c_str());
    expectCurrent(windowContext);
    const RenderTarget* targets[] = {&state.target1, &state.target2, &state.target3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(textureLevelValue(targets[i]->colourTextures[1], GL_TEXTURE_WIDTH), 256 << i);
        EXPECT_EQ(textureLevelValue(targets[i]->colourTextures[1], GL_TEXTURE_HEIGHT), 128 << i);
    }
    ASSERT_NE(state.textTexture, nullptr);

    // Selector 4 (kFrontLeftBuffer) is the front-left buffer, anything else the back-left
    // one: the values themselves, as every caller passes them.
    for (int buffer : {4, 5}) {
        beginTarget(state, 3, buffer);
        glClearColor(buffer == 4, buffer == 5, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        endTarget(state, 3, buffer);
    }
    expectCurrent(windowContext);
    EXPECT_EQ(texel(state.target3.colourTextures[0], 5, 5), kRed);
    EXPECT_EQ(texel(state.target3.colourTextures[1], 5, 5), kGreen);
    bindTargetTexture(state, 3, 0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), state.target3.colourTextures[1]);

    // Other target numbers do nothing at all, inside a target or not.
    beginTarget(state, 2, kBackLeftBuffer);
    for (int which : {0, 4, -1}) {
        beginTarget(state, which, kBackLeftBuffer);
        endTarget(state, which, kBackLeftBuffer);
        bindTargetTexture(state, which, kFrontLeftBuffer);
        releaseTargetTexture(state, which, kBackLeftBuffer);
        expectCurrent(state.target2.context);
    }
    endTarget(state, 2, kBackLeftBuffer);
    expectCurrent(windowContext);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), state.target3.colourTextures[1]);
    releaseTargetTexture(state, 3, kBackLeftBuffer);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);

    const GLuint text = state.textTexture->id;
    ASSERT_TRUE(glIsTexture(text));
    releaseDemoResources(nullptr);
    releaseDemoResources(&state);
    for (const RenderTarget* target : targets)
        EXPECT_EQ(target->context, nullptr);
    EXPECT_EQ(state.textTexture, nullptr);
    EXPECT_FALSE(glIsTexture(text)) << "the text texture's name is deleted at release";
    expectCurrent(windowContext);
}

} // namespace
