// Mipmapped GL textures loaded from PNG files.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

// A texture owns its GL name: dropping the record deletes the texture, so its owner drops
// it while a context sharing the name is current (the show: at shut-down, before the
// window goes). With no context current the name is left to go with the contexts.
struct Texture {
    int32_t width = 0;  // texels
    int32_t height = 0; // texels
    uint32_t id = 0;    // GL texture name, 0 for none

    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    ~Texture();
};

// Stores the size, generates a name, binds it and sets clamp-to-edge, trilinear filtering
// and (where offered) driver-built mipmaps. The texture is left bound.
void createTexture(Texture& texture, int width, int height);
// Decodes a PNG into a new texture (RGBA8 when it has any transparency, else RGB8); null,
// with the reason (not the path) in *error, when the file is missing, not a PNG,
// truncated, corrupt, or wider or taller than 8192 texels or the context's largest
// texture. Needs a current GL context; leaves no texture bound.
std::unique_ptr<Texture> loadTexture(const char* path, std::string* error = nullptr);
void enableTexture(const Texture& texture);
void disableTexture();
