// Reading the files a user hands qhost (scripts, documents, registry exports, files a script
// compares) with a size bound, so that a folder, a device or an endless file gets a clear error
// instead of an empty run or an exhausted memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace qhost::files {

/// The largest script, document or registry file qhost reads: far above any real one, far below
/// what would strain the machine.
inline constexpr std::uintmax_t kMaxInputBytes = 8u << 20;

struct ReadError : std::runtime_error {
    enum class Why { Missing, Folder, NotOrdinary, TooLarge, Unreadable };
    ReadError(Why reason, const std::string& message) : std::runtime_error(message), why(reason) {}
    Why why;
};

/// The bytes of the ordinary file at `path` (UTF-8), or ReadError "cannot read PATH: reason"
/// when it is missing, a folder, not an ordinary file, or larger than `limit`.
std::string readBounded(const std::string& path, std::uintmax_t limit = kMaxInputBytes);

/// A path from qhost's UTF-8 text, for the standard library on both builds.
std::filesystem::path pathOf(const std::string& utf8);

} // namespace qhost::files
