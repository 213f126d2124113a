// Checks the committed text panels texture: format, the three regions and their margins,
// readable text over light and dark pictures, and that the generator still produces it.
#include "assets/text/text_panels.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <png.h>
#include <string>

namespace {

struct PngFile {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = -1;
    std::vector<uint8_t> texels; // as stored, first row first
};

// Reads the file as stored (no conversions), so the header checks see what GL will get.
PngFile readPng(const std::string& path) {
    PngFile out;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return out;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows; // declared before setjmp: a libpng error jumps back here
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        out.width = png_get_image_width(png, info);
        out.height = png_get_image_height(png, info);
        out.bitDepth = png_get_bit_depth(png, info);
        out.colourType = png_get_color_type(png, info);
        size_t rowBytes = png_get_rowbytes(png, info);
        out.texels.resize(rowBytes * out.height);
        rows.resize(out.height);
        for (uint32_t y = 0; y < out.height; ++y)
            rows[y] = out.texels.data() + y * rowBytes;
        png_read_image(png, rows.data());
    } else {
        out.texels.clear();
    }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return out;
}

const uint8_t* texel(const std::vector<uint8_t>& rgba, int x, int y) {
    return &rgba[size_t(y * kTextTextureWidth + x) * 4];
}

// Grey level of the texel blended over a flat background, as the scenes blend it.
double over(const uint8_t* t, double background) {
    double a = t[3] / 255.0;
    return t[0] * a + background * (1.0 - a);
}

class CommittedTextPanels : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* root = getenv("GLIMWICK_SOURCE_DIR");
        gPng = new PngFile(readPng(std::string(root ? root : ".") + "/data/texture_text.png"));
    }
    static void TearDownTestSuite() { delete gPng; }
    static PngFile* gPng;
};
PngFile* CommittedTextPanels::gPng = nullptr;

TEST_F(CommittedTextPanels, Is512By256EightBitRgba) {
    ASSERT_FALSE(gPng->texels.empty()) << "data/texture_text.png missing or undecodable";
    EXPECT_EQ(gPng->width, 512u);
    EXPECT_EQ(gPng->height, 256u);
    EXPECT_EQ(gPng->bitDepth, 8);
    EXPECT_EQ(gPng->colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(gPng->texels.size(), size_t(512 * 256 * 4));
}

TEST_F(CommittedTextPanels, TransparentOutsideTheRegionsAndAlongTheirEdges) {
    ASSERT_EQ(gPng->texels.size(), size_t(512 * 256 * 4));
    int stray = 0;
    for (int y = 0; y < kTextTextureHeight; ++y)
        for (int x = 0; x < kTextTextureWidth; ++x) {
            bool inside = false;
            for (const TextRect& r : kTextRegions)
                inside = inside ||
                         (x >= r.left + 2 && x < r.right - 2 && y >= r.top + 2 && y < r.bottom - 2);
            if (!inside && texel(gPng->texels, x, y)[3] != 0)
                ++stray;
        }
    EXPECT_EQ(stray, 0) << "texels with alpha outside the regions' inner area";
}

// Each region carries text: bright glyph texels, a dark halo round them, and both read: over
// white the halo shows, over black the glyphs do.
TEST_F(CommittedTextPanels, EveryRegionHasReadableText) {
    ASSERT_EQ(gPng->texels.size(), size_t(512 * 256 * 4));
    for (int i = 0; i < 3; ++i) {
        const TextRect& r = kTextRegions[i];
        int area = (r.right - r.left) * (r.bottom - r.top);
        int opaque = 0, glyph = 0, halo = 0, solidWhite = 0, darkOverWhite = 0, brightOverBlack = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const uint8_t* t = texel(gPng->texels, x, y);
                opaque += t[3] > 128;
                glyph += t[3] > 128 && t[0] > 160;
                halo += t[3] > 64 && t[0] < 60;
                solidWhite += t[0] == 255 && t[3] == 255;
                darkOverWhite += over(t, 255.0) < 80.0;
                brightOverBlack += over(t, 0.0) > 180.0;
            }
        SCOPED_TRACE("region " + std::to_string(i + 1));
        EXPECT_GT(opaque, area / 20);
        EXPECT_LT(opaque, area / 2);
        EXPECT_GT(glyph, area / 50);
        EXPECT_GT(halo, area / 50);
        EXPECT_GT(darkOverWhite, area / 50);
        EXPECT_GT(brightOverBlack, area / 50);
        // Region 1 is shown 1:1: its stems are solid white, not a blur.
        if (i == 0) {
            EXPECT_GT(solidWhite, 800);
        }
        printf("region %d: %d texels, opaque %d, glyph %d, halo %d, solid %d, dark over white %d, "
               "bright over black %d\n",
               i + 1, area, opaque, glyph, halo, solidWhite, darkOverWhite, brightOverBlack);
    }
}

TEST_F(CommittedTextPanels, GeneratorStillProducesIt) {
    ASSERT_EQ(gPng->texels.size(), size_t(512 * 256 * 4));
    std::vector<uint8_t> fresh = renderTextPanels(kRegularFontPath, kBoldFontPath);
    ASSERT_EQ(fresh.size(), gPng->texels.size())
        << "fonts missing? install fonts-dejavu-core (" << kRegularFontPath << ")";
    // Identical with the same FreeType; a different FreeType may move an edge by a level or
    // two, never a glyph.
    size_t off = 0;
    int worst = 0;
    for (size_t i = 0; i < fresh.size(); ++i) {
        int d = std::abs(int(fresh[i]) - int(gPng->texels[i]));
        worst = std::max(worst, d);
        off += d > 24;
    }
    printf("largest texel difference %d, texels off by more than 24: %zu\n", worst, off);
    EXPECT_LT(off, fresh.size() / 1000);
}

TEST(TextPanels, MissingFontGivesNothingAndPngRoundTrips) {
    EXPECT_TRUE(renderTextPanels("/nonexistent/font.ttf", kBoldFontPath).empty());
    std::vector<uint8_t> rgba(4 * 3 * 2);
    for (size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = uint8_t(i * 11);
    std::string path = ::testing::TempDir() + "/panels_roundtrip.png";
    ASSERT_TRUE(savePngRgba(path.c_str(), 3, 2, rgba));
    PngFile back = readPng(path);
    EXPECT_EQ(back.width, 3u);
    EXPECT_EQ(back.height, 2u);
    EXPECT_EQ(back.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(back.texels, rgba);
    EXPECT_FALSE(savePngRgba(path.c_str(), 4, 2, rgba)); // size does not match the texels
    remove(path.c_str());
}

} // namespace
