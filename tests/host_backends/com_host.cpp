// The contract tests' backend under Wine: the registered module through COM, with the host's
// settings written as qhost.exe writes them. The program has its own watchdog.
#include "com_backend.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qhost::testing {

Backend& testBackend() {
    static ComBackend backend;
    return backend;
}

} // namespace qhost::testing

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // piped output under Wine is otherwise held back
    qhost::prepareProcess();
    qhost::applyHostOptions({});
    qhost::testing::testBackend(); // COM joins this thread's apartment before any test
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
