// The output steps on Windows: the C runtime's exclusive create, write and commit, and
// MoveFileExW to put the file in place. Failures carry errno values, so qhost.exe gives the same
// reasons as the Linux qhost.
#include "output_system.h"

#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#include <system_error>

namespace qhost::files {

namespace {

std::wstring wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

int errnoOf(DWORD code) {
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_WRITE_PROTECT: return EROFS;
    default: return EIO;
    }
}

class Win32Output final : public OutputSystem {
public:
    bool createNew(const std::string& path, Handle& handle, int& error) override {
        const int fd =
            ::_wopen(wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) return error = errno, false;
        handle = fd;
        return true;
    }

    bool write(Handle handle, const char* data, std::size_t size, int& error) override {
        while (size > 0) {
            const int n = ::_write(static_cast<int>(handle), data, static_cast<unsigned>(size));
            if (n <= 0) return error = n < 0 ? errno : EIO, false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool flushAndClose(Handle handle, int& error) override {
        const int fd = static_cast<int>(handle);
        bool ok = ::_commit(fd) == 0;
        if (!ok) error = errno;
        if (::_close(fd) != 0 && ok) ok = false, error = errno;
        return ok;
    }

    bool replace(const std::string& from, const std::string& to, int& error) override {
        if (MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        error = errnoOf(GetLastError());
        return false;
    }

    void remove(const std::string& path) override { DeleteFileW(wide(path).c_str()); }

    void createFolders(const std::string& folder) override {
        std::error_code ignored;
        std::filesystem::create_directories(wide(folder), ignored);
    }
};

} // namespace

OutputSystem& systemOutput() {
    static Win32Output system;
    return system;
}

} // namespace qhost::files
