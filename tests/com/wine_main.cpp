// Entry point of the Wine tests: a single-threaded apartment, a watcher for message boxes and a
// watchdog, so that no run can hang.
#include "wine_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // piped output under Wine is otherwise held back
    const char* limit = std::getenv("SEG4_WATCHDOG_SECONDS");
    const DWORD seconds = limit ? static_cast<DWORD>(std::strtoul(limit, nullptr, 10)) : 120;
    std::thread([seconds] {
        Sleep(seconds * 1000);
        std::fprintf(stderr, "watchdog: the tests did not finish within %lu s\n", seconds);
        std::fflush(stderr);
        ExitProcess(3);
    }).detach();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    seg4::wine::SeenBoxes::instance().start();
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::fflush(stdout);
    CoUninitialize();
    return rc;
}
