// The contract tests' backend on Linux: the linked core over the Linux platform adapter, with
// the module folder of the build's data.
#include "automation/conversions.h"
#include "backends/native_backend.h"
#include "posix_platform.h"
#include "test_host.h"

#include <cstdlib>

namespace qhost::testing {

Backend& testBackend() {
    static seg4::PosixPlatform platform;
    static NativeBackend backend = [] {
        if (const char* data = std::getenv("SEG4_DATA_DIR")) platform.setModuleFolder(data);
        const std::u16string info = u"Software\\DelmarshSW\\QuorvaneV4\\Info";
        platform.setRegistryString(info, u"CurrentProfile", u"QuorvaneV4");
        platform.setRegistryString(info, u"CurrentLanguage", u"engb");
        return NativeBackend(platform);
    }();
    return backend;
}

} // namespace qhost::testing
