// The files a run writes and reads: plain bytes, PNG pictures, animated PNG.
#pragma once

#include "display/frame.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace qhost {

/// A file that cannot be written or read.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Writes bytes to a file, creating its folder. The file is replaced only once the new bytes are
/// safely written: a failure keeps the old file and says why ("No space left on device").
void writeFile(const std::string& path, const std::string& bytes);
/// A whole file's bytes; a folder, a device or a file above 8 MiB is refused with the reason.
std::string readFile(const std::string& path);
/// Writes a picture as PNG.
void writeSnapshot(const seg4::Frame& picture, const std::string& path);
/// The frames as one animated PNG, each shown `delayMs` milliseconds, played forever.
std::string animatedPng(const std::vector<seg4::Frame>& frames, int delayMs);

} // namespace qhost
