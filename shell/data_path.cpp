// Finds data files in the working directory first, then beside the executable.
#include "shell/data_path.h"
#include <SDL2/SDL.h>
#include <sys/stat.h>

namespace {
bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
} // namespace

std::string resolveDataPath(const char* relativePath) {
    if (exists(relativePath))
        return relativePath;
    if (char* base = SDL_GetBasePath()) {
        std::string beside = std::string(base) + relativePath;
        SDL_free(base);
        if (exists(beside))
            return beside;
    }
    return relativePath;
}
