// Locates the show's data files.
#pragma once
#include <string>

// The first of these that exists: relativePath ("data/NAME") from the working directory;
// the same path under executableDir (which ends in '/'); NAME in the installed data folder,
// GLIMWICK_INSTALLED_DATA_DIR relative to executableDir (share/glimwick beside bin/).
// relativePath unchanged when none does.
std::string findDataPath(const char* relativePath, const std::string& executableDir);
// findDataPath from the running executable's folder.
std::string resolveDataPath(const char* relativePath);
