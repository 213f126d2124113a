// The live show for GL tests, with read-back helpers.
#include "tests/scenes/show_fixture.h"
#include "render/gl_debug.h"
#include "scenes/text_regions.h"
#include "shell/demo_state.h"
#include "shell/gl_window.h"
#include "shell/startup.h"
#include "tests/support/test_data.h"
#include <GL/glew.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

struct {
    bool tried = false;
    std::unique_ptr<DemoState> demo;
    std::string error;
} state;

// 512 x 256 texels, transparent except the three regions, each filled with its colour.
bool writeTextTexture(const std::string& path) {
    const uint8_t* colours[3] = {kRegion1Colour, kRegion2Colour, kRegion3Colour};
    std::vector<uint8_t> rgba(512 * 256 * 4, 0);
    for (int i = 0; i < 3; ++i) {
        const TextRect& r = kTextRegions[i];
        for (int y = int(r.top); y < int(r.bottom); ++y)
            for (int x = int(r.left); x < int(r.right); ++x) {
                uint8_t* p = &rgba[size_t(y * 512 + x) * 4];
                p[0] = colours[i][0];
                p[1] = colours[i][1];
                p[2] = colours[i][2];
                p[3] = 255;
            }
    }
    return writeRgbaPng(path.c_str(), 512, 256, rgba.data());
}

void collectErrors(const char* where, std::vector<std::string>& out) {
    for (int guard = 0; guard < 16; ++guard) {
        GLenum e = glGetError();
        if (e == GL_NO_ERROR)
            return;
        out.push_back(std::string(where) + ": " + glErrorName(e));
    }
}

Picture readPixels(int width, int height) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgba.resize(size_t(width) * height * 4);
    std::vector<uint8_t> bottomUp(p.rgba.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::copy_n(&bottomUp[size_t(height - 1 - y) * row], row, &p.rgba[size_t(y) * row]);
    return p;
}

} // namespace

DemoState* openShow(std::string* error) {
    if (!state.tried) {
        state.tried = true;
        char dir[] = "/tmp/glimwick-scenes-XXXXXX";
        std::string path = mkdtemp(dir) ? std::string(dir) + "/texture_text.png" : "";
        auto demo = std::make_unique<DemoState>();
        registerWindowClass();
        if (path.empty() || !writeTextTexture(path))
            state.error = "cannot write the test text texture";
        else if (startShow(*demo, false, nullptr, path.c_str(), &state.error))
            state.demo = std::move(demo);
        else
            stopShow(); // before the half-made record goes
        if (!path.empty()) {
            unlink(path.c_str());
            rmdir(dir);
        }
    }
    if (error)
        *error = state.error;
    return state.demo.get();
}

Picture readWindow() {
    glReadBuffer(GL_BACK);
    return readPixels(kPictureSize.width, kPictureSize.height);
}

Picture readTarget(DemoState& demo, int which, int width, int height) {
    beginTarget(demo, which, kBackLeftBuffer);
    Picture p = readPixels(width, height);
    endTarget(demo, which, kBackLeftBuffer);
    return p;
}

std::vector<std::string> takeGlErrors(DemoState& demo) {
    std::vector<std::string> out;
    collectErrors("window", out);
    const char* names[] = {"target 1", "target 2", "target 3"};
    for (int which = 1; which <= 3; ++which) {
        beginTarget(demo, which, kBackLeftBuffer);
        collectErrors(names[which - 1], out);
        endTarget(demo, which, kBackLeftBuffer);
    }
    return out;
}
