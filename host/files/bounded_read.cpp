// Bounded reading of the files a user names.
#include "bounded_read.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace qhost::files {

std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

namespace {

using Why = ReadError::Why;

[[noreturn]] void refuse(Why why, const std::string& path, const std::string& reason) {
    throw ReadError(why, "cannot read " + path + ": " + reason);
}

std::string megabytes(std::uintmax_t bytes) {
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

} // namespace

std::string readBounded(const std::string& path, std::uintmax_t limit) {
    const std::filesystem::path p = pathOf(path);
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(p, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        refuse(Why::Missing, path, std::strerror(ENOENT));
    if (ec) refuse(Why::Unreadable, path, ec.message());
    if (status.type() == std::filesystem::file_type::directory)
        refuse(Why::Folder, path, "it is a folder, not a file");
    if (status.type() != std::filesystem::file_type::regular)
        refuse(Why::NotOrdinary, path, "it is not an ordinary file");
    const std::uintmax_t size = std::filesystem::file_size(p, ec);
    if (!ec && size > limit)
        refuse(Why::TooLarge, path, "it is larger than the " + megabytes(limit) + " qhost reads");

    std::ifstream in(p, std::ios::binary);
    if (!in) refuse(Why::Unreadable, path, std::strerror(errno != 0 ? errno : EACCES));
    // The file may grow after its size was taken: read to its end, never past the bound.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(ec ? 0 : size));
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > limit)
            refuse(Why::TooLarge, path, "it is larger than the " + megabytes(limit) + " qhost reads");
    }
    if (in.bad()) refuse(Why::Unreadable, path, "the system could not read it");
    return bytes;
}

} // namespace qhost::files
