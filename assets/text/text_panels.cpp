// Renders the text panels texture (see text_panels.h): FreeType glyphs, a soft dark halo.
#include "assets/text/text_panels.h"
#include <algorithm>
#include <cmath>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <string>

const char* const kRegularFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kBoldFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

namespace {

enum class Align { Left, Centre, Right };

// One line of text: where its pen starts (x is the left end, centre or right end as aligned),
// its baseline, size in pixels, extra spacing between letters, and its grey level 0..1.
struct TextLine {
    int region;
    const char* text;
    bool bold;
    int pixelSize;
    Align align;
    double x;       // texels from the region's left edge
    int baseline;   // texels from the region's top edge
    double spacing; // texels added after each letter
    double grey;
};

// Region 1 is drawn 1:1 in the middle of the screen; region 3 is drawn 27 pixels right of
// region 1's centre line, so its line is centred at x = 87 to sit under the title's centre.
const TextLine kLines[] = {
    {0, "VORNIC", true, 13, Align::Centre, 152, 19, 5.0, 0.78},
    {0, "Glimwick", true, 42, Align::Centre, 152, 59, 0.0, 1.0},
    {1, "code", false, 15, Align::Right, 124, 21, 0.0, 0.75},
    {1, "music", false, 15, Align::Right, 124, 40, 0.0, 0.75},
    {1, "graphics", false, 15, Align::Right, 124, 59, 0.0, 0.75},
    {1, "released", false, 15, Align::Right, 124, 78, 0.0, 0.75},
    {1, "Vornic", true, 15, Align::Left, 136, 21, 0.0, 1.0},
    {1, "Vornic", true, 15, Align::Left, 136, 40, 0.0, 1.0},
    {1, "Vornic", true, 15, Align::Left, 136, 59, 0.0, 1.0},
    {1, "2026", true, 15, Align::Left, 136, 78, 0.0, 1.0},
    {2, "thanks for watching", false, 14, Align::Centre, 87, 18, 0.0, 0.9},
};

// Clear band (texels) between the glyphs and a region's edge: room for the 3-texel halo
// plus the 2 texels that linear filtering and mipmaps need.
const int kGlyphMargin = 5;

struct Canvas {
    std::vector<float> coverage, grey; // glyph coverage 0..1 and its grey level
    bool fits = true;
};

// Kerning between two glyphs in texels; 0 after the first glyph or without kerning data.
double kerning(FT_Face face, FT_UInt previous, FT_UInt index) {
    if (!previous || !FT_HAS_KERNING(face))
        return 0;
    FT_Vector kern;
    FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
    return kern.x / 64.0; // 26.6 fixed point
}

// Pen advance of a line in texels, so it can be aligned before it is drawn.
double lineWidth(FT_Face face, const TextLine& line) {
    double width = 0;
    FT_UInt previous = 0;
    for (const char* c = line.text; *c; ++c) {
        FT_UInt index = FT_Get_Char_Index(face, FT_ULong(*c));
        width += kerning(face, previous, index);
        if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT) == 0)
            width += face->glyph->advance.x / 64.0 + (c[1] ? line.spacing : 0.0);
        previous = index;
    }
    return width;
}

// Draws one line; each glyph starts on a whole texel so that stems stay sharp at 1:1.
void drawLine(FT_Face face, const TextLine& line, Canvas& canvas) {
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(line.pixelSize));
    const TextRect& r = kTextRegions[line.region];
    double width = lineWidth(face, line);
    double pen = r.left + line.x -
                 (line.align == Align::Centre  ? std::round(width / 2)
                  : line.align == Align::Right ? width
                                               : 0.0);
    int baseline = r.top + line.baseline;
    FT_UInt previous = 0;
    for (const char* c = line.text; *c; ++c) {
        FT_UInt index = FT_Get_Char_Index(face, FT_ULong(*c));
        pen += kerning(face, previous, index);
        previous = index;
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0)
            continue;
        FT_GlyphSlot g = face->glyph;
        int ox = int(std::lround(pen)) + g->bitmap_left, oy = baseline - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; ++row)
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                uint8_t v = g->bitmap.buffer[int(row) * g->bitmap.pitch + int(col)];
                if (v == 0)
                    continue;
                int x = ox + int(col), y = oy + int(row);
                if (x < r.left + kGlyphMargin || x >= r.right - kGlyphMargin ||
                    y < r.top + kGlyphMargin || y >= r.bottom - kGlyphMargin) {
                    canvas.fits = false;
                    continue;
                }
                size_t i = size_t(y * kTextTextureWidth + x);
                canvas.coverage[i] = std::max(canvas.coverage[i], v / 255.0f);
                canvas.grey[i] = float(line.grey);
            }
        pen += g->advance.x / 64.0 + line.spacing;
    }
}

// The halo: glyph coverage grown by one texel, then blurred (Gaussian, sigma 0.9 texels,
// radius 3), kept inside the regions.
std::vector<float> halo(const std::vector<float>& coverage) {
    const int w = kTextTextureWidth, h = kTextTextureHeight, radius = 3;
    std::vector<float> grown(coverage.size(), 0.0f), pass(coverage.size(), 0.0f),
        out(coverage.size(), 0.0f);
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            float m = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    m = std::max(m, coverage[size_t((y + dy) * w + x + dx)] *
                                        (dx && dy ? 0.7f : 1.0f));
            grown[size_t(y * w + x)] = m;
        }
    double kernel[2 * radius + 1], sum = 0;
    for (int k = -radius; k <= radius; ++k)
        sum += kernel[k + radius] = std::exp(-k * k / (2.0 * 0.9 * 0.9));
    for (double& k : kernel)
        k /= sum;
    for (int y = 0; y < h; ++y)
        for (int x = radius; x < w - radius; ++x) {
            double acc = 0;
            for (int k = -radius; k <= radius; ++k)
                acc += kernel[k + radius] * grown[size_t(y * w + x + k)];
            pass[size_t(y * w + x)] = float(acc);
        }
    for (int y = radius; y < h - radius; ++y)
        for (int x = 0; x < w; ++x) {
            double acc = 0;
            for (int k = -radius; k <= radius; ++k)
                acc += kernel[k + radius] * pass[size_t((y + k) * w + x)];
            out[size_t(y * w + x)] = float(std::min(1.0, 2.0 * acc));
        }
    return out;
}

bool inAnyRegion(int x, int y) {
    for (const TextRect& r : kTextRegions)
        if (x >= r.left + 2 && x < r.right - 2 && y >= r.top + 2 && y < r.bottom - 2)
            return true;
    return false;
}

} // namespace

std::vector<uint8_t> renderTextPanels(const char* regularFont, const char* boldFont) {
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0)
        return {};
    FT_Face regular = nullptr, bold = nullptr;
    bool loaded = FT_New_Face(library, regularFont, 0, &regular) == 0 &&
                  FT_New_Face(library, boldFont, 0, &bold) == 0;
    size_t texels = size_t(kTextTextureWidth) * kTextTextureHeight;
    Canvas canvas{std::vector<float>(texels, 0.0f), std::vector<float>(texels, 0.0f)};
    if (loaded)
        for (const TextLine& line : kLines)
            drawLine(line.bold ? bold : regular, line, canvas);
    FT_Done_FreeType(library); // also releases the faces
    if (!loaded || !canvas.fits)
        return {};

    // Straight alpha: glyph over its dark halo. Halo texels are near-black so that linear
    // filtering toward transparent (0, 0, 0, 0) neighbours keeps the edge dark, never grey.
    std::vector<float> shadow = halo(canvas.coverage);
    const double shadowOpacity = 0.85, shadowGrey = 0.03;
    std::vector<uint8_t> rgba(texels * 4, 0);
    for (int y = 0; y < kTextTextureHeight; ++y)
        for (int x = 0; x < kTextTextureWidth; ++x) {
            size_t i = size_t(y * kTextTextureWidth + x);
            if (!inAnyRegion(x, y))
                continue;
            double g = canvas.coverage[i], s = shadowOpacity * shadow[i] * (1.0 - g);
            double alpha = g + s;
            if (alpha <= 0)
                continue;
            double colour = (g * canvas.grey[i] + s * shadowGrey) / alpha;
            uint8_t c = uint8_t(std::lround(255.0 * colour));
            rgba[i * 4 + 0] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = c;
            rgba[i * 4 + 3] = uint8_t(std::lround(255.0 * alpha));
        }
    return rgba;
}

bool savePngRgba(const char* path, int width, int height, const std::vector<uint8_t>& rgba) {
    if (rgba.size() != size_t(width) * size_t(height) * 4)
        return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr) != 0;
}
