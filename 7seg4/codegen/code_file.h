// The code file beside the module: its key view (profile entries) and its block view (named
// runs of lines between marker comments).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace seg4 {
class Platform;
}

namespace seg4::codegen {

/// The largest code file the readers take (a real one is a few kilobytes). A larger file is
/// treated as no file at all: the missing-file message, and the defaults.
inline constexpr std::uint64_t kMaxCodeFileBytes = std::uint64_t{16} << 20;

/// The code file of one display. Nothing is kept between calls: every call builds the path
/// again and reads the file as it is now, so a code file that is edited, replaced or removed
/// while the host runs is seen at the next call. Failures are reported as messages (through
/// `report`) and answered with an empty text.
class CodeFile {
public:
    using Report = std::function<void(const std::u16string& message)>;
    CodeFile(Platform& platform, std::u16string_view fileName, Report report);

    /// The module's folder and the file name.
    std::u16string path() const;
    /// The profile entry `key` of `section`, or `defaultValue`, as the system's ANSI profile
    /// reader answers it (one 255-character buffer).
    std::u16string keyValue(const std::u16string& section, const std::u16string& key,
                            const std::u16string& defaultValue) const;
    /// The lines of every block named `name`; when a marker is missing, the error comment that
    /// names the block as `description`::`name`.
    std::u16string block(const std::u16string& name, const std::u16string& description) const;
    /// What `block` answers for each of `names` in turn, with its messages, from one read of
    /// the file while the file reads without a message; after a message the names left are
    /// read afresh, as calls of their own would read them.
    std::vector<std::u16string> blocks(std::span<const std::u16string> names,
                                       const std::u16string& description) const;

private:
    /// Appends the answers of one read: all of `names` when the read went without a message,
    /// otherwise the first name's only.
    void readBlocks(std::span<const std::u16string> names, const std::u16string& description,
                    std::vector<std::u16string>& answers) const;

    Platform& platform_;
    std::u16string fileName_;
    Report report_;
};

/// What one pass over the file found for one block name.
struct BlockScan {
    /// The lines of every block of that name, in file order, each followed by LF.
    std::u16string text;
    bool seenStart = false;
    bool seenEnd = false;

    /// Both markers were met at least once, so `text` is the answer rather than the error comment.
    bool complete() const noexcept { return seenStart && seenEnd; }
};

/// The start marker of a block: "/*" + name + "_Start*/", the name taken as it is.
std::u16string startMarker(std::u16string_view blockName);
/// The end marker of a block: "/*" + name + "_End*/".
std::u16string endMarker(std::u16string_view blockName);

/// Gathers the blocks of one name from a text given in pieces of whole lines (each piece but
/// the last ending with CR LF), as scanBlocks does for the whole text.
class BlockScanner {
public:
    explicit BlockScanner(std::u16string_view blockName);
    void feed(std::u16string_view lines);
    /// The same, with the places of "/*" in `lines` (commentOpenings) found already, as
    /// scanners of several names share them.
    void feed(std::u16string_view lines, std::span<const std::size_t> openings);
    BlockScan finish() { return std::move(scan_); }

private:
    std::u16string start_, end_;
    BlockScan scan_;
    bool inside_ = false;
};

/// The places of "/*" in `lines`, in order: where a marker may start.
std::vector<std::size_t> commentOpenings(std::u16string_view lines);

/// Where a piece of the file's bytes that starts at `from` and holds at least `atLeast` bytes
/// ends: just after a CR LF, or at the end. Neither CR nor LF is a lead byte in any ANSI code
/// page, so the LF is a character of its own and the next byte starts one: decoding the pieces
/// one by one gives the text of decoding the bytes whole.
std::size_t nextPieceEnd(std::string_view bytes, std::size_t from, std::size_t atLeast);

/// Reads `fileText` as the runtime reads a text file line by line: a line ends with CR LF or
/// with a lone CR; a lone LF is an ordinary character of its line. A marker is a whole line,
/// compared exactly. Lines between a start marker and the next end marker are gathered; a
/// start marker inside a block is an ordinary line, an end marker outside one is skipped.
BlockScan scanBlocks(std::u16string_view fileText, std::u16string_view blockName);

} // namespace seg4::codegen
