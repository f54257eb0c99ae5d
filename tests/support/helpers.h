// Small helpers every test folder needs: the error an operation fails with, whole files, and a
// scratch folder that is removed with everything in it.
#pragma once

#include "automation/errors.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace seg4::test {

/// The code `f` fails with, or hr::Ok when it does not fail.
template <class F>
HResult failureOf(F&& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

/// The bytes of a file; empty when it cannot be read.
inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// The code file in the build's data folder (SEG4_DATA_DIR), the module folder of the native build.
inline std::string shippedCodeFile() {
    const char* dir = std::getenv("SEG4_DATA_DIR");
    return readText(std::filesystem::path(dir ? dir : ".") / "ARM_7seg4.c");
}

inline void writeText(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

struct CommandRun {
    int status; // 0: it succeeded
    std::string output;
};

/// Runs a shell command, with its standard output and error together.
inline CommandRun runCommand(const std::string& command) {
    CommandRun run{-1, {}};
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.output.append(buffer, n);
        run.status = pclose(pipe);
    }
    return run;
}

/// A fresh folder of its own under the temporary folder.
class TempDir {
public:
    TempDir()
        : path_(std::filesystem::temp_directory_path() /
                ("seg4-test-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace seg4::test
