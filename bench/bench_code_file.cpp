// Reading the code file, against floors measured in the same run:
// - a block of a large code file (C with markers ending just under the reader's 16 MiB limit,
//   in Windows-1252 and in Shift-JIS) against a plain copy of the file into memory (open, read,
//   close);
// - a new display's start-up (Initialize and InitProperties, which reads two blocks of the
//   shipped code file): within 15 microseconds; one plain copy of that file is printed beside
//   it by the benchmark run.
#include "codegen/code_file.h"
#include "component/led7seg4.h"
#include "posix_platform.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef SEG4_CODE_FILE
#error "SEG4_CODE_FILE names the shipped code file"
#endif

namespace {

using namespace seg4;
namespace fs = std::filesystem;

/// A module folder of its own holding `ARM_7seg4.c`, removed at the end.
struct Folder {
    fs::path path;
    explicit Folder(const std::string& name) : path(fs::temp_directory_path() / ("seg4-bench-" + name)) {
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path codeFile() const { return path / "ARM_7seg4.c"; }
};

/// Just under `limit` bytes of C in blocks of forty lines, the block asked for last; `wide` adds
/// two-byte characters of Shift-JIS in comments. Empty when the blocks cannot fit (the caller
/// then skips with an error).
std::string largeCodeFile(std::size_t limit, bool wide) {
    const std::string comment = wide ? " // \x93\xfa\x96\x7b\x8c\xea" : " // segment lines";
    const std::string line = "    PORT->ODR = (PORT->ODR & ~mask) | pattern;" + comment + "\r\n";
    const std::string wanted = "/*Macro_WANTED_Start*/\r\nint wanted;\r\n/*Macro_WANTED_End*/\r\n";
    std::string file;
    for (int block = 0;; ++block) {
        const std::string name = "Macro_BLOCK" + std::to_string(block);
        std::string next = "/*" + name + "_Start*/\r\n";
        for (int n = 0; n < 40; ++n) next += line;
        next += "/*" + name + "_End*/\r\n";
        if (file.size() + next.size() + wanted.size() > limit) break;
        file += next;
    }
    file += wanted;
    if (file.size() > limit || file.size() < limit - limit / 64) return {};
    return file;
}

void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

/// The floor: the file's bytes copied into memory, as plainly as the system allows.
std::string plainCopy(const fs::path& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    bytes.resize(static_cast<std::size_t>(fs::file_size(path)));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return bytes;
}

/// The large file for both the floor and the block read: the largest the component reads.
bool writeLargeFile(benchmark::State& state, const Folder& folder) {
    const std::string bytes = largeCodeFile(codegen::kMaxCodeFileBytes, state.range(0) != 0);
    if (bytes.empty()) {
        state.SkipWithError("the large code file does not end just under the reader's limit");
        return false;
    }
    write(folder.codeFile(), bytes);
    return true;
}

void FloorCopyLargeFile(benchmark::State& state) {
    Folder folder("copy");
    if (!writeLargeFile(state, folder)) return;
    for (auto _ : state) benchmark::DoNotOptimize(plainCopy(folder.codeFile()).data());
}

void ReadBlockOfLargeFile(benchmark::State& state) {
    const bool wide = state.range(0) != 0;
    Folder folder("block");
    if (!writeLargeFile(state, folder)) return;
    PosixPlatform platform;
    platform.setModuleFolder(folder.path.string());
    platform.setSystemCodePage(wide ? 932 : 1252);
    codegen::CodeFile file(platform, u"ARM_7seg4.c", [](const std::u16string&) {});
    for (auto _ : state) {
        const std::u16string text = file.block(u"Macro_WANTED", u"LED7SEG4");
        if (text != u"int wanted;\n") state.SkipWithError("the block was not found");
        benchmark::DoNotOptimize(text.data());
    }
}

void FloorCopyCodeFile(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(plainCopy(SEG4_CODE_FILE).data());
}

/// A platform on a module folder as it ships: code file, help file and translations; and the
/// host's settings as installed.
struct Shipped {
    Folder folder{"start-up"};
    PosixPlatform platform;
    int messages = 0;
    Shipped() {
        const fs::path shipped = fs::path(SEG4_CODE_FILE).parent_path();
        fs::copy(shipped, folder.path, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        write(folder.path / "help" / "ARM_7seg4.chm", ""); // compiled on Windows only; found by its name
        platform.setModuleFolder(folder.path.string());
        const std::u16string info = u"Software\\DelmarshSW\\QuorvaneV4\\Info";
        platform.setRegistryString(info, u"CurrentProfile", u"QuorvaneV4");
        platform.setRegistryString(info, u"CurrentLanguage", u"engb");
        platform.setMessageBoxHandler([this](const MessageBoxRequest&) { return ++messages, 1; });
    }
};

/// Initialize and InitProperties (`part` 0), or only Initialize (1: the language and help
/// lookups), or InitProperties again on an initialised display (2: the pin table and the two
/// code-file reads).
void StartUp(benchmark::State& state) {
    Shipped s;
    const long part = state.range(0);
    Led7Seg4 initialised(s.platform);
    initialised.Initialize();
    for (auto _ : state) {
        if (part == 2) {
            initialised.InitProperties();
            continue;
        }
        Led7Seg4 control(s.platform);
        control.Initialize();
        if (part == 0) control.InitProperties();
        benchmark::DoNotOptimize(&control);
    }
    if (s.messages != 0) state.SkipWithError("the start-up showed messages: the module folder is incomplete");
}

BENCHMARK(FloorCopyLargeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBlockOfLargeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorCopyCodeFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(StartUp)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return seg4::bench::runWithGoals(argc, argv, [](seg4::bench::RatioReporter& r) {
        r.ratioGoal("ReadBlockOfLargeFile/0", "FloorCopyLargeFile/0", 5);
        r.ratioGoal("ReadBlockOfLargeFile/1", "FloorCopyLargeFile/1", 5);
        if (const auto t = r.nanoseconds("StartUp/0"))
            r.valueGoal("StartUp/0", "(absolute)", *t / 1e3, "us", 15);
    });
}
