// PNG files decoded with libpng's simplified reader into mipmapped GL textures.
#include "render/texture.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <png.h>
#include <vector>

namespace {

// Texels on a side; larger images are refused from their header, before any decoding.
constexpr uint32_t kMaxSide = 8192;

// 8-bit R, G, B (and A when the file has any transparency), first file row first, each
// row padded to a multiple of 4 bytes, GL's default unpack alignment.
struct DecodedImage {
    int width = 0;
    int height = 0;
    bool alpha = false;
    std::vector<uint8_t> pixels;
};

bool refuse(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

// Every decodable PNG ends up as RGB or RGBA: palette and grey expand, a tRNS chunk or an
// alpha channel gives RGBA, 16-bit samples are scaled to 8 bits.
bool decodePng(const char* path, DecodedImage& out, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        std::string why = image.message[0] ? image.message : "cannot be read as a PNG";
        png_image_free(&image);
        return refuse(error, why);
    }
    if (image.width > kMaxSide || image.height > kMaxSide) {
        std::string why = std::to_string(image.width) + " x " + std::to_string(image.height) +
                          " texels is larger than " + std::to_string(kMaxSide) + " on a side";
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
    out.pixels.resize(rowBytes * image.height);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), png_int_32(rowBytes), nullptr)) {
        std::string why = image.message[0] ? image.message : "cannot be decoded";
        png_image_free(&image);
        return refuse(error, why);
    }
    return true;
}

} // namespace

void createTexture(Texture& texture, int width, int height) {
    texture.width = width;
    texture.height = height;
    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    if (GLEW_SGIS_generate_mipmap)
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
}

std::unique_ptr<Texture> loadTexture(const char* path, std::string* error) {
    DecodedImage image;
    if (!decodePng(path, image, error))
        return nullptr;
    auto texture = std::make_unique<Texture>();
    createTexture(*texture, image.width, image.height);
    GLenum format = image.alpha ? GL_RGBA : GL_RGB;
    if (GLEW_SGIS_generate_mipmap) {
        // The driver builds the chain from level 0, which keeps the image's own size.
        glTexImage2D(GL_TEXTURE_2D, 0, image.alpha ? GL_RGBA8 : GL_RGB8, image.width, image.height,
                     0, format, GL_UNSIGNED_BYTE, image.pixels.data());
    } else {
        // Scales to power-of-two sizes where needed; 4 components for RGB files too.
        gluBuild2DMipmaps(GL_TEXTURE_2D, image.alpha ? GL_RGBA8 : 4, image.width, image.height,
                          format, GL_UNSIGNED_BYTE, image.pixels.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

void enableTexture(const Texture& texture) {
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glEnable(GL_TEXTURE_2D);
}

void disableTexture() {
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}
