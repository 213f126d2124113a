/* Preloaded into the show by glimwick-measure-show-sync: answers the start-up question
 * with No, and at every buffer swap writes when the frame was presented (CLOCK_MONOTONIC,
 * taken as the swap returns) and how bright the top left of its picture was, one
 * "seconds brightness" line per frame to $GLIMWICK_SWAP_LOG. The flash of a cut shows as
 * a jump in brightness. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

/* The picture is letterboxed 1024 x 512 in the 1024 x 768 window: rows 128 to 639 from the
 * bottom. The patch lies in its top left, clear of the model and the text panels. */
enum { kPatchX = 32, kPatchY = 560, kPatchW = 64, kPatchH = 32 };

static FILE* stamps;

int SDL_ShowMessageBox(const SDL_MessageBoxData* box, int* chosen) {
    (void)box;
    if (chosen)
        *chosen = 0; /* No: windowed */
    return 0;
}

void SDL_GL_SwapWindow(SDL_Window* window) {
    static void (*swap)(SDL_Window*);
    static unsigned char patch[kPatchW * kPatchH * 4];
    if (!swap)
        swap = (void (*)(SDL_Window*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    if (!stamps) {
        const char* path = getenv("GLIMWICK_SWAP_LOG");
        stamps = fopen(path ? path : "/dev/null", "w");
    }
    glReadPixels(kPatchX, kPatchY, kPatchW, kPatchH, GL_RGBA, GL_UNSIGNED_BYTE, patch);
    double sum = 0;
    for (int i = 0; i < kPatchW * kPatchH; ++i)
        sum += 0.2126 * patch[4 * i] + 0.7152 * patch[4 * i + 1] + 0.0722 * patch[4 * i + 2];
    swap(window);
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (stamps) {
        fprintf(stamps, "%.6f %.2f\n", (double)now.tv_sec + 1e-9 * (double)now.tv_nsec,
                sum / (kPatchW * kPatchH));
        fflush(stamps);
    }
}
