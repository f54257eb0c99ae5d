// The output steps on Linux: open with O_EXCL, write, fsync, close, rename.
#include "output_system.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace qhost::files {

namespace {

class PosixOutput final : public OutputSystem {
public:
    bool createNew(const std::string& path, Handle& handle, int& error) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return error = errno, false;
        handle = fd;
        return true;
    }

    bool write(Handle handle, const char* data, std::size_t size, int& error) override {
        while (size > 0) {
            const ssize_t n = ::write(static_cast<int>(handle), data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return error = n < 0 ? errno : EIO, false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool flushAndClose(Handle handle, int& error) override {
        const int fd = static_cast<int>(handle);
        // A full tmpfs or a network file system may report the failure only here.
        bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
        if (!ok) error = errno;
        if (::close(fd) != 0 && ok) ok = false, error = errno;
        return ok;
    }

    bool replace(const std::string& from, const std::string& to, int& error) override {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        error = errno;
        return false;
    }

    void remove(const std::string& path) override { ::unlink(path.c_str()); }

    void createFolders(const std::string& folder) override {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
};

} // namespace

OutputSystem& systemOutput() {
    static PosixOutput system;
    return system;
}

} // namespace qhost::files
