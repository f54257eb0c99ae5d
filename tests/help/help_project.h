// The help sources as the tests see them: the project file's options and file list, and the
// bytes of any source file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace seg4::test {

/// Folder of the help sources (pages, pictures, project files).
std::string helpSourceDir();
/// The compiled help file in the build's data folder.
std::string builtHelpFile();
/// The build's data folder: the module folder of the native build.
std::string builtDataDir();

std::vector<std::uint8_t> readBytes(const std::string& path);
std::string readText(const std::string& path);

struct HelpProject {
    std::map<std::string, std::string> options; // [OPTIONS] key=value
    std::vector<std::string> files;             // [FILES], in order, '/' separated
};

/// Reads the .hhp project from the help sources.
HelpProject readHelpProject();

} // namespace seg4::test
