// The host commands of a script: documents, pictures, generated code, what the eye sees.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace seg4 {
struct Frame;
}

namespace qhost {

class Interpreter;

/// A command used wrongly (missing file name, unreadable document): a fault of the script.
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Runs `word` (snapshot, save, load, codegen, eye, animate, scan, history) with its arguments.
void runCommand(Interpreter& interpreter, const std::string& word, const std::vector<std::string>& args,
                int line);

/// Writes bytes to a file, creating its folder. Throws CommandError on failure.
void writeFile(const std::string& path, const std::string& bytes);

/// Writes a picture as PNG.
void writeSnapshot(const seg4::Frame& picture, const std::string& path);

/// The commands over simulated time: eye, scan, animate.
void runViewCommand(Interpreter& interpreter, const std::string& word, const std::vector<std::string>& args,
                    int line);

} // namespace qhost
