// Writing an output through a temporary file beside it.
#include "replace_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>

namespace qhost::files {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// A new name in the same folder, so that the last step is a rename within one file system.
std::string temporaryBeside(const std::string& path, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    return folderOf(path) + "." + nameOf(path) + ".tmp" + std::to_string(counter++) + "-" +
           std::to_string(attempt);
}

[[noreturn]] void fail(const std::string& path, int error) {
    throw WriteError("cannot write " + path + ": " + reasonOf(error));
}

} // namespace

// Both builds' C libraries name the errno values the output systems report.
std::string reasonOf(int error) { return std::strerror(error); }

void replaceFile(const std::string& path, std::string_view bytes, OutputSystem& system) {
    const std::string folder = folderOf(path);
    if (!folder.empty()) system.createFolders(folder);

    int error = 0;
    OutputSystem::Handle handle{};
    std::string temporary;
    for (unsigned attempt = 0;; ++attempt) {
        temporary = temporaryBeside(path, attempt);
        if (system.createNew(temporary, handle, error)) break;
        if (error != EEXIST || attempt >= 100) fail(path, error);
    }

    const char* data = bytes.data();
    std::size_t left = bytes.size();
    bool written = true;
    while (left > 0 && written) {
        // One request at most 1 MiB, as some systems refuse larger writes.
        const std::size_t chunk = left < (1u << 20) ? left : (1u << 20);
        written = system.write(handle, data, chunk, error);
        data += chunk;
        left -= chunk;
    }
    int closeError = 0;
    const bool closed = system.flushAndClose(handle, closeError);
    if (written && !closed) error = closeError;
    if (!written || !closed || !system.replace(temporary, path, error)) {
        system.remove(temporary);
        fail(path, error);
    }
}

} // namespace qhost::files
