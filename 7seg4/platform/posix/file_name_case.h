// File names as Windows compares them: without regard to letter case. A data folder copied from
// Windows keeps names such as "ARM_7SEG4.C" or "help/ARM_7seg4.CHM"; the module asks for them
// in its own spelling and must find them, on Linux as under Windows.
#pragma once

#include <string>

namespace seg4::posix {

/// `path` with each component that does not exist as spelt replaced by the entry of its folder
/// whose name is equal without regard to letter case (the exact spelling wins; among several
/// case variants, the one that sorts first). Components with no such entry, and everything
/// after them, are kept as they were, so that opening the result fails as opening `path` would.
std::string resolveLetterCase(const std::string& path);

} // namespace seg4::posix
