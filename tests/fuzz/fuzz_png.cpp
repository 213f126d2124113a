// libFuzzer target: any bytes through the show's PNG decoding, up to where GL would take over.
#include "render/png_decode.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedImage image;
    std::string error;
    if (!decodePng(data, size, kLargestImageSide, image, &error)) {
        if (error.empty() || !image.pixels.empty())
            abort(); // a refusal always says why and hands on no pixels
        return 0;
    }
    // What the upload will read: whole rows of 3 or 4 bytes a texel, padded to 4 bytes.
    size_t texel = image.alpha ? 4 : 3;
    size_t rowBytes = (size_t(image.width) * texel + 3) & ~size_t(3);
    if (image.width < 1 || image.height < 1 || uint32_t(image.width) > kLargestImageSide ||
        uint32_t(image.height) > kLargestImageSide ||
        image.pixels.size() != rowBytes * size_t(image.height))
        abort();
    return 0;
}
