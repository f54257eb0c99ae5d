// Writing an output so that a failure never loses what was there before.
#pragma once

#include "output_system.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace qhost::files {

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Writes `bytes` to a temporary file beside `path`, pushes it to the device, then puts it in
/// place of `path`. On any failure the temporary is removed, `path` keeps its old content, and
/// WriteError says "cannot write PATH: " and the system's reason.
void replaceFile(const std::string& path, std::string_view bytes, OutputSystem& system = systemOutput());

} // namespace qhost::files
