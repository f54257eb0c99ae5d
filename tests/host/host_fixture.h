// Runs qhost scripts against the linked core, set up as an installed English host.
#pragma once

#include "backends/native_backend.h"
#include "posix_platform.h"
#include "script/interpreter.h"
#include "script/script_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace qhost::test {

/// The Linux platform with the build's data folder and the host's registry values.
inline void installHost(seg4::PosixPlatform& platform) {
    if (const char* data = std::getenv("SEG4_DATA_DIR")) platform.setModuleFolder(data);
    platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentProfile", u"QuorvaneV4");
    platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", u"engb");
}

struct ScriptRun {
    int status;
    std::string output;
};

/// Runs `text` as the script "t.qhs"; the script must parse.
inline ScriptRun runScript(const std::string& text) {
    seg4::PosixPlatform platform;
    installHost(platform);
    NativeBackend backend(platform);
    std::ostringstream out;
    ParseResult parsed = parseScript(text, "t.qhs");
    EXPECT_TRUE(parsed.errors.empty()) << (parsed.errors.empty() ? "" : parsed.errors[0].message);
    Interpreter interpreter(backend, out);
    const int status = interpreter.run(parsed.script);
    return {status, out.str()};
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace qhost::test
