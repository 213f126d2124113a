/* Preloaded into the sanitized show by its long test: dlclose keeps every library
 * mapped, so that a leak report at exit can name the GL driver a leak comes from. */
#include <dlfcn.h>

int dlclose(void* handle) {
    (void)handle;
    return 0;
}
