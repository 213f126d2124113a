// Preloaded by the end-to-end tests: the shut-down hangs for good at its first
// SDL_GL_DeleteContext, as a driver or sound server that never answers would, after
// creating the file named by GLIMWICK_TEST_HANG_FILE.
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

// SDL's own declaration, which this one replaces (SDL_GLContext is a void*).
extern "C" void SDL_GL_DeleteContext(void* context);

extern "C" void SDL_GL_DeleteContext(void* context) {
    if (const char* file = getenv("GLIMWICK_TEST_HANG_FILE")) {
        close(open(file, O_WRONLY | O_CREAT, 0644));
        for (;;)
            pause(); // signal handlers still run
    }
    using Delete = void (*)(void*);
    static const Delete real = reinterpret_cast<Delete>(dlsym(RTLD_NEXT, "SDL_GL_DeleteContext"));
    real(context);
}
