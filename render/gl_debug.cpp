// Checked runs: every GL error of every context becomes one line on stderr and a count.
#include "render/gl_debug.h"
#include <GL/glew.h>
#include <cstdio>

namespace {

struct {
    bool enabled = false;
    bool debugOutput = false; // the contexts report through the callback
    int errors = 0;
} state;

void report(const char* context, const char* message) {
    ++state.errors;
    fprintf(stderr, "glimwick: GL error in %s: %s\n", context, message);
}

void GLAPIENTRY onDebugMessage(GLenum, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                               const void* context) {
    // Performance and portability remarks are the driver's opinions, not failures.
    if (type == GL_DEBUG_TYPE_ERROR)
        report(static_cast<const char*>(context), message);
}

} // namespace

const char* glErrorName(unsigned error) {
    switch (error) {
    case GL_INVALID_ENUM:
        return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW:
        return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW:
        return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY:
        return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default:
        return "unknown GL error";
    }
}

void enableGlChecks() {
    state.enabled = true;
}

bool glChecksEnabled() {
    return state.enabled;
}

void watchGlErrors(const char* contextName) {
    if (!state.enabled)
        return;
#ifdef __EMSCRIPTEN__
    state.debugOutput = false; // WebGL has no debug output: glGetError after each pass
#else
    // GLEW's entry point is a pointer, null where the driver lacks it.
    state.debugOutput = (GLEW_VERSION_4_3 || GLEW_KHR_debug) && glDebugMessageCallback;
#endif
    if (!state.debugOutput)
        return;
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    // contextName must outlive the context: callers pass string literals.
    glDebugMessageCallback(onDebugMessage, contextName);
}

void checkGlErrors(const char* where) {
    if (!state.enabled || state.debugOutput)
        return;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        report(where, glErrorName(error));
}

int glErrorCount() {
    return state.errors;
}
