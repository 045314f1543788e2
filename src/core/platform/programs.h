// Finding the companion programs that the window starts.
#pragma once

#include <string>

namespace pelldra {

// Where an installed companion program lives, relative to the folder of the program that starts it; the build
// defines it when its install folders differ from bin and libexec.
#ifndef PELLDRA_INSTALLED_PROGRAM_FOLDER
#define PELLDRA_INSTALLED_PROGRAM_FOLDER "../libexec/pelldra"
#endif
inline constexpr const char* kInstalledProgramFolder = PELLDRA_INSTALLED_PROGRAM_FOLDER;

// The path of the executable `name`: beside `ownFolder` (a build or a portable copy), then in its installed
// program folder, then in the folders of `searchPath` (a PATH value). Empty entries of the search path are skipped,
// so the current folder is never searched. "" when none is found.
std::string FindProgram(const std::string& name, const std::string& ownFolder, const std::string& searchPath);

} // namespace pelldra
