// The process of qhost.exe: binary standard output and the watchdog.
#include "com_backend.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace qhost {

void prepareProcess() {
    // The interpreter writes UTF-8 lines ending in LF; text mode would add a CR to each.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    const char* limit = std::getenv("SEG4_WATCHDOG_SECONDS");
    if (!limit) return;
    char* end = nullptr;
    const unsigned long seconds = std::strtoul(limit, &end, 10);
    if (end == limit || *end != '\0' || seconds == 0) return;
    std::thread([seconds] {
        Sleep(static_cast<DWORD>(std::min(seconds, 4'000'000UL) * 1000UL));
        std::fprintf(stderr, "qhost: watchdog: the run did not end within %lu s\n", seconds);
        std::fflush(stderr);
        // A run on a changed system ends its child; the main thread then restores the system and
        // ends with the child's status, unless restoring hangs too.
        if (stopChildRun()) Sleep(30'000);
        ExitProcess(3);
    }).detach();
}

} // namespace qhost
