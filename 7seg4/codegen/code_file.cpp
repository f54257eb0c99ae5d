#include "codegen/code_file.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
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

namespace {

/// The first CR at or after `from`, or the end of the text: sixteen characters compared at a
/// time, since the lines between the markers are most of a code file, and the CR's place read
/// off the comparison.
std::size_t findLineEnd(std::u16string_view text, std::size_t from) {
    using Lanes = std::uint16_t __attribute__((vector_size(16)));
    const Lanes cr{u'\r', u'\r', u'\r', u'\r', u'\r', u'\r', u'\r', u'\r'};
    // Each lane of a comparison is all ones or all zeros: the first set lane of the 64-bit
    // words, four lanes each, is the first CR.
    const auto firstHit = [](const Lanes& hits, std::size_t at) -> std::optional<std::size_t> {
        std::uint64_t words[2];
        std::memcpy(words, &hits, sizeof words);
        if (words[0]) return at + static_cast<std::size_t>(__builtin_ctzll(words[0])) / 16;
        if (words[1]) return at + 4 + static_cast<std::size_t>(__builtin_ctzll(words[1])) / 16;
        return std::nullopt;
    };
    std::size_t i = from;
    for (; i + 16 <= text.size(); i += 16) {
        Lanes low, high;
        std::memcpy(&low, text.data() + i, sizeof low);
        std::memcpy(&high, text.data() + i + 8, sizeof high);
        const Lanes lowHits = low == cr, highHits = high == cr;
        if (const auto hit = firstHit(lowHits | highHits, 0)) {
            if (const auto inLow = firstHit(lowHits, i)) return *inLow;
            return *firstHit(highHits, i + 8);
        }
    }
    for (; i + 8 <= text.size(); i += 8) {
        Lanes chars;
        std::memcpy(&chars, text.data() + i, sizeof chars);
        if (const auto hit = firstHit(chars == cr, i)) return *hit;
    }
    while (i < text.size() && text[i] != u'\r') ++i;
    return i;
}

/// Where the line that ends at `pos` (a CR, or the end) is followed by the next line.
std::size_t nextLine(std::u16string_view text, std::size_t pos) {
    if (pos < text.size()) ++pos; // the CR
    if (pos < text.size() && text[pos] == u'\n') ++pos;
    return pos;
}

/// Appends whole lines (each ending with CR, CR LF or the end of `lines`), each followed by LF.
void appendLines(std::u16string& out, std::u16string_view lines) {
    for (std::size_t pos = 0; pos < lines.size();) {
        const std::size_t cr = findLineEnd(lines, pos);
        out.append(lines.substr(pos, cr - pos));
        out += u'\n';
        pos = nextLine(lines, cr);
    }
}

/// The lanes of a comparison (each all ones or all zeros) as bits, lowest lane lowest.
using Lanes = std::uint16_t __attribute__((vector_size(16)));
unsigned laneBits(const Lanes& hits) {
    std::uint64_t words[2];
    std::memcpy(words, &hits, sizeof words);
    unsigned bits = 0;
    for (unsigned lane = 0; lane < 8; ++lane)
        bits |= static_cast<unsigned>((words[lane / 4] >> (16 * (lane % 4))) & 1) << lane;
    return bits;
}

/// Where `marker` (which starts with "/*") next stands as a whole line of `lines` at one of
/// the `openings` from `from` on, or the end of the text. `lines` starts a line; a line starts
/// after a CR, or after the LF of a CR LF, and ends at a CR or at the end, so a marker holding a
/// CR is never a line.
std::size_t findMarkerLine(std::u16string_view lines, std::span<const std::size_t> openings,
                           std::u16string_view marker, std::size_t from) {
    if (marker.find(u'\r') != std::u16string_view::npos) return lines.size();
    for (auto it = std::lower_bound(openings.begin(), openings.end(), from); it != openings.end(); ++it) {
        const std::size_t at = *it;
        const std::size_t end = at + marker.size();
        if (end > lines.size() || lines.substr(at, marker.size()) != marker) continue;
        const bool starts = at == 0 || lines[at - 1] == u'\r' ||
                            (at >= 2 && lines[at - 1] == u'\n' && lines[at - 2] == u'\r');
        if (starts && (end == lines.size() || lines[end] == u'\r')) return at;
    }
    return lines.size();
}

} // namespace

BlockScanner::BlockScanner(std::u16string_view blockName)
    : start_(startMarker(blockName)), end_(endMarker(blockName)) {}

std::vector<std::size_t> commentOpenings(std::u16string_view lines) {
    // Each place compared with '/' and the next with '*', sixteen places at a time: a marker
    // starts with them, and other lines seldom hold them.
    const Lanes slash{u'/', u'/', u'/', u'/', u'/', u'/', u'/', u'/'};
    const Lanes star{u'*', u'*', u'*', u'*', u'*', u'*', u'*', u'*'};
    const auto openingsAt = [&](std::size_t at) {
        Lanes here, next;
        std::memcpy(&here, lines.data() + at, sizeof here);
        std::memcpy(&next, lines.data() + at + 1, sizeof next);
        return Lanes((here == slash) & (next == star));
    };
    const auto anyLane = [](const Lanes& hits) {
        std::uint64_t words[2];
        std::memcpy(words, &hits, sizeof words);
        return (words[0] | words[1]) != 0;
    };
    std::vector<std::size_t> openings;
    const auto keep = [&](const Lanes& hits, std::size_t at) {
        for (unsigned bits = laneBits(hits); bits != 0; bits &= bits - 1)
            openings.push_back(at + static_cast<std::size_t>(__builtin_ctz(bits)));
    };
    std::size_t i = 0;
    for (; i + 17 <= lines.size(); i += 16) {
        const Lanes low = openingsAt(i), high = openingsAt(i + 8);
        if (!anyLane(low | high)) continue;
        keep(low, i);
        keep(high, i + 8);
    }
    for (; i + 1 < lines.size(); ++i)
        if (lines[i] == u'/' && lines[i + 1] == u'*') openings.push_back(i);
    return openings;
}

void BlockScanner::feed(std::u16string_view lines) { feed(lines, commentOpenings(lines)); }

void BlockScanner::feed(std::u16string_view lines, std::span<const std::size_t> openings) {
    // From marker to marker: the lines between them are only looked at when they are kept.
    for (std::size_t pos = 0; pos < lines.size();) {
        if (!inside_) {
            const std::size_t start = findMarkerLine(lines, openings, start_, pos);
            if (start == lines.size()) return;
            scan_.seenStart = true;
            inside_ = true;
            pos = nextLine(lines, start + start_.size());
            continue;
        }
        // A start marker inside a block is one of its lines.
        const std::size_t end = findMarkerLine(lines, openings, end_, pos);
        // The block's lines go over together.
        appendLines(scan_.text, lines.substr(pos, end - pos));
        if (end == lines.size()) return;
        scan_.seenEnd = true;
        inside_ = false;
        pos = nextLine(lines, end + end_.size());
    }
}

BlockScan scanBlocks(std::u16string_view fileText, std::u16string_view blockName) {
    BlockScanner scanner(blockName);
    scanner.feed(fileText);
    return scanner.finish();
}

std::size_t nextPieceEnd(std::string_view bytes, std::size_t from, std::size_t atLeast) {
    if (bytes.size() - from <= atLeast) return bytes.size();
    const std::size_t found = bytes.find("\r\n", from + atLeast);
    return found == std::string_view::npos ? bytes.size() : found + 2;
}

namespace {

// The ANSI profile reader hands values back in a buffer of this many characters, its
// terminating NUL included.
constexpr std::size_t kProfileBufferChars = 255;
constexpr char16_t kCodeFileTooLarge[] = u"The code file is larger than the 16 MiB the component reads.";

// Bytes of the code file decoded at a time: small enough to stay in the caches.
constexpr std::size_t kPieceBytes = std::size_t{1} << 16;

} // namespace

CodeFile::CodeFile(Platform& platform, std::u16string_view fileName, Report report)
    : platform_(platform), fileName_(fileName), report_(std::move(report)) {}

std::u16string CodeFile::path() const { return platform_.moduleFolder() + u"\\" + fileName_; }

std::u16string CodeFile::keyValue(const std::u16string& section, const std::u16string& key,
                                  const std::u16string& defaultValue) const {
    try {
        const std::u16string file = path();
        const std::optional<std::uint64_t> size = platform_.ordinaryFileSize(file);
        if (!size || *size > kMaxCodeFileBytes) {
            // Nothing is kept open between calls, so after this message there is nothing to
            // close; the profile reader then finds no file and answers the default.
            report_(u"Error - cannot find C code file:\r\n\r\n" + file);
            if (size) return defaultValue; // a file too large to read counts as no file
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
    return std::move(blocks(std::span(&name, 1), description).front());
}

std::vector<std::u16string> CodeFile::blocks(std::span<const std::u16string> names,
                                             const std::u16string& description) const {
    std::vector<std::u16string> answers;
    answers.reserve(names.size());
    while (answers.size() < names.size()) readBlocks(names.subspan(answers.size()), description, answers);
    return answers;
}

void CodeFile::readBlocks(std::span<const std::u16string> names, const std::u16string& description,
                          std::vector<std::u16string>& answers) const {
    std::vector<BlockScanner> scanners;
    bool reported = false;
    try {
        const std::u16string file = path();
        const std::optional<std::uint64_t> size = platform_.ordinaryFileSize(file);
        if (!size || *size > kMaxCodeFileBytes) {
            // Nothing to close here either; the read below fails and says why. Said before the
            // read, as one call per name would say it.
            reported = true;
            report_(u"Error - cannot find C code file:\r\n\r\n" + file);
            if (size) {
                report_(kCodeFileTooLarge);
                answers.emplace_back();
                return;
            }
        }
        // Only the first name's read answers after a message: the next name reads again.
        if (reported) names = names.first(1);
        scanners.reserve(names.size());
        for (const std::u16string& name : names) scanners.emplace_back(name);
        // The whole file comes in one platform call and no handle outlives it. A read that
        // fails part-way therefore leaves nothing open behind it: its caller sees the failure
        // message and an empty text, and the next read starts afresh and works as soon as the
        // file can be read again.
        const std::vector<std::uint8_t> bytes = platform_.readFile(file);
        const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        // Decoded and scanned a piece at a time, each piece ending after a CR LF, so that a large
        // file never needs its whole text in memory at once; the pieces give the same text as
        // decoding the file whole (see nextPieceEnd).
        const std::uint32_t codePage = platform_.systemAnsiCodePage();
        for (std::size_t from = 0; from < raw.size();) {
            const std::size_t to = nextPieceEnd(raw, from, kPieceBytes);
            const std::u16string piece = platform_.decodeAnsi(raw.substr(from, to - from), codePage);
            const std::vector<std::size_t> openings = commentOpenings(piece);
            for (BlockScanner& scanner : scanners) scanner.feed(piece, openings);
            from = to;
        }
    } catch (const ComError& e) {
        report_(e.description());
        answers.emplace_back();
        return;
    } catch (const std::bad_alloc&) {
        report_(describeHResult(hr::OutOfMemory));
        answers.emplace_back();
        return;
    }

    for (std::size_t i = 0; i < scanners.size(); ++i) {
        BlockScan scan = scanners[i].finish();
        answers.push_back(scan.complete()
                              ? std::move(scan.text)
                              : u"//Error Reading Code For " + description + u"::" + names[i] + u"\r\n");
    }
}

} // namespace seg4::codegen
