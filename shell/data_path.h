// Locates the show's data files.
#pragma once
#include <string>

// relativePath as given when it exists from the working directory, else the same path
// beside the executable when that exists, else relativePath unchanged.
std::string resolveDataPath(const char* relativePath);
