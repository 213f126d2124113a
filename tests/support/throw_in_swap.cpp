// Preloaded by the end-to-end tests: SDL_GL_SwapWindow throws std::bad_alloc on the
// frame numbered by GLIMWICK_TEST_THROW_AT, as an allocation failing mid-show would.
#include <cstdlib>
#include <dlfcn.h>
#include <new>

struct SDL_Window;
// The interposed entry point (SDL's own declaration, without SDL's headers).
extern "C" void SDL_GL_SwapWindow(SDL_Window* window);

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static int frames = 0;
    static const int throwAt =
        getenv("GLIMWICK_TEST_THROW_AT") ? atoi(getenv("GLIMWICK_TEST_THROW_AT")) : 0;
    if (++frames == throwAt)
        throw std::bad_alloc();
    using Swap = void (*)(SDL_Window*);
    static const Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    real(window);
}
