// qhost's own boundary to the file system for the files it writes: the few steps of replacing a
// file, each of which can fail with the system's reason. Tests put a fault injector in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qhost::files {

/// Steps of writing a file; every failure hands back an errno value.
class OutputSystem {
public:
    using Handle = std::intptr_t;
    virtual ~OutputSystem() = default;
    /// Creates `path`, which must not exist yet (so two writers never share a temporary).
    virtual bool createNew(const std::string& path, Handle& handle, int& error) = 0;
    virtual bool write(Handle handle, const char* data, std::size_t size, int& error) = 0;
    /// Pushes the data to the device and closes the handle; the handle is gone even on failure.
    virtual bool flushAndClose(Handle handle, int& error) = 0;
    /// Puts `from` in the place of `to` in one step, replacing what was there.
    virtual bool replace(const std::string& from, const std::string& to, int& error) = 0;
    virtual void remove(const std::string& path) = 0;
    /// Creates the folders of a path that do not exist yet (best effort).
    virtual void createFolders(const std::string& folder) = 0;
};

/// The real file system of the build.
OutputSystem& systemOutput();

/// The system's text for an errno value ("No space left on device").
std::string reasonOf(int error);

} // namespace qhost::files
