// The rules of the platform's INI profile reader (GetPrivateProfileStringA), as pure code over
// the file's bytes, so the posix adapter, qhost and the tests give the answers Windows gives.
//
// Standard library only: part of the portable library seg4portable, which also links on Windows,
// where it is run side by side with the real reader.
//
// Where the reader's documentation is silent, the rules follow Windows wherever a test run on
// Windows establishes its behaviour (the conformance tests of Wine), and the reader of Wine
// otherwise; the one place they differ is the section named "" (see below). The rules:
// - The file is text in the system ANSI code page, or UTF-8 / UTF-16 (LE or BE) when it starts
//   with the matching byte-order mark. It is read as UTF-16, and the answer is converted back
//   to the ANSI code page, as the ANSI entry point of the reader does.
// - Lines end at any run of CR and LF characters: CR LF, a lone LF and a lone CR all end a line
//   (Windows reads "CR only" files the same way).
// - Blanks are the characters 0x09..0x0D, 0x1A (the DOS end-of-file mark) and the space. Every
//   line loses the blanks at both ends; blank lines are skipped.
// - A line starting with "[" that holds a "]" opens a section named by the text between the "["
//   and the last "]", without blanks at its ends; text after that "]" is ignored. A "[" line
//   without "]" is an ordinary line (an entry of the current section).
// - Any other line of a section is an entry: the key is the text before the first "=" and the
//   value the text after it, both without blanks at their ends. A line without "=" is an entry
//   without a value: it is found like any other key, and answers with the default.
// - Lines before the first section belong to no section; a section named "" is written "[]"
//   (Wine, unlike Windows, also finds the lines before the first section under "").
// - Comment lines (";", "#") get no special treatment: they are entries whose key starts with
//   ";" and are found only by asking for such a key. No line is too long.
// - Section and key are compared without regard to the case of the letters A to Z (other letters
//   must match exactly, as in the reader of Wine), after the request has lost the blanks at its
//   ends. Only the first section of a name is searched, and in it the first entry
//   of a key. The empty key finds an entry written "=value".
// - Text up to the first NUL counts, both in the request and in names and values of the file.
// - The default loses its trailing spaces (but keeps its first character).
// - The value or default goes into a buffer of N characters: a value enclosed in a matching pair
//   of double or single quotes loses them, at most N - 1 characters come back, and when the
//   quoted value exactly fills the buffer the platform's copy also drops its last character.
// - No file or an empty file answers with the default; a file that exists but cannot be opened
//   answers with the default copied without the quote rule (unreadableProfileString).
#pragma once

#include "text_codec.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace seg4 {

/// The value of `key` in the first section named `section` of the file `content`, or
/// `defaultValue`, as ANSI bytes in a buffer of `bufferChars` characters. `codec` is the
/// system's ANSI code page (for ANSI files, the request and the answer).
std::string readProfileString(std::string_view content, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferChars,
                              const text::AnsiCodec& codec);

/// The same with Windows-1252 as the system code page.
std::string readProfileString(std::string_view content, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferChars);

/// The answer when the file exists but cannot be opened (a folder, no permission).
std::string unreadableProfileString(std::string_view defaultValue, std::size_t bufferChars,
                                    const text::AnsiCodec& codec);

} // namespace seg4
