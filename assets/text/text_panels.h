// The text panels texture: three regions of pre-rendered, outlined text drawn with FreeType.
#pragma once
#include "scenes/text_regions.h"
#include <cstdint>
#include <vector>

constexpr int kTextTextureWidth = 512;  // texels
constexpr int kTextTextureHeight = 256; // texels

// Fonts of the Debian package fonts-dejavu-core.
extern const char* const kRegularFontPath;
extern const char* const kBoldFontPath;

// The texture as 8-bit straight-alpha RGBA, first row first; empty when a font can't be
// loaded or the text does not fit its region with a clear margin.
std::vector<uint8_t> renderTextPanels(const char* regularFont, const char* boldFont);

// Writes width x height RGBA texels as an 8-bit RGBA PNG, first row first.
bool savePngRgba(const char* path, int width, int height, const std::vector<uint8_t>& rgba);
