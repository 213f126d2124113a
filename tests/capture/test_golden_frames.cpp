// Golden frames: moments across the show rendered by the capture path and compared, reduced
// to 256 x 192, with stored references. Regenerate the references (and look at them) with
//   build/tests/capture/glimwick-test-golden --regenerate
#include "tests/support/test_data.h"
#include "shell/demo_state.h"
#include "shell/driver.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <png.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFps = 60;
constexpr int kWidth = 256, kHeight = 192; // a quarter of the picture each way
constexpr int kScale = kPictureSize.width / kWidth;

struct Moment {
    const char* name;
    double seconds; // music time of the frame (frame = seconds x kFps)
};

const Moment kMoments[] = {
    {"scene1-text-panel", 2.0},   // first variant, its text panel, the start flash gone
    {"scene2-first-bend", 17.0},  // the model bent for the first time, flash gone
    {"scene3", 26.0},             // the camera from the side, feedback swirl
    {"scene6-four-models", 60.0}, // white model with red, green and blue copies
    {"quick-cut", 88.2},          // 42 frames into scene 76: the flash over its picture
    {"end-scene", 110.0},         // the end part: model on dark red, two panels
};

// Tolerated software-rendering differences (another Mesa, another CPU): after the 4 x 4
// reduction, at most this mean absolute difference per channel, in levels of 255 ...
constexpr double kMaxMeanDifference = 2.0;
// ... and at most this share of pixels with any channel off by more than kLevels.
constexpr double kMaxShareOff = 0.01;
constexpr int kLevels = 16;

using Image = std::vector<uint8_t>; // kWidth x kHeight RGB, top row first

std::string sourceDir() {
    const char* dir = getenv("GLIMWICK_SOURCE_DIR");
    return dir && *dir ? dir : GLIMWICK_DEFAULT_SOURCE_DIR;
}

std::string goldenPath(const Moment& m) {
    return sourceDir() + "/tests/golden/" + m.name + ".png";
}

// Box average of each 4 x 4 block of the 1024 x 768 RGB picture.
Image reduce(const uint8_t* rgb) {
    Image out(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < kScale; ++dy)
                    for (int dx = 0; dx < kScale; ++dx)
                        sum +=
                            rgb[(size_t(y * kScale + dy) * kPictureSize.width + x * kScale + dx) *
                                    3 +
                                c];
                out[(size_t(y) * kWidth + x) * 3 + c] = uint8_t((sum + 8) / 16);
            }
    return out;
}

bool writePng(const std::string& path, const Image& rgb) {
    std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4, 255);
    for (size_t i = 0; i < size_t(kWidth) * kHeight; ++i)
        memcpy(&rgba[i * 4], &rgb[i * 3], 3);
    return writeRgbaPng(path.c_str(), kWidth, kHeight, rgba.data());
}

bool readPng(const std::string& path, Image& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    if (image.width != kWidth || image.height != kHeight) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

// Renders the show from its first frame on the fixed-rate clock and keeps the moments.
std::vector<Image> renderMoments(std::string* error) {
    std::vector<Image> frames;
    std::string text = sourceDir() + "/data/texture_text.png";
    DriverSetup setup;
    setup.music = false;
    setup.offscreen = setup.readBack = true;
    setup.textPath = text.c_str();
    int64_t last = 0;
    for (const Moment& m : kMoments)
        last = std::max(last, int64_t(std::lround(m.seconds * kFps)));
    bool started = startDriver(setup, error);
    for (int64_t n = 0; started && n <= last; ++n) {
        bool moment = false;
        for (const Moment& m : kMoments)
            moment = moment || std::lround(m.seconds * kFps) == n;
        if (!stepDriverAt(n, kFps, moment)) {
            *error = "the frame loop ended at frame " + std::to_string(n);
            break;
        }
        if (moment)
            frames.push_back(reduce(driverPicture()));
    }
    stopDriver();
    SDL_Quit();
    return frames;
}

struct Difference {
    double meanPerChannel[3] = {0, 0, 0};
    double shareOff = 0;
    Image picture; // |actual - golden| x 4, for the eye
};

Difference compare(const Image& actual, const Image& golden) {
    Difference d;
    d.picture.resize(actual.size());
    size_t pixels = size_t(kWidth) * kHeight, off = 0;
    for (size_t i = 0; i < pixels; ++i) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            int delta = std::abs(int(actual[i * 3 + c]) - int(golden[i * 3 + c]));
            d.meanPerChannel[c] += delta;
            worst = std::max(worst, delta);
            d.picture[i * 3 + c] = uint8_t(std::min(255, delta * 4));
        }
        off += worst > kLevels;
    }
    for (double& m : d.meanPerChannel)
        m /= double(pixels);
    d.shareOff = double(off) / double(pixels);
    return d;
}

bool gRegenerate = false;

TEST(GoldenFrames, MomentsAcrossTheShowMatchTheReferences) {
    std::string error;
    std::vector<Image> frames = renderMoments(&error);
    ASSERT_EQ(frames.size(), std::size(kMoments)) << error;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Moment& m = kMoments[i];
        if (gRegenerate) {
            ASSERT_TRUE(writePng(goldenPath(m), frames[i])) << goldenPath(m);
            printf("wrote %s\n", goldenPath(m).c_str());
            continue;
        }
        Image golden;
        ASSERT_TRUE(readPng(goldenPath(m), golden)) << "missing or unreadable " << goldenPath(m);
        Difference d = compare(frames[i], golden);
        printf("%-20s mean difference R %.3f G %.3f B %.3f, %.3f%% of pixels off by more than "
               "%d\n",
               m.name, d.meanPerChannel[0], d.meanPerChannel[1], d.meanPerChannel[2],
               100.0 * d.shareOff, kLevels);
        bool close = d.shareOff <= kMaxShareOff;
        for (double mean : d.meanPerChannel)
            close = close && mean <= kMaxMeanDifference;
        if (!close) {
            char cwd[4096];
            std::string dir = getcwd(cwd, sizeof cwd) ? cwd : ".";
            std::string actual = dir + "/golden-" + m.name + "-actual.png";
            std::string diff = dir + "/golden-" + m.name + "-difference.png";
            writePng(actual, frames[i]);
            writePng(diff, d.picture);
            ADD_FAILURE() << m.name << " (" << m.seconds << " s) differs from " << goldenPath(m)
                          << "; wrote " << actual << " and " << diff;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        gRegenerate = gRegenerate || strcmp(argv[i], "--regenerate") == 0;
    if (gRegenerate)
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); // the references are software-rendered
    return RUN_ALL_TESTS();
}
