// qhost, the headless host: places ARM_7seg4 displays, drives them from scripts, and shows what
// they do.
#include "automation/conversions.h"
#include "demo.h"
#include "interpreter.h"
#include "native_backend.h"
#include "posix_platform.h"
#include "script_parser.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <sstream>

namespace {

struct HostOptions {
    std::string language;
    std::string registryFile;
    std::string moduleFolder;
    float twips = 15;
    unsigned codePage = 1252;
};

void addHostOptions(CLI::App& app, HostOptions& o) {
    app.add_option("--language", o.language,
                   "the host's language code as its registry stores it (engb, dede, frfr, ja, ...)");
    app.add_option("--registry", o.registryFile, "a registry export (.reg) of the host's settings instead")
        ->check(CLI::ExistingFile);
    app.add_option(
           "--module-folder", o.moduleFolder,
           "the folder beside the module: code file, translations, help (default: the installed data)")
        ->check(CLI::ExistingDirectory);
    app.add_option("--twips", o.twips, "screen twips per pixel (15 at 96 dpi, 12 at 120 dpi)")
        ->check(CLI::Range(1.0f, 1440.0f));
    app.add_option("--code-page", o.codePage, "the system's ANSI code page")->check(CLI::Range(1u, 65535u));
}

/// Configures the Linux platform as the host's installation would be.
void configure(seg4::PosixPlatform& platform, const HostOptions& o) {
    platform.setTwipsPerPixel(o.twips, o.twips);
    platform.setSystemCodePage(o.codePage);
    if (!o.moduleFolder.empty()) platform.setModuleFolder(o.moduleFolder);
    if (!o.registryFile.empty()) {
        platform.loadRegistryFile(o.registryFile);
        if (o.language.empty()) return;
    }
    // An installed host keeps its profile and language under its own key.
    const std::u16string info = u"Software\\DelmarshSW\\QuorvaneV4\\Info";
    platform.setRegistryString(info, u"CurrentProfile", u"QuorvaneV4");
    platform.setRegistryString(info, u"CurrentLanguage",
                               seg4::fromUtf8(o.language.empty() ? "engb" : o.language));
}

int runScript(const std::string& path, const HostOptions& o) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "qhost: cannot read " << path << "\n";
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    qhost::ParseResult parsed = qhost::parseScript(text.str(), path);
    if (!parsed.errors.empty()) {
        for (const auto& e : parsed.errors) std::cout << path << ":" << e.line << ": " << e.message << "\n";
        return 2;
    }
    seg4::PosixPlatform platform;
    configure(platform, o);
    qhost::NativeBackend backend(platform);
    qhost::Interpreter interpreter(backend, std::cout);
    return interpreter.run(parsed.script);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"qhost: the headless host for ARM_7seg4 displays"};
    app.require_subcommand(1);

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    try {
        if (*run) return runScript(script, runOptions);
        seg4::PosixPlatform platform;
        configure(platform, demoOptions);
        qhost::NativeBackend backend(platform);
        return qhost::runDemo(backend, outDir, std::cout);
    } catch (const std::exception& e) {
        std::cerr << "qhost: " << e.what() << "\n";
        return 2;
    }
}
