// Finds data files: in the working directory for a program of a build tree, beside the
// executable, then installed.
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

bool inBuildTree(const std::string& executableDir) {
    // CMake keeps its cache at the top of a build tree, above every program built there;
    // an install copies programs and data, never the cache. '\\' too: Windows' folders.
    std::string dir = executableDir;
    while (!dir.empty()) {
        if (exists(dir + "CMakeCache.txt"))
            return true;
        dir.pop_back(); // the separator that ends it
        size_t parent = dir.find_last_of("/\\");
        if (parent == std::string::npos)
            break;
        dir.erase(parent + 1);
    }
    return false;
}

std::string findDataPath(const char* relativePath, const std::string& executableDir,
                         bool workingDirectoryFirst) {
    if (workingDirectoryFirst && exists(relativePath))
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
    return findDataPath(relativePath, executableDir, inBuildTree(executableDir));
}
