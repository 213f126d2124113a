// PNG decoding into packed 8-bit rows, ready for GL but touching no GL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 8-bit R, G, B (and A when the file has any transparency), first file row first, each
// row padded to a multiple of 4 bytes, GL's default unpack alignment.
struct DecodedImage {
    int width = 0;  // texels
    int height = 0; // texels
    bool alpha = false;
    std::vector<uint8_t> pixels;
};

// Texels on a side that any image may have; a context may allow fewer.
constexpr uint32_t kLargestImageSide = 8192;

// Decodes a whole PNG held in memory. Images wider or taller than maxSide texels are
// refused from their header, before any pixel is decoded. False with the reason in *error
// when the bytes are not a PNG, truncated, corrupt or too large.
bool decodePng(const uint8_t* bytes, size_t size, uint32_t maxSide, DecodedImage& out,
               std::string* error);
// The same for a file; a file that cannot be read gives the system's reason.
bool decodePngFile(const char* path, uint32_t maxSide, DecodedImage& out, std::string* error);
