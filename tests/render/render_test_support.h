// Shared pieces of the render tests: the real window for the whole run and pixel reads.
#pragma once
#include "tests/support/test_data.h"
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

// Opens the 1024 x 768 window (its context current, GLEW loaded) around the whole run.
class GlWindowEnvironment : public ::testing::Environment {
  public:
    void SetUp() override;
    void TearDown() override;
};

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

// Texel (x, y) of level 0 of the texture `name`, read back in the current context.
Rgba texel(uint32_t name, int x, int y);
// Pixel (x, y) of the current read buffer.
Rgba readPixel(int x, int y);
// Pretends, for its lifetime, that GLEW found (or did not find) a GL feature.
struct GlewFlagOverride {
    unsigned char& flag; // one of GLEW's __GLEW_* feature flags
    unsigned char saved;
    GlewFlagOverride(unsigned char& f, bool value) : flag(f), saved(f) { flag = value; }
    ~GlewFlagOverride() { flag = saved; }
};
