// Locates the show's data files.
#pragma once
#include <string>

// The first of these that exists: relativePath ("data/NAME") from the working directory,
// only when workingDirectoryFirst (a program of a build tree, run by its developer from the
// source tree); the same path under executableDir (which ends in '/'); NAME in the
// installed data folder, GLIMWICK_INSTALLED_DATA_DIR relative to executableDir
// (share/glimwick beside bin/). relativePath unchanged when none does, for the open to
// report (a bare copy of the executable thus still reads the working directory's data/).
std::string findDataPath(const char* relativePath, const std::string& executableDir,
                         bool workingDirectoryFirst);
// Whether executableDir (ending in '/' or '\\') or a folder above it is a CMake build tree.
bool inBuildTree(const std::string& executableDir);
// findDataPath from the running executable's folder, the working directory first only in
// a build tree: an installed program reads its own data wherever it is started from.
std::string resolveDataPath(const char* relativePath);
