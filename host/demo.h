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

/// What `qhost firmware` runs: one display wired as it proposes, the firmware `elf` driving it
/// under the emulator for `until` (a duration such as "100ms") on a clock of `clockHz`, and the
/// display's pictures and scan report written into `outDir`. Paths holding a double quote cannot
/// be written into a script and throw std::invalid_argument.
std::string firmwareScript(const std::string& elf, const std::string& until, long long clockHz,
                           const std::string& outDir);

/// Runs a canned script (the demo's or the firmware's) named `name` for its messages.
int runCannedScript(Backend& backend, const std::string& script, const std::string& name, std::ostream& out);

} // namespace qhost
