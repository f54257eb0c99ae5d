// The profile reader's rules over the bytes of an INI file (see profile_reader.h).
#include "profile_reader.h"

#include "letter_case.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace seg4 {

namespace {

// [SECTION] Text helpers

bool isBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

template <typename View>
View untilNul(View s) {
    const auto nul = s.find(typename View::value_type{0});
    return nul == View::npos ? s : s.substr(0, nul);
}

// The file as UTF-16: a byte-order mark chooses UTF-8 or UTF-16, anything else is ANSI text.
std::u16string decodeFile(std::string_view content, const text::AnsiCodec& codec) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(content[i]); };
    if (content.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        return text::decodeUtf8(content.substr(3));
    const bool little = content.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    const bool big = content.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    if (little || big) {
        std::u16string out;
        out.reserve(content.size() / 2);
        // A dangling last byte of an odd-sized file is no character.
        for (std::size_t i = 2; i + 1 < content.size(); i += 2) {
            const std::uint16_t lo = little ? byte(i) : byte(i + 1);
            const std::uint16_t hi = little ? byte(i + 1) : byte(i);
            out += static_cast<char16_t>(lo | (hi << 8));
        }
        return out;
    }
    return codec.decode(content);
}

// [SECTION] The search

// Walks the lines of `file` looking for `key` in the first section named `section`; the value
// of the first entry of that key, or nothing when there is none or it has no "=".
std::optional<std::u16string_view> find(std::u16string_view file, std::u16string_view section,
                                        std::u16string_view key) {
    bool inFirstMatch = false;
    std::size_t pos = 0;
    while (pos < file.size()) {
        std::size_t end = pos;
        while (end < file.size() && file[end] != u'\n' && file[end] != u'\r') ++end;
        std::u16string_view line = trimmed(file.substr(pos, end - pos));
        pos = end;
        while (pos < file.size() && (file[pos] == u'\n' || file[pos] == u'\r')) ++pos;
        if (line.empty()) continue;

        if (line.front() == u'[') {
            const std::size_t close = line.rfind(u']');
            if (close != std::u16string_view::npos) {
                if (inFirstMatch) return std::nullopt; // only the first section of the name counts
                const std::u16string_view name = untilNul(trimmed(line.substr(1, close - 1)));
                inFirstMatch = text::equalIgnoringAsciiCase(name, section);
                continue;
            }
            // No "]": an ordinary entry line.
        }
        if (!inFirstMatch) continue;

        const std::size_t eq = line.find(u'=');
        std::u16string_view name = line;
        std::optional<std::u16string_view> value;
        if (eq != std::u16string_view::npos) {
            name = trimmed(line.substr(0, eq));
            value = trimmed(line.substr(eq + 1));
        }
        if (text::equalIgnoringAsciiCase(untilNul(name), key)) {
            if (!value) return std::nullopt;
            return untilNul(*value);
        }
    }
    return std::nullopt;
}

// The platform's copy of an entry into a buffer of `bufferChars` characters (at least one):
// matching quotes go, and a quoted text that exactly fills the buffer loses one more character.
std::u16string copyEntry(std::u16string_view value, std::size_t bufferChars) {
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1); // the closing quote is still there
    }
    std::u16string out(value.substr(0, bufferChars - 1));
    if (quoted && bufferChars >= value.size() && !out.empty()) out.pop_back();
    return out;
}

// The default loses its trailing spaces, but never its first character.
std::u16string_view withoutTrailingSpaces(std::u16string_view s) {
    while (s.size() > 1 && s.back() == u' ') s.remove_suffix(1);
    return s;
}

std::string toAnsi(const std::u16string& answer, std::size_t bufferChars, const text::AnsiCodec& codec) {
    std::string bytes = codec.encode(answer);
    // A character that needs two bytes may not fit the buffer; the copy stops at its end.
    if (bytes.size() > bufferChars - 1) bytes.resize(bufferChars - 1);
    return bytes;
}

} // namespace

std::string readProfileString(std::string_view content, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferChars,
                              const text::AnsiCodec& codec) {
    if (bufferChars == 0) return {};
    const std::u16string wantedSection = codec.decode(untilNul(section));
    const std::u16string wantedKey = codec.decode(untilNul(key));
    const std::u16string fallback = codec.decode(untilNul(defaultValue));

    const std::u16string file = decodeFile(content, codec);
    const auto value = find(file, trimmed(wantedSection), trimmed(wantedKey));
    const std::u16string_view chosen = value ? *value : withoutTrailingSpaces(fallback);
    return toAnsi(copyEntry(chosen, bufferChars), bufferChars, codec);
}

std::string readProfileString(std::string_view content, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferChars) {
    return readProfileString(content, section, key, defaultValue, bufferChars, text::windows1252());
}

std::string unreadableProfileString(std::string_view defaultValue, std::size_t bufferChars,
                                    const text::AnsiCodec& codec) {
    if (bufferChars == 0) return {};
    const std::u16string fallback = codec.decode(untilNul(defaultValue));
    const std::u16string_view chosen = withoutTrailingSpaces(fallback);
    return toAnsi(std::u16string(chosen.substr(0, bufferChars - 1)), bufferChars, codec);
}

} // namespace seg4
