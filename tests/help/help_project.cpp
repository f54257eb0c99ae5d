// Reads the help project and source files for the help tests.
#include "help_project.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace seg4::test {

std::string helpSourceDir() { return SEG4_HELP_SOURCE_DIR; }
std::string builtHelpFile() { return SEG4_HELP_DATA_DIR "/help/ARM_7seg4.chm"; }
std::string builtDataDir() { return SEG4_HELP_DATA_DIR; }

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string readText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readBytes(path);
    return {bytes.begin(), bytes.end()};
}

HelpProject readHelpProject() {
    std::istringstream in(readText(helpSourceDir() + "/ARM_7seg4.hhp"));
    HelpProject project;
    std::string section, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (section == "OPTIONS") {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos) project.options[line.substr(0, eq)] = line.substr(eq + 1);
        } else if (section == "FILES") {
            for (char& c : line)
                if (c == '\\') c = '/';
            project.files.push_back(line);
        }
    }
    return project;
}

} // namespace seg4::test
