// Decoded PNG files uploaded as mipmapped GL textures.
#include "render/texture.h"
#include "render/png_decode.h"
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL2/SDL.h>
#include <algorithm>

namespace {

// Texels on a side that the current context can hold, and no more than any image may have.
uint32_t largestSide() {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    return limit > 0 ? std::min(uint32_t(limit), kLargestImageSide) : kLargestImageSide;
}

} // namespace

Texture::~Texture() {
    if (id != 0 && SDL_GL_GetCurrentContext())
        glDeleteTextures(1, &id);
}

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
    if (!decodePngFile(path, largestSide(), image, error))
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
