// Generator of data/texture_text.png: renders the text panels and writes them as a PNG.
#include "assets/text/text_panels.h"
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> rgba = renderTextPanels(kRegularFontPath, kBoldFontPath);
    if (rgba.empty()) {
        fprintf(stderr, "%s: cannot render the text (fonts %s, %s; package fonts-dejavu-core)\n",
                argv[0], kRegularFontPath, kBoldFontPath);
        return 1;
    }
    if (!savePngRgba(argv[1], kTextTextureWidth, kTextTextureHeight, rgba)) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
