// Arbitrary code-file bytes through both readers of the component: the block reader answers
// what a plain line-by-line reading gives (or the error comment), the key reader at most 254
// characters, and neither shows a message for a file that is there. The harness's own copying is
// kept out of the coverage feedback (HARNESS_ONLY): it finds nothing and costs most of the time.
// Layout: byte 0 = block name length, byte 1 = section length, byte 2 = key length, then the
// block name, the section and the key (one character a byte), and the rest is the file.
#include "codegen/code_file.h"
#include "platform/platform.h"
#include "profile_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace seg4;

#define HARNESS_ONLY __attribute__((no_sanitize("coverage")))

/// Just enough platform for the readers: one file in memory, Latin-1 as the code page.
class OneFile : public Platform {
public:
    std::string file;
    int boxes = 0;

    std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view) override { return nullptr; }
    int messageBox(const MessageBoxRequest&) override { return ++boxes, msgbox::IdOk; }
    std::u16string windowText(std::uintptr_t) override { return {}; }
    float twipsPerPixelX() override { return 15; }
    float twipsPerPixelY() override { return 15; }
    int pixelsPerInchY() override { return 96; }
    bool isOrdinaryFile(const std::u16string& path) override { return path == kPath; }
    std::optional<std::uint64_t> ordinaryFileSize(const std::u16string& path) override {
        if (path != kPath) return std::nullopt;
        return file.size();
    }
    HARNESS_ONLY std::vector<std::uint8_t> readFile(const std::u16string&) override {
        return {file.begin(), file.end()};
    }
    std::string profileString(std::string_view section, std::string_view key, std::string_view fallback,
                              std::size_t bufferChars, const std::u16string&) override {
        return readProfileString(file, section, key, fallback, bufferChars);
    }
    std::u16string moduleFolder() override { return u"C:\\m"; }
    std::u16string moduleBaseName() override { return u"ARM_7seg4"; }
    ModuleVersion moduleVersion() override { return {4, 0, 0, 1}; }
    void registerHelpFile(const std::u16string&) override {}
    std::optional<std::u16string> loadStringResource(std::uint32_t) override { return std::nullopt; }
    void reportEvent(EventLogType, const std::u16string&) override {}
    std::uint32_t ansiCodePageOfLocale(std::uint32_t) override { return 1252; }
    std::uint32_t systemAnsiCodePage() override { return 1252; }
    HARNESS_ONLY std::string encodeAnsi(std::u16string_view text, std::uint32_t) override {
        std::string out(text.size(), '?');
        std::transform(text.begin(), text.end(), out.begin(),
                       [](char16_t c) { return c < 256 ? static_cast<char>(c) : '?'; });
        return out;
    }
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t) override { return latin1(bytes); }

    HARNESS_ONLY static std::u16string latin1(std::string_view bytes) {
        std::u16string out(bytes.size(), u'\0');
        const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
        char16_t* to = out.data();
        for (std::size_t i = 0; i < bytes.size(); ++i) to[i] = from[i];
        return out;
    }
    static constexpr const char16_t* kPath = u"C:\\m\\ARM_7seg4.c";
};

/// The block reader written the other way round: cut the file into lines first, then walk them.
HARNESS_ONLY std::u16string reference(const std::u16string& file, const std::u16string& name) {
    // Lines end at CR or CR LF; a last line without its CR counts when it is not empty.
    std::vector<std::u16string_view> lines;
    const std::u16string_view all(file);
    std::size_t at = 0;
    while (at < all.size()) {
        const std::size_t cr = all.find(u'\r', at);
        if (cr == std::u16string_view::npos) {
            lines.push_back(all.substr(at));
            break;
        }
        lines.push_back(all.substr(at, cr - at));
        at = cr + 1;
        if (at < all.size() && all[at] == u'\n') ++at;
    }

    const std::u16string start = u"/*" + name + u"_Start*/", end = u"/*" + name + u"_End*/";
    bool inside = false, seenStart = false, seenEnd = false;
    std::u16string text;
    for (const std::u16string_view l : lines) {
        if (inside && l == end) {
            inside = false;
            seenEnd = true;
        } else if (inside) {
            text.append(l).append(u"\n");
        } else if (l == start) {
            inside = seenStart = true;
        }
    }
    return seenStart && seenEnd ? text : u"//Error Reading Code For LED7SEG4::" + name + u"\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    auto take = [&rest](std::size_t n) {
        const std::string_view part = rest.substr(0, std::min(n, rest.size()));
        rest.remove_prefix(part.size());
        return OneFile::latin1(part);
    };
    std::u16string name = take(data[0]);
    std::u16string section = take(data[1]);
    std::u16string key = take(data[2]);
    std::u16string fallback = u"dflt";

    OneFile platform;
    platform.file = std::string(rest);
    const codegen::CodeFile file(platform, u"ARM_7seg4.c",
                                 [&platform](const std::u16string&) { ++platform.boxes; });

    const std::u16string block = file.block(name, u"LED7SEG4");
    if (block != reference(OneFile::latin1(rest), name)) std::abort();

    const std::u16string value = file.keyValue(section, key, fallback);
    if (value.size() > 254) std::abort();
    if (platform.boxes != 0) std::abort();
    return 0;
}
