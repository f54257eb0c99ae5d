// Arbitrary bytes as a qhost script: parsed, and run when well formed, against the real core with
// no file commands and a small loop budget. Nothing may crash or trip a sanitizer.
#include "backends/native_backend.h"
#include "posix_platform.h"
#include "script/interpreter.h"
#include "script/script_parser.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qhost::ParseResult parsed = qhost::parseScript(text, "fuzz.qhs");
    if (!parsed.errors.empty()) return 0;
    static seg4::PosixPlatform platform;
    static const bool configured = [] {
        platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentProfile",
                                   u"QuorvaneV4");
        platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", u"engb");
        return true;
    }();
    (void)configured;
    platform.setTwipsPerPixel(15, 15); // a run's `twips` command does not reach the next run
    qhost::NativeBackend backend(platform);
    std::ostringstream out;
    qhost::RunLimits limits;
    limits.fileCommands = false;
    limits.maxLoopIterations = 2000;
    qhost::Interpreter interpreter(backend, out, limits);
    const int status = interpreter.run(parsed.script);
    if (status < 0 || status > 2) __builtin_trap();
    return 0;
}
