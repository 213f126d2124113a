// Finds data files in the working directory, then beside the executable, then installed.
#include "shell/data_path.h"
#include <SDL2/SDL.h>
#include <sys/stat.h>

#ifndef GLIMWICK_INSTALLED_DATA_DIR // relative to the executable's folder, ending in '/'
#define GLIMWICK_INSTALLED_DATA_DIR "../share/glimwick/"
#endif

namespace {
bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
} // namespace

std::string findDataPath(const char* relativePath, const std::string& executableDir) {
    if (exists(relativePath))
        return relativePath;
    if (executableDir.empty())
        return relativePath;
    std::string beside = executableDir + relativePath;
    if (exists(beside))
        return beside;
    // Installed, the files lie directly in the data folder, without the "data/".
    std::string name = relativePath;
    if (name.rfind("data/", 0) == 0)
        name.erase(0, 5);
    std::string installed = executableDir + GLIMWICK_INSTALLED_DATA_DIR + name;
    if (exists(installed))
        return installed;
    return relativePath;
}

std::string resolveDataPath(const char* relativePath) {
    std::string executableDir;
    if (char* base = SDL_GetBasePath()) {
        executableDir = base;
        SDL_free(base);
    }
    return findDataPath(relativePath, executableDir);
}
