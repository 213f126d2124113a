// Where the 1024 x 768 picture goes in drawables of other sizes.
#include "shell/picture_area.h"
#include <gtest/gtest.h>

namespace {

void expectArea(PictureArea a, int x, int y, int width, int height) {
    EXPECT_EQ(a.x, x);
    EXPECT_EQ(a.y, y);
    EXPECT_EQ(a.width, width);
    EXPECT_EQ(a.height, height);
}

TEST(PictureArea, FillsAMatchingDrawableAndCentresInOthers) {
    expectArea(pictureArea(1024, 768, 1024, 768), 0, 0, 1024, 768);
    expectArea(pictureArea(2048, 1536, 1024, 768), 0, 0, 2048, 1536);   // HiDPI, 2x
    expectArea(pictureArea(1920, 1080, 1024, 768), 240, 0, 1440, 1080); // bars left, right
    expectArea(pictureArea(1280, 1024, 1024, 768), 0, 32, 1280, 960);   // bars above, below
    expectArea(pictureArea(1023, 768, 1024, 768), 0, 0, 1023, 767);     // never past the drawable
}

} // namespace
