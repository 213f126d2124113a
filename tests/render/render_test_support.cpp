// Shared pieces of the render tests: the real window for the whole run and pixel reads.
#include "tests/render/render_test_support.h"
#include "shell/demo_state.h"
#include "shell/gl_window.h"
#include <GL/glew.h>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>
#include <vector>

namespace {

// Keeps every library loaded so far (the GL driver among them) mapped to the end of the
// process, so that a leak report can name the library a leak comes from.
int pinLibrary(dl_phdr_info* info, size_t, void*) {
    if (info->dlpi_name && info->dlpi_name[0])
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

} // namespace

void GlWindowEnvironment::SetUp() {
    std::string why;
    ASSERT_TRUE(createGlWindow(kPictureSize.width, kPictureSize.height, false, &why)) << why;
    dl_iterate_phdr(pinLibrary, nullptr);
}

void GlWindowEnvironment::TearDown() {
    destroyGlWindow();
}

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a)
               << ")";
}

Rgba texel(uint32_t name, int x, int y) {
    GLint previous = 0, width = 0, height = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> texels(size_t(width) * size_t(height) * 4 + 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    const uint8_t* p = &texels[(size_t(y) * size_t(width) + size_t(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

Rgba readPixel(int x, int y) {
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}
