#include "codegen/code_file.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "platform/platform.h"

#include <cstdint>
#include <new>
#include <vector>

namespace seg4::codegen {

std::u16string startMarker(std::u16string_view blockName) {
    std::u16string m = u"/*";
    m += blockName;
    m += u"_Start*/";
    return m;
}

std::u16string endMarker(std::u16string_view blockName) {
    std::u16string m = u"/*";
    m += blockName;
    m += u"_End*/";
    return m;
}

BlockScan scanBlocks(std::u16string_view fileText, std::u16string_view blockName) {
    const std::u16string start = startMarker(blockName);
    const std::u16string end = endMarker(blockName);
    BlockScan scan;
    bool inside = false;
    std::size_t pos = 0;
    while (pos < fileText.size()) {
        std::size_t lineEnd = fileText.find(u'\r', pos);
        if (lineEnd == std::u16string_view::npos) lineEnd = fileText.size();
        const std::u16string_view line = fileText.substr(pos, lineEnd - pos);
        pos = lineEnd;
        if (pos < fileText.size()) {
            ++pos; // the CR
            if (pos < fileText.size() && fileText[pos] == u'\n') ++pos;
        }

        if (inside) {
            if (line == end) {
                scan.seenEnd = true;
                inside = false;
            } else {
                scan.text += line;
                scan.text += u'\n';
            }
        } else if (line == start) {
            scan.seenStart = true;
            inside = true;
        }
    }
    return scan;
}

namespace {

// The ANSI profile reader hands values back in a buffer of this many characters, its
// terminating NUL included.
constexpr std::size_t kProfileBufferChars = 255;

} // namespace

CodeFile::CodeFile(Platform& platform, std::u16string_view fileName, Report report)
    : platform_(platform), fileName_(fileName), report_(std::move(report)) {}

std::u16string CodeFile::path() const { return platform_.moduleFolder() + u"\\" + fileName_; }

std::u16string CodeFile::keyValue(const std::u16string& section, const std::u16string& key,
                                  const std::u16string& defaultValue) const {
    try {
        const std::u16string file = path();
        if (!platform_.isOrdinaryFile(file)) {
            // Nothing is kept open between calls, so after this message there is nothing to
            // close; the profile reader then finds no file and answers the default.
            report_(u"Error - cannot find C code file:\r\n\r\n" + file);
        }
        const std::uint32_t codePage = platform_.systemAnsiCodePage();
        std::string value = platform_.profileString(
            platform_.encodeAnsi(section, codePage), platform_.encodeAnsi(key, codePage),
            platform_.encodeAnsi(defaultValue, codePage), kProfileBufferChars, file);
        // Only what fits the buffer before its NUL is kept, whatever the reader handed back.
        if (value.size() > kProfileBufferChars - 1) value.resize(kProfileBufferChars - 1);
        return platform_.decodeAnsi(value, codePage);
    } catch (const ComError& e) {
        report_(e.description());
    } catch (const std::bad_alloc&) {
        report_(describeHResult(hr::OutOfMemory));
    }
    return {};
}

std::u16string CodeFile::block(const std::u16string& name, const std::u16string& description) const {
    BlockScan scan;
    try {
        const std::u16string file = path();
        if (!platform_.isOrdinaryFile(file)) {
            // Nothing to close here either; the read below fails and says why.
            report_(u"Error - cannot find C code file:\r\n\r\n" + file);
        }
        // The whole file comes in one platform call and no handle outlives it. A read that
        // fails part-way therefore leaves nothing open behind it: its caller sees the failure
        // message and an empty text, and the next read starts afresh and works as soon as the
        // file can be read again.
        const std::vector<std::uint8_t> bytes = platform_.readFile(file);
        const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        // CR and LF are single bytes in every ANSI code page, so decoding the whole file at once
        // gives the same lines as decoding it line by line.
        scan = scanBlocks(platform_.decodeAnsi(raw, platform_.systemAnsiCodePage()), name);
    } catch (const ComError& e) {
        report_(e.description());
        return {};
    } catch (const std::bad_alloc&) {
        report_(describeHResult(hr::OutOfMemory));
        return {};
    }

    if (!scan.complete()) return u"//Error Reading Code For " + description + u"::" + name + u"\r\n";
    return std::move(scan.text);
}

} // namespace seg4::codegen
