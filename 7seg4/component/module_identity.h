// The module's identity as a host reads it off the registered module: the display class's
// identifier and the version block. The class identifier comes from the control's IDL (the build
// writes it into a generated header), the version from module_version.h, which the version
// resource includes: the native build answers from the same sources the Windows module is built from.
#pragma once

#include <string>
#include <string_view>

namespace seg4 {

/// "{4DB172DB-415E-...}": the identifier of the display class, in registry style.
std::string_view controlClassId();

/// "4.0.0.1": the file version of the version block, major.minor.build.revision.
std::string fileVersionText();

} // namespace seg4
