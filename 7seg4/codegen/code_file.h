// The block view of the code file: named runs of lines between marker comments.
#pragma once

#include <string>
#include <string_view>

namespace seg4::codegen {

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

/// Reads `fileText` as the runtime reads a text file line by line: a line ends with CR LF or
/// with a lone CR; a lone LF is an ordinary character of its line. A marker is a whole line,
/// compared exactly. Lines between a start marker and the next end marker are gathered; a
/// start marker inside a block is an ordinary line, an end marker outside one is skipped.
BlockScan scanBlocks(std::u16string_view fileText, std::u16string_view blockName);

} // namespace seg4::codegen
