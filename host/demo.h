// The built-in demo: what a newcomer runs first.
#pragma once

#include <iosfwd>
#include <string>

namespace qhost {

class Backend;

/// Runs the demo script on `backend`, writing its files into `outDir`. Returns the exit status.
int runDemo(Backend& backend, const std::string& outDir, std::ostream& out);

/// The demo's script, with OUT standing for the output folder.
std::string demoScript(const std::string& outDir);

} // namespace qhost
