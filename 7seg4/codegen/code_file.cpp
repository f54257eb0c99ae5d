// The code file beside the module: where it lies, the key reader (profile view) and the block
// reader (block view).
//
// Neither reader keeps anything between calls: every call builds the path again and reads the
// file as it is now, so a code file that is edited, replaced or removed while the host runs is
// seen at the next call.
#include "codegen/code_file.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "platform/platform.h"

#include <cstdint>
#include <new>
#include <vector>

namespace seg4 {

namespace codegen {

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

} // namespace codegen

namespace {

// The ANSI profile reader hands values back in a buffer of this many characters, its
// terminating NUL included.
constexpr std::size_t kProfileBufferChars = 255;

std::u16string codeFilePath(Platform& platform, const Led7Seg4State& state) {
    return platform.moduleFolder() + u"\\" + state.m_sCodeFile;
}

} // namespace

std::u16string Led7Seg4::get_CodeFilename() { return codeFilePath(platform_, state_); }

std::u16string Led7Seg4::GetIniKeyValue(std::u16string& lpApplicationName, std::u16string& lpKeyName,
                                        std::u16string& lpDefault) {
    try {
        const std::u16string path = codeFilePath(platform_, state_);
        if (!platform_.isOrdinaryFile(path)) {
            // The component keeps no file open between calls, so after this message there is
            // nothing to close; the profile reader then finds no file and answers the default.
            showMessage(u"Error - cannot find C code file:\r\n\r\n" + path);
        }
        const std::uint32_t codePage = platform_.systemAnsiCodePage();
        std::string value = platform_.profileString(
            platform_.encodeAnsi(lpApplicationName, codePage), platform_.encodeAnsi(lpKeyName, codePage),
            platform_.encodeAnsi(lpDefault, codePage), kProfileBufferChars, path);
        // Only what fits the buffer before its NUL is kept, whatever the reader handed back.
        if (value.size() > kProfileBufferChars - 1) value.resize(kProfileBufferChars - 1);
        return platform_.decodeAnsi(value, codePage);
    } catch (const ComError& e) {
        showMessage(e.description());
    } catch (const std::bad_alloc&) {
        showMessage(describeHResult(hr::OutOfMemory));
    }
    return {};
}

std::u16string Led7Seg4::GetCodeFromFile(std::u16string& lpCodeName) {
    codegen::BlockScan scan;
    try {
        const std::u16string path = codeFilePath(platform_, state_);
        if (!platform_.isOrdinaryFile(path)) {
            // Nothing to close here either; the read below fails and says why.
            showMessage(u"Error - cannot find C code file:\r\n\r\n" + path);
        }
        // The whole file comes in one platform call and no handle outlives it. A read that
        // fails part-way therefore leaves nothing open behind it: its caller sees the failure
        // message and an empty text, and the next read starts afresh and works as soon as the
        // file can be read again.
        const std::vector<std::uint8_t> bytes = platform_.readFile(path);
        const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        // CR and LF are single bytes in every ANSI code page, so decoding the whole file at once
        // gives the same lines as decoding it line by line.
        scan = codegen::scanBlocks(platform_.decodeAnsi(raw, platform_.systemAnsiCodePage()), lpCodeName);
    } catch (const ComError& e) {
        showMessage(e.description());
        return {};
    } catch (const std::bad_alloc&) {
        showMessage(describeHResult(hr::OutOfMemory));
        return {};
    }

    if (!scan.complete())
        return u"//Error Reading Code For " + state_.m_sDescription + u"::" + lpCodeName + u"\r\n";
    return std::move(scan.text);
}

} // namespace seg4
