// The host's installation as the command line describes it, shared by both builds of qhost: the
// Linux build configures its platform adapter from it, the Windows build the real system.
#pragma once

#include <optional>
#include <string>

namespace qhost {

struct HostOptions {
    std::string language;             // the host's language code; empty: engb unless a registry file is given
    std::string registryFile;         // a registry export (.reg) of the host's settings
    std::string moduleFolder;         // the folder beside the module: code file, translations, help
    std::optional<float> twips;       // screen twips per pixel; absent: the screen's own (15 on Linux)
    std::optional<unsigned> codePage; // the system's ANSI code page; absent: the system's (1252 on Linux)
};

/// The language a host writes when no registry file replaces its settings.
inline constexpr const char* kDefaultLanguage = "engb";

} // namespace qhost
