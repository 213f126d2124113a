// Golden frames: the moments in tests/golden/moments.txt rendered by the capture path and
// compared, reduced to 256 x 192, with stored references. Regenerate the references (and
// look at them) with
//   build/tests/capture/glimwick-test-golden --regenerate
#include "tests/support/test_data.h"
#include "shell/demo_state.h"
#include "shell/driver.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <png.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFps = 60;
constexpr int kWidth = 256, kHeight = 192; // a quarter of the picture each way
constexpr int kScale = kPictureSize.width / kWidth;

struct Moment {
    std::string name;
    double seconds; // music time of the frame (frame = seconds x kFps)
};

// The moments and the tolerance, from tests/golden/moments.txt (shared with the browser's
// golden test, which says what each means).
struct GoldenTable {
    std::vector<Moment> moments;
    double maxMeanDifference = -1; // per channel, in levels of 255
    double maxShareOff = -1;       // of pixels with any channel off by more than levels
    int levels = -1;
    std::string error; // empty when the table was read whole
};

using Image = std::vector<uint8_t>; // kWidth x kHeight RGB, top row first

std::string sourceDir() {
    const char* dir = getenv("GLIMWICK_SOURCE_DIR");
    return dir && *dir ? dir : GLIMWICK_DEFAULT_SOURCE_DIR;
}

GoldenTable readTable(const std::string& path) {
    GoldenTable table;
    std::ifstream in(path);
    if (!in) {
        table.error = "cannot read " + path;
        return table;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string key;
        if (!(fields >> key))
            continue;
        bool read = false;
        if (key == "moment") {
            Moment m;
            read = bool(fields >> m.name >> m.seconds);
            table.moments.push_back(m);
        } else if (key == "max-mean-difference") {
            read = bool(fields >> table.maxMeanDifference);
        } else if (key == "max-share-off") {
            read = bool(fields >> table.maxShareOff);
        } else if (key == "levels") {
            read = bool(fields >> table.levels);
        }
        std::string rest;
        if (!read || fields >> rest) {
            table.error = path + ":" + std::to_string(number) + ": cannot read '" + line + "'";
            return table;
        }
    }
    if (table.moments.empty() || table.maxMeanDifference < 0 || table.maxShareOff < 0 ||
        table.levels < 0)
        table.error = path + ": no moments, or a tolerance missing";
    return table;
}

const GoldenTable& goldenTable() {
    static const GoldenTable table = readTable(sourceDir() + "/tests/golden/moments.txt");
    return table;
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
    for (const Moment& m : goldenTable().moments)
        last = std::max(last, int64_t(std::lround(m.seconds * kFps)));
    bool started = startDriver(setup, error);
    for (int64_t n = 0; started && n <= last; ++n) {
        bool moment = false;
        for (const Moment& m : goldenTable().moments)
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
        off += worst > goldenTable().levels;
    }
    for (double& m : d.meanPerChannel)
        m /= double(pixels);
    d.shareOff = double(off) / double(pixels);
    return d;
}

bool gRegenerate = false;

TEST(GoldenFrames, MomentsAcrossTheShowMatchTheReferences) {
    const GoldenTable& table = goldenTable();
    ASSERT_TRUE(table.error.empty()) << table.error;
    std::string error;
    std::vector<Image> frames = renderMoments(&error);
    ASSERT_EQ(frames.size(), table.moments.size()) << error;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Moment& m = table.moments[i];
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
               m.name.c_str(), d.meanPerChannel[0], d.meanPerChannel[1], d.meanPerChannel[2],
               100.0 * d.shareOff, table.levels);
        bool close = d.shareOff <= table.maxShareOff;
        for (double mean : d.meanPerChannel)
            close = close && mean <= table.maxMeanDifference;
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
