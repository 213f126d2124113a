// PNG textures: every decodable pixel layout gives a complete RGB8 or RGBA8 texture with
// the file's rows in order; bad files give null and touch no GL state; bind helpers.
#include "render/texture.h"
#include "render/png_decode.h"
#include "tests/render/render_test_support.h"
#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <png.h>
#include <vector>
#include <zlib.h>

namespace {

const auto* const kWindow = ::testing::AddGlobalTestEnvironment(new GlWindowEnvironment);

// A PNG file in any colour type and depth; rows as libpng packs them (16-bit samples
// big-endian, low depths several pixels a byte).
struct PngFile {
    int width, height, colourType, bitDepth;
    std::vector<uint8_t> rows; // height rows of equal length
    std::vector<png_color> palette = {};
    std::vector<uint8_t> paletteAlpha = {}; // tRNS for palette images
    int transparentGrey = -1;               // tRNS for grey images
};

bool writePng(const std::string& path, const PngFile& file) {
    FILE* out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(out);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, png_uint_32(file.width), png_uint_32(file.height), file.bitDepth,
                 file.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!file.palette.empty())
        png_set_PLTE(png, info, file.palette.data(), int(file.palette.size()));
    if (!file.paletteAlpha.empty())
        png_set_tRNS(png, info, file.paletteAlpha.data(), int(file.paletteAlpha.size()), nullptr);
    png_color_16 grey{};
    grey.gray = png_uint_16(file.transparentGrey);
    if (file.transparentGrey >= 0)
        png_set_tRNS(png, info, nullptr, 0, &grey);
    png_write_info(png, info);
    size_t rowBytes = file.rows.size() / size_t(file.height);
    for (int y = 0; y < file.height; ++y)
        png_write_row(png, &file.rows[size_t(y) * rowBytes]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(out) == 0;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

GLint boundTexture() {
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint levelValue(const Texture& texture, int level, GLenum query) {
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, query, &value);
    glBindTexture(GL_TEXTURE_2D, 0);
    return value;
}

// 3 x 2 images (RGB rows of 9 bytes: not 4-byte aligned) whose texel (0, 0) and texel
// (2, 1), on the second file row, are known.
struct LayoutCase {
    const char* name;
    PngFile file;
    GLint internalFormat;
    Rgba first, last;
};

const png_color kPalette[] = {{10, 20, 30}, {200, 150, 100}, {1, 2, 3}};

std::vector<LayoutCase> layoutCases() {
    using B = std::vector<uint8_t>;
    const Rgba rgb0{10, 20, 30, 255}, rgb1{200, 150, 100, 255};
    return {
        {"rgba", {3, 2, PNG_COLOR_TYPE_RGBA, 8, B(24, 7)}, GL_RGBA8, {7, 7, 7, 7}, {7, 7, 7, 7}},
        {"rgb",
         {3, 2, PNG_COLOR_TYPE_RGB, 8,
          B{10, 20, 30, 0, 0, 0, 0, 0, 0, //
            0, 0, 0, 0, 0, 0, 200, 150, 100}},
         GL_RGB8,
         rgb0,
         rgb1},
        {"palette",
         {3, 2, PNG_COLOR_TYPE_PALETTE, 8, B{0, 2, 2, 2, 2, 1}, {kPalette, kPalette + 3}},
         GL_RGB8,
         rgb0,
         rgb1},
        {"palette+tRNS",
         {3, 2, PNG_COLOR_TYPE_PALETTE, 8, B{0, 2, 2, 2, 2, 1}, {kPalette, kPalette + 3}, {40}},
         GL_RGBA8,
         {10, 20, 30, 40},
         rgb1},
        {"grey",
         {3, 2, PNG_COLOR_TYPE_GRAY, 8, B{77, 0, 0, 0, 0, 200}},
         GL_RGB8,
         {77, 77, 77, 255},
         {200, 200, 200, 255}},
        {"grey4",
         {3, 2, PNG_COLOR_TYPE_GRAY, 4, B{0x50, 0x00, 0x00, 0xF0}},
         GL_RGB8,
         {85, 85, 85, 255},
         {255, 255, 255, 255}},
        {"grey+tRNS",
         {3, 2, PNG_COLOR_TYPE_GRAY, 8, B{77, 0, 0, 0, 0, 200}, {}, {}, 77},
         GL_RGBA8,
         {77, 77, 77, 0},
         {200, 200, 200, 255}},
        {"grey+alpha",
         {3, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, B{77, 40, 0, 0, 0, 0, 0, 0, 0, 0, 200, 255}},
         GL_RGBA8,
         {77, 77, 77, 40},
         {200, 200, 200, 255}},
        {"rgb16",
         {3, 2, PNG_COLOR_TYPE_RGB, 16,
          B{10, 10, 20, 20, 30, 30, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0,   0,   0, //
            0,  0,  0,  0,  0,  0,  0, 0, 0, 0, 0, 0, 200, 200, 150, 150, 100, 100}},
         GL_RGB8,
         rgb0,
         rgb1},
        {"rgba16",
         {3, 2, PNG_COLOR_TYPE_RGBA, 16, B(48, 0x80)},
         GL_RGBA8,
         {128, 128, 128, 128},
         {128, 128, 128, 128}},
    };
}

class TextureTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const std::string& path : paths)
            remove(path.c_str());
    }
    std::string write(const std::string& name, const PngFile& file) {
        paths.push_back(tempFilePath(name));
        EXPECT_TRUE(writePng(paths.back(), file)) << name;
        return paths.back();
    }
    std::string writeRaw(const std::string& name, const std::vector<uint8_t>& bytes) {
        paths.push_back(tempFilePath(name));
        std::ofstream(paths.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return paths.back();
    }
    std::vector<std::string> paths;
};

// Level 0 holds the file's texels, first file row as row 0, and the chain down to 1 x 1
// exists, so the texture is complete for its trilinear filter.
void expectCompleteTexture(const Texture& texture, const LayoutCase& c) {
    EXPECT_EQ(texture.width, c.file.width);
    EXPECT_EQ(texture.height, c.file.height);
    EXPECT_EQ(levelValue(texture, 0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);
    EXPECT_EQ(levelValue(texture, 1, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(levelValue(texture, 1, GL_TEXTURE_HEIGHT), 1);
    EXPECT_EQ(texel(texture.id, 0, 0), c.first);
    EXPECT_EQ(texel(texture.id, 2, 1), c.last);
}

TEST_F(TextureTest, EveryPixelLayoutGivesACompleteTexture) {
    ASSERT_TRUE(GLEW_SGIS_generate_mipmap) << "Mesa offers driver-built mipmaps";
    GLuint other = 0;
    glGenTextures(1, &other);
    for (const LayoutCase& c : layoutCases()) {
        SCOPED_TRACE(c.name);
        glBindTexture(GL_TEXTURE_2D, other);
        std::string error;
        std::unique_ptr<Texture> texture = loadTexture(write(c.name, c.file).c_str(), &error);
        ASSERT_NE(texture, nullptr) << error;
        EXPECT_EQ(boundTexture(), 0);
        expectCompleteTexture(*texture, c);
        glDeleteTextures(1, &texture->id);
    }
    glDeleteTextures(1, &other);
}

TEST_F(TextureTest, WithoutDriverMipmapsGluBuildsTheChain) {
    GlewFlagOverride noSgis(__GLEW_SGIS_generate_mipmap, false);
    for (const LayoutCase& c : layoutCases()) {
        if (c.file.colourType != PNG_COLOR_TYPE_RGB && c.file.colourType != PNG_COLOR_TYPE_RGBA)
            continue;
        SCOPED_TRACE(c.name);
        std::unique_ptr<Texture> texture = loadTexture(write(c.name, c.file).c_str());
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(boundTexture(), 0);
        // GLU scales 3 x 2 to 4 x 2 (or 2 x 2); the chain ends at 1 x 1 either way.
        GLint width = levelValue(*texture, 0, GL_TEXTURE_WIDTH);
        EXPECT_TRUE(width == 2 || width == 4) << width;
        int last = width == 4 ? 2 : 1;
        EXPECT_EQ(levelValue(*texture, last, GL_TEXTURE_WIDTH), 1);
        GLint format = levelValue(*texture, 0, GL_TEXTURE_INTERNAL_FORMAT);
        if (c.internalFormat == GL_RGBA8)
            EXPECT_EQ(format, GL_RGBA8);
        else // four components asked for an RGB file
            EXPECT_TRUE(format == 4 || format == GL_RGBA) << format;
        glBindTexture(GL_TEXTURE_2D, texture->id);
        GLint generate = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, &generate);
        EXPECT_EQ(generate, GL_FALSE);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDeleteTextures(1, &texture->id);
    }
}

TEST_F(TextureTest, BadFilesGiveNullAndTouchNoGlState) {
    std::vector<uint8_t> good = readBytes(write("good.png", layoutCases()[1].file));
    ASSERT_GT(good.size(), 60u);
    auto at = [&](const char* type) {
        for (size_t i = 0; i + 4 <= good.size(); ++i)
            if (memcmp(&good[i], type, 4) == 0)
                return i;
        return size_t(0);
    };
    size_t idat = at("IDAT");
    ASSERT_GT(idat, 0u);
    uint32_t idatLength = uint32_t(good[idat - 4]) << 24 | good[idat - 3] << 16 |
                          good[idat - 2] << 8 | good[idat - 1];
    std::vector<uint8_t> badCrc = good, badZlib = good;
    badCrc[idat + 6] ^= 0x5A;
    badZlib[idat + 4] = badZlib[idat + 5] = 0xFF; // no zlib header, CRC made to match
    uint32_t crc = uint32_t(crc32(0, &badZlib[idat], idatLength + 4));
    for (int i = 0; i < 4; ++i)
        badZlib[idat + 4 + idatLength + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    const char text[] = "a text file with a .png name\n";
    PngFile wide{8193, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint8_t>(8193, 9)};
    PngFile tall{1, 8193, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint8_t>(8193, 9)};
    std::vector<std::pair<const char*, std::string>> bad = {
        {"missing", tempFilePath("no-such-file.png")},
        {"empty", writeRaw("empty.png", {})},
        {"not a PNG", writeRaw("text.png", std::vector<uint8_t>(text, text + sizeof text - 1))},
        {"header only", writeRaw("header.png", {good.begin(), good.begin() + long(idat)})},
        {"truncated", writeRaw("half.png", {good.begin(), good.begin() + long(idat + 8)})},
        {"IDAT CRC", writeRaw("crc.png", badCrc)},
        {"zlib stream", writeRaw("zlib.png", badZlib)},
        {"8193 wide", write("wide.png", wide)},
        {"8193 tall", write("tall.png", tall)},
    };
    GLuint sentinel = 0;
    glGenTextures(1, &sentinel);
    glBindTexture(GL_TEXTURE_2D, sentinel);
    for (const auto& [what, path] : bad) {
        std::string error;
        EXPECT_EQ(loadTexture(path.c_str(), &error), nullptr) << what;
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_EQ(boundTexture(), GLint(sentinel)) << what;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &sentinel);

    // The limit itself is allowed.
    PngFile widest{8192, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint8_t>(8192, 9)};
    std::unique_ptr<Texture> texture = loadTexture(write("widest.png", widest).c_str());
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 8192);
    glDeleteTextures(1, &texture->id);
}

// The side limit is the caller's (the context's largest texture): an image over it is
// refused from its header with the same kind of message as any bad file.
TEST_F(TextureTest, SideLimitRefusesFromTheHeader) {
    PngFile file{300, 2, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint8_t>(600, 77)};
    std::string path = write("limit.png", file);
    std::vector<uint8_t> bytes = readBytes(path);
    DecodedImage image;
    std::string error;
    EXPECT_FALSE(decodePng(bytes.data(), bytes.size(), 299, image, &error));
    EXPECT_EQ(error, "300 x 2 texels is larger than 299 on a side");
    EXPECT_TRUE(image.pixels.empty());

    ASSERT_TRUE(decodePngFile(path.c_str(), 300, image, &error)) << error;
    EXPECT_EQ(image.width, 300);
    EXPECT_FALSE(image.alpha);
    ASSERT_EQ(image.pixels.size(), 2u * 900u); // 300 RGB texels a row, already 4-aligned
    EXPECT_EQ(image.pixels[899], 77);

    EXPECT_FALSE(decodePngFile(tempFilePath("absent.png").c_str(), 300, image, &error));
    EXPECT_EQ(error, "No such file or directory");
}

TEST_F(TextureTest, CreateEnableDisableAndDeleteWithTheRecord) {
    GLuint made = 0;
    {
        Texture texture;
        createTexture(texture, 16, 8);
        made = texture.id;
        EXPECT_EQ(texture.width, 16);
        EXPECT_EQ(texture.height, 8);
        ASSERT_NE(texture.id, 0u);
        EXPECT_EQ(boundTexture(), GLint(texture.id)); // left bound for the upload
        const std::pair<GLenum, GLint> parameters[] = {
            {GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE},
            {GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE},
            {GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR},
            {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
            {GL_GENERATE_MIPMAP_SGIS, GLEW_SGIS_generate_mipmap ? GL_TRUE : GL_FALSE},
        };
        for (const auto& [name, expected] : parameters) {
            GLint value = -1;
            glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
            EXPECT_EQ(value, expected) << std::hex << name;
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        enableTexture(texture);
        EXPECT_EQ(boundTexture(), GLint(texture.id));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        disableTexture();
        EXPECT_EQ(boundTexture(), 0);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsTexture(made));
    }
    // The record owned the name: gone with it, in the context that was current.
    EXPECT_FALSE(glIsTexture(made));
}

} // namespace
