// PNG files decoded with libpng's simplified reader into RGB or RGBA rows.
#include "render/png_decode.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace {

bool refuse(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

// libpng's own message when it gave one.
std::string reason(const png_image& image, const char* otherwise) {
    return image.message[0] ? image.message : otherwise;
}

} // namespace

// Every decodable PNG ends up as RGB or RGBA: palette and grey expand, a tRNS chunk or an
// alpha channel gives RGBA, 16-bit samples are scaled to 8 bits.
bool decodePng(const uint8_t* bytes, size_t size, uint32_t maxSide, DecodedImage& out,
               std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) {
        std::string why = reason(image, "cannot be read as a PNG");
        png_image_free(&image);
        return refuse(error, why);
    }
    if (image.width > maxSide || image.height > maxSide) {
        std::string why = std::to_string(image.width) + " x " + std::to_string(image.height) +
                          " texels is larger than " + std::to_string(maxSide) + " on a side";
        png_image_free(&image);
        return refuse(error, why);
    }
    // 16-bit files without gamma information are taken as sRGB like 8-bit ones, so
    // their samples scale to 8 bits instead of being re-encoded from linear light.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    out.alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = out.alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    out.width = int(image.width);
    out.height = int(image.height);
    size_t rowBytes = (size_t(PNG_IMAGE_ROW_STRIDE(image)) + 3) & ~size_t(3);
    out.pixels.assign(rowBytes * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), png_int_32(rowBytes), nullptr)) {
        std::string why = reason(image, "cannot be decoded");
        png_image_free(&image);
        out.pixels.clear();
        return refuse(error, why);
    }
    return true;
}

bool decodePngFile(const char* path, uint32_t maxSide, DecodedImage& out, std::string* error) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return refuse(error, strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool readError = ferror(file) != 0;
    int readErrno = errno;
    fclose(file);
    if (readError)
        return refuse(error, strerror(readErrno));
    return decodePng(bytes.data(), bytes.size(), maxSide, out, error);
}
