// Checked runs: a GL error in the window's context or in a render target's context is
// counted and reported, through debug output where the driver has it and through
// glGetError at the end of a pass where it does not.
#include "render/gl_debug.h"
#include "render/render_target.h"
#include "shell/gl_window.h"
#include "tests/render/render_test_support.h"
#include <GL/glew.h>
#include <gtest/gtest.h>

namespace {

const GLenum kNoSuchCapability = 0x7FFF; // glEnable of it is GL_INVALID_ENUM

// The window is made here, after the checks are on, not by the shared environment.
struct CheckedWindow {
    bool made = false;
    CheckedWindow() {
        enableGlChecks();
        made = createGlWindow(1024, 768, false, nullptr);
    }
    ~CheckedWindow() { destroyGlWindow(); }
};

TEST(GlChecks, ErrorsInEveryContextAreCounted) {
    CheckedWindow window;
    ASSERT_TRUE(window.made);
    ASSERT_TRUE(glChecksEnabled());
    int before = glErrorCount();
    glClear(GL_COLOR_BUFFER_BIT); // valid: nothing reported
    checkGlErrors("the window's context");
    EXPECT_EQ(glErrorCount(), before);

    glEnable(kNoSuchCapability);
    checkGlErrors("the window's context"); // the fallback's turn, if there is no callback
    EXPECT_EQ(glErrorCount(), before + 1);

    RenderTarget target;
    ASSERT_TRUE(target.create(64, 32));
    target.beginRender(GL_BACK_LEFT);
    glEnable(kNoSuchCapability);
    target.endRender(); // the fallback reads the target's errors here
    EXPECT_EQ(glErrorCount(), before + 2);
    target.destroy();
}

TEST(GlChecks, WithoutDebugOutputGlGetErrorReportsAfterThePass) {
    CheckedWindow window;
    ASSERT_TRUE(window.made);
    // As on a driver without debug output: the window's callback off, the flags cleared
    // (glewInit set them), and the context watched again.
    if (GLEW_VERSION_4_3 || GLEW_KHR_debug)
        glDisable(GL_DEBUG_OUTPUT);
    GlewFlagOverride core(__GLEW_VERSION_4_3, false), khr(__GLEW_KHR_debug, false);
    watchGlErrors("the window's context");
    int before = glErrorCount();
    glEnable(kNoSuchCapability);
    glEnable(kNoSuchCapability);
    EXPECT_EQ(glErrorCount(), before); // nothing until the pass ends
    checkGlErrors("the window's context");
    EXPECT_GE(glErrorCount(), before + 1); // GL keeps one flag per error kind
    checkGlErrors("the window's context");
    EXPECT_LE(glErrorCount(), before + 2);

    RenderTarget target;
    ASSERT_TRUE(target.create(64, 32));
    int inWindow = glErrorCount();
    target.beginRender(GL_BACK_LEFT);
    glEnable(kNoSuchCapability);
    target.endRender();
    EXPECT_EQ(glErrorCount(), inWindow + 1);
    target.destroy();
}

} // namespace
