// Writes a stand-in data/ directory: make_test_data DIR [MUSIC_SECONDS].
#include "tests/support/test_data.h"
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIR [MUSIC_SECONDS]\n", argv[0]);
        return 2;
    }
    double seconds = argc > 2 ? atof(argv[2]) : 4.0;
    if (!writeStandInData(argv[1], seconds)) {
        fprintf(stderr, "glimwick-test-data: cannot write %s/data\n", argv[1]);
        return 1;
    }
    return 0;
}
