// Stand-in music and image files for tests, written with the project's own encoders.
#include "tests/support/test_data.h"
#include "assets/soundtrack/ogg_writer.h"
#include <cmath>
#include <png.h>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::string tempFilePath(const std::string& name) {
    const char* dir = getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/glimwick-" + std::to_string(getpid()) + "-" +
           name;
}

bool writeToneOgg(const char* path, double seconds, int serial, int rate, int channels) {
    size_t frames = size_t(seconds * rate);
    std::vector<float> samples(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        float s = 0.3f * float(std::sin(2.0 * M_PI * 440.0 * double(i) / rate));
        for (int c = 0; c < channels; ++c)
            samples[i * size_t(channels) + size_t(c)] = s;
    }
    return writeOggVorbis(path, samples.data(), frames, rate, 0.1f, serial, channels);
}

bool writeRgbaPng(const char* path, int width, int height, const uint8_t* rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path, 0, rgba, 0, nullptr) != 0;
}

bool writeStandInData(const std::string& dir, double musicSeconds) {
    std::string data = dir + "/data";
    mkdir(dir.c_str(), 0755);
    mkdir(data.c_str(), 0755);
    std::vector<uint8_t> rgba(512 * 256 * 4, 0);
    // Opaque white bars where the text regions are, so the panels show up on screen.
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x)
            if ((y >= 4 && y < 66 && x >= 4 && x < 300) ||
                (y >= 74 && y < 153 && x >= 4 && x < 244) ||
                (y >= 187 && y < 207 && x >= 4 && x < 224))
                for (int c = 0; c < 4; ++c)
                    rgba[size_t(y * 512 + x) * 4 + size_t(c)] = 255;
    return writeToneOgg((data + "/tarnwhistle.ogg").c_str(), musicSeconds) &&
           writeRgbaPng((data + "/texture_text.png").c_str(), 512, 256, rgba.data());
}
