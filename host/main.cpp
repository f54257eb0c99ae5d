// qhost, the headless host: places ARM_7seg4 displays, drives them from scripts, and shows what
// they do. The Linux build links the core; the Windows build drives the registered module
// through COM. Both read the same command line and run the same interpreter.
#include "automation/conversions.h"
#include "backends/host_options.h"
#include "demo.h"
#include "files/bounded_read.h"
#include "script/commands.h"
#include "script/interpreter.h"
#include "script/script_parser.h"

#ifdef _WIN32
#include "com_backend.h"
#else
#include "backends/native_backend.h"
#include "posix_platform.h"
#endif

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <sstream>

namespace {

using qhost::HostOptions;

void addHostOptions(CLI::App& app, HostOptions& o) {
    app.add_option("--language", o.language,
                   "the host's language code as its registry stores it (engb, dede, frfr, ja, ...)");
    app.add_option("--registry", o.registryFile, "a registry export (.reg) of the host's settings instead")
        ->check(CLI::ExistingFile);
    app.add_option(
           "--module-folder", o.moduleFolder,
           "the folder beside the module: code file, translations, help (default: the installed data)")
        ->check(CLI::ExistingDirectory);
    app.add_option_function<float>(
           "--twips", [&o](const float& v) { o.twips = v; },
           "screen twips per pixel (15 at 96 dpi, 12 at 120 dpi)")
        ->check(CLI::Range(1.0f, 1440.0f));
    app.add_option_function<unsigned>(
           "--code-page", [&o](const unsigned& v) { o.codePage = v; }, "the system's ANSI code page")
        ->check(CLI::Range(1u, 65535u));
}

#ifdef _WIN32

/// The registered module's displays, with the host's settings written where a Windows host
/// keeps them before the first display reads them.
class Host {
public:
    explicit Host(const HostOptions& o) { qhost::applyHostOptions(o); }
    qhost::Backend& backend() { return backend_; }

private:
    qhost::ComBackend backend_;
};

#else

/// Configures the Linux platform as the host's installation would be.
void configure(seg4::PosixPlatform& platform, const HostOptions& o) {
    const float twips = o.twips.value_or(15.0f);
    platform.setTwipsPerPixel(twips, twips);
    platform.setSystemCodePage(o.codePage.value_or(1252u));
    if (!o.moduleFolder.empty()) platform.setModuleFolder(o.moduleFolder);
    if (!o.registryFile.empty()) {
        platform.loadRegistryData(qhost::files::readBounded(o.registryFile), o.registryFile);
        if (o.language.empty()) return;
    }
    // An installed host keeps its profile and language under its own key.
    const std::u16string info = u"Software\\DelmarshSW\\QuorvaneV4\\Info";
    platform.setRegistryString(info, u"CurrentProfile", u"QuorvaneV4");
    platform.setRegistryString(info, u"CurrentLanguage",
                               seg4::fromUtf8(o.language.empty() ? qhost::kDefaultLanguage : o.language));
}

/// The linked core's displays on the Linux platform adapter.
class Host {
public:
    explicit Host(const HostOptions& o) { configure(platform_, o); }
    qhost::Backend& backend() { return backend_; }

private:
    seg4::PosixPlatform platform_;
    qhost::NativeBackend backend_{platform_};
};

#endif

int runScript(const std::string& path, const HostOptions& o) {
    std::string text;
    try {
        text = qhost::files::readBounded(path);
    } catch (const qhost::files::ReadError& e) {
        std::cerr << "qhost: " << e.what() << "\n";
        return 2;
    }
    qhost::ParseResult parsed = qhost::parseScript(text, path);
    if (!parsed.errors.empty()) {
        for (const auto& e : parsed.errors) std::cout << path << ":" << e.line << ": " << e.message << "\n";
        return 2;
    }
    Host host(o);
    qhost::Interpreter interpreter(host.backend(), std::cout);
    return interpreter.run(parsed.script);
}

} // namespace

// NOLINTNEXTLINE(bugprone-exception-escape): only building the option table may throw, a fault of qhost
int main(int argc, char** argv) {
#ifdef _WIN32
    // Output bytes as they are written (no CR before each LF), and no run without an end.
    qhost::prepareProcess();
#endif
    CLI::App app{"qhost: the headless host for ARM_7seg4 displays"};
    app.require_subcommand(1);
    // Under Wine the Windows build is handed Unix paths: an argument that names an existing file
    // or folder is a path, not a "/option". Windows-style options stay for command lines without
    // such a path (the subcommands take the setting over when they are added, below).
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (argv[i][0] == '/' && std::filesystem::exists(argv[i], error))
            app.allow_windows_style_options(false);
    }

    HostOptions runOptions;
    std::string script;
    CLI::App* run = app.add_subcommand("run", "run a script (one statement a line)");
    run->add_option("SCRIPT", script, "the script file (.qhs)")->required();
    addHostOptions(*run, runOptions);

    HostOptions demoOptions;
    std::string outDir = "out";
    CLI::App* demo =
        app.add_subcommand("demo", "place a display, run a multiplexed counter, write what it shows");
    demo->add_option("--out", outDir, "folder for the demo's files");
    addHostOptions(*demo, demoOptions);

    HostOptions firmwareOptions;
    std::string elf, until = "100ms", firmwareOut = "out";
    long long clockHz = 8000000;
    CLI::App* firmware = app.add_subcommand(
        "firmware",
        "run a firmware under qemu-system-arm on a display wired as it proposes, write what it shows");
    firmware->add_option("FILE", elf, "the firmware (.elf) for the mps2-an385 board")->required();
    firmware->add_option("--until", until, "emulated time to run (default 100ms)");
    firmware->add_option("--clock", clockHz, "the target's clock in Hz (default 8000000)")
        ->check(CLI::Range(1LL, 1000000000000LL));
    firmware->add_option("--out", firmwareOut, "folder for the pictures and the scan report");
    addHostOptions(*firmware, firmwareOptions);

    CLI::App* help =
        app.add_subcommand("help", "list the commands a script can use besides calls and checks");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    try {
#ifdef _WIN32
        // Under Wine, the run asks for a screen or a module folder that the system lacks: it
        // goes on in a child process on the changed system, restored after.
        if (!*help)
            if (const std::optional<int> status = qhost::runOnChangedSystem(*run        ? runOptions
                                                                            : *firmware ? firmwareOptions
                                                                                        : demoOptions))
                return *status;
#endif
        if (*run) return runScript(script, runOptions);
        if (*help) {
            qhost::writeHelp(std::cout);
            return 0;
        }
        if (*firmware) {
            Host host(firmwareOptions);
            return qhost::runCannedScript(host.backend(),
                                          qhost::firmwareScript(elf, until, clockHz, firmwareOut), "firmware",
                                          std::cout);
        }
        Host host(demoOptions);
        return qhost::runDemo(host.backend(), outDir, std::cout);
    } catch (const std::exception& e) {
        std::cerr << "qhost: " << e.what() << "\n";
        return 2;
    }
}
