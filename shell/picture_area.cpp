// The letterbox and pillarbox arithmetic (see picture_area.h).
#include "shell/picture_area.h"

PictureArea pictureArea(int drawableWidth, int drawableHeight, int width, int height) {
    PictureArea area{0, 0, drawableWidth, drawableWidth * height / width};
    if (area.height > drawableHeight) {
        area.height = drawableHeight;
        area.width = drawableHeight * width / height;
    }
    area.x = (drawableWidth - area.width) / 2;
    area.y = (drawableHeight - area.height) / 2;
    return area;
}
