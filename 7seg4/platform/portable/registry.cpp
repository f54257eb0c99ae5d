// The in-memory hive and the reader of registry export files (see registry.h).
//
// [SECTION] Paths and the hive
// [SECTION] Reading an export file
// [SECTION] Queries as the ANSI functions answer them
#include "registry.h"

#include "letter_case.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

namespace seg4 {

// [SECTION] Paths and the hive

std::optional<std::u16string> normalKeyPath(std::u16string_view path) {
    if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    if (path.empty()) return std::u16string();
    std::size_t start = 0;
    while (true) {
        const std::size_t sep = path.find(u'\\', start);
        const std::size_t end = sep == std::u16string_view::npos ? path.size() : sep;
        if (end == start) return std::nullopt; // an empty part names no key
        if (sep == std::u16string_view::npos) break;
        start = sep + 1;
    }
    return text::nameUpperCase(path);
}

bool Registry::hasKey(std::u16string_view path) const {
    const auto normal = normalKeyPath(path);
    if (!normal) return false;
    return normal->empty() || keys_.count(*normal) != 0;
}

const RegistryValue* Registry::findValue(std::u16string_view path, std::u16string_view name) const {
    const auto normal = normalKeyPath(path);
    if (!normal) return nullptr;
    const auto key = keys_.find(*normal);
    if (key == keys_.end()) return nullptr;
    const auto value = key->second.values.find(text::nameUpperCase(name));
    return value == key->second.values.end() ? nullptr : &value->second;
}

Registry::Key& Registry::createKey(const std::u16string& normalPath, std::u16string_view writtenPath) {
    // Every parent exists too, as if created one level at a time.
    std::size_t sep = 0;
    while ((sep = normalPath.find(u'\\', sep)) != std::u16string::npos) {
        auto& parent = keys_[normalPath.substr(0, sep)];
        if (parent.name.empty()) parent.name = std::u16string(writtenPath.substr(0, sep));
        ++sep;
    }
    Key& key = keys_[normalPath];
    if (key.name.empty()) key.name = std::u16string(writtenPath);
    return key;
}

void Registry::deleteKey(const std::u16string& normalPath) {
    const std::u16string prefix = normalPath + u"\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == normalPath || it->first.starts_with(prefix))
            it = keys_.erase(it);
        else
            ++it;
    }
}

void Registry::setValue(std::u16string_view path, RegistryValue value) {
    const auto normal = normalKeyPath(path);
    if (!normal) throw std::invalid_argument("registry key path with an empty part");
    Key& key = createKey(*normal, path);
    key.values[text::nameUpperCase(value.name)] = std::move(value);
}

namespace {

std::vector<std::uint8_t> utf16leBytes(std::u16string_view s, bool withNul) {
    std::vector<std::uint8_t> out;
    out.reserve((s.size() + 1) * 2);
    for (char16_t c : s) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (withNul) out.insert(out.end(), {0, 0});
    return out;
}

std::u16string fromUtf16le(const std::vector<std::uint8_t>& bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    return out;
}

bool isStringType(std::uint32_t type) {
    return type == regtype::String || type == regtype::ExpandString || type == regtype::MultiString;
}

} // namespace

void Registry::setString(std::u16string_view path, std::u16string_view name, std::u16string_view value) {
    setValue(path, RegistryValue{std::u16string(name), regtype::String, utf16leBytes(value, true)});
}

void Registry::clear() { keys_.clear(); }

std::vector<std::pair<std::u16string, std::vector<RegistryValue>>> Registry::keys() const {
    // The map is ordered by upper-cased path, so a parent ("A") comes before its children ("A\\B").
    std::vector<std::pair<std::u16string, std::vector<RegistryValue>>> out;
    for (const auto& [normal, key] : keys_) {
        if (normal.empty()) continue; // the hive itself
        std::vector<RegistryValue> values;
        values.reserve(key.values.size());
        for (const auto& [upper, value] : key.values) values.push_back(value);
        out.emplace_back(key.name, std::move(values));
    }
    return out;
}

// [SECTION] Reading an export file

namespace {

constexpr std::u16string_view kRegedit4 = u"REGEDIT4";
constexpr std::u16string_view kRegedit5 = u"Windows Registry Editor Version 5.00";

bool isSpace(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trimSpaces(std::u16string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && text::equalIgnoringNameCase(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// 1 to `maxDigits` hexadecimal digits, nothing else.
std::optional<std::uint32_t> parseHex(std::u16string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint32_t v = 0;
    for (char16_t c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

// The first line of a file without byte-order mark, as ASCII, to choose its encoding.
std::string_view firstLine(std::string_view bytes) {
    std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return {};
    std::size_t end = bytes.find_first_of("\r\n", start);
    std::string_view line = bytes.substr(start, end == std::string_view::npos ? bytes.npos : end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

} // namespace

/// One pass over an export file, writing into a registry that the caller throws away on error.
class RegistryFileParser {
public:
    RegistryFileParser(Registry& target, const std::string& sourceName, const text::AnsiCodec& ansi)
        : target_(target), source_(sourceName), ansi_(ansi) {}

    void parse(std::string_view bytes) {
        splitLines(decode(bytes));
        std::size_t i = 0;
        while (i < lines_.size() && trimSpaces(lines_[i]).empty()) ++i;
        const std::u16string_view header = i < lines_.size() ? trimSpaces(lines_[i]) : std::u16string_view();
        if (header == kRegedit4)
            regedit4_ = true;
        else if (header != kRegedit5)
            fail(std::min(i, lines_.size() - 1),
                 "not a registry export: the first line must be \"REGEDIT4\" or \"Windows Registry "
                 "Editor Version 5.00\"");
        for (++i; i < lines_.size(); ++i) {
            const std::u16string_view line = trimSpaces(lines_[i]);
            if (line.empty() || line.front() == u';') continue;
            if (line.front() == u'[')
                keyLine(i, line);
            else
                i = valueLine(i, line);
        }
    }

private:
    enum class Target { None, CurrentUser, OtherHive, Deleted };

    [[noreturn]] void fail(std::size_t lineIndex, const std::string& what) const {
        throw std::runtime_error(source_ + ":" + std::to_string(lineIndex + 1) + ": " + what);
    }

    std::u16string decode(std::string_view bytes) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        const bool little = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
        const bool big = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
        if (little || big) {
            if (bytes.size() % 2 != 0) fail(0, "the UTF-16 text ends in the middle of a character");
            std::u16string out;
            out.reserve(bytes.size() / 2);
            for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
                out += static_cast<char16_t>(little ? byte(i) | (byte(i + 1) << 8)
                                                    : byte(i + 1) | (byte(i) << 8));
            return out;
        }
        if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
            return text::decodeUtf8(bytes.substr(3));
        // Without a mark, version 4 files are ANSI text and version 5 files UTF-8.
        if (firstLine(bytes) == "REGEDIT4") return ansi_.decode(bytes);
        return text::decodeUtf8(bytes);
    }

    void splitLines(const std::u16string& textBody) {
        text_ = textBody;
        std::u16string_view all = text_;
        std::size_t pos = 0;
        while (pos <= all.size()) {
            std::size_t end = all.find_first_of(u"\r\n", pos);
            if (end == std::u16string_view::npos) {
                lines_.push_back(all.substr(pos));
                break;
            }
            lines_.push_back(all.substr(pos, end - pos));
            pos = end + ((all[end] == u'\r' && end + 1 < all.size() && all[end + 1] == u'\n') ? 2 : 1);
        }
    }

    void keyLine(std::size_t i, std::u16string_view line) {
        if (line.back() != u']') fail(i, "a key line must end with \"]\"");
        std::u16string_view path = line.substr(1, line.size() - 2);
        const bool remove = !path.empty() && path.front() == u'-';
        if (remove) path.remove_prefix(1);
        const std::size_t sep = path.find(u'\\');
        const std::u16string_view hive = path.substr(0, sep);
        const std::u16string_view rest = sep == std::u16string_view::npos ? u"" : path.substr(sep + 1);
        const auto normal = normalKeyPath(rest);
        if (!normal) fail(i, "a key path has an empty part");
        if (text::equalIgnoringNameCase(hive, u"HKEY_CURRENT_USER") ||
            text::equalIgnoringNameCase(hive, u"HKCU")) {
            if (remove && normal->empty()) fail(i, "the hive itself cannot be deleted");
            keyPath_ = std::u16string(rest);
            normalPath_ = *normal;
            if (remove) {
                target_.deleteKey(normalPath_);
                state_ = Target::Deleted;
            } else {
                target_.createKey(normalPath_, keyPath_);
                state_ = Target::CurrentUser;
            }
            return;
        }
        static constexpr std::u16string_view kOtherHives[] = {
            u"HKEY_LOCAL_MACHINE",  u"HKLM",
            u"HKEY_CLASSES_ROOT",   u"HKCR",
            u"HKEY_USERS",          u"HKU",
            u"HKEY_CURRENT_CONFIG", u"HKCC",
            u"HKEY_DYN_DATA",       u"HKEY_PERFORMANCE_DATA"};
        for (std::u16string_view other : kOtherHives) {
            if (text::equalIgnoringNameCase(hive, other)) {
                state_ = Target::OtherHive;
                return;
            }
        }
        fail(i, "unknown root key");
    }

    // A quoted text after its opening quote, with the escapes \\ and \". Returns the text and
    // the position after the closing quote.
    std::pair<std::u16string, std::size_t> quoted(std::size_t i, std::u16string_view line, std::size_t pos) {
        std::u16string out;
        while (pos < line.size()) {
            const char16_t c = line[pos];
            if (c == u'"') return {out, pos + 1};
            if (c == u'\\') {
                if (pos + 1 >= line.size()) break;
                const char16_t escaped = line[pos + 1];
                if (escaped != u'\\' && escaped != u'"')
                    fail(i, "unknown escape in a quoted text (only \\\\ and \\\" are allowed)");
                out += escaped;
                pos += 2;
                continue;
            }
            out += c;
            ++pos;
        }
        fail(i, "a quoted text has no closing quote");
    }

    // Returns the index of the last line the value used (hex data may continue on later lines).
    std::size_t valueLine(std::size_t i, std::u16string_view line) {
        if (state_ == Target::None) fail(i, "a value line before the first key line");
        std::u16string name;
        std::size_t pos = 0;
        if (line.front() == u'@') {
            pos = 1;
        } else if (line.front() == u'"') {
            std::tie(name, pos) = quoted(i, line, 1);
        } else {
            fail(i, "a value line must start with a quoted name or \"@\"");
        }
        while (pos < line.size() && isSpace(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != u'=') fail(i, "expected \"=\" after the value name");
        std::u16string_view data = trimSpaces(line.substr(pos + 1));
        const std::size_t first = i;

        if (data == u"-") {
            if (state_ == Target::CurrentUser) {
                auto& values = target_.keys_[normalPath_].values;
                values.erase(text::nameUpperCase(name));
            }
            return i;
        }
        RegistryValue value{name, regtype::String, {}};
        if (!data.empty() && data.front() == u'"') {
            const auto [textValue, after] = quoted(i, data, 1);
            if (!trimSpaces(data.substr(after)).empty()) fail(i, "text after the closing quote");
            value.data = utf16leBytes(textValue, true);
        } else if (startsWithNoCase(data, u"dword:")) {
            const auto number = parseHex(data.substr(6), 8);
            if (!number) fail(i, "dword: needs 1 to 8 hexadecimal digits");
            value.type = regtype::Dword;
            for (int k = 0; k < 4; ++k) value.data.push_back(static_cast<std::uint8_t>(*number >> (8 * k)));
        } else if (startsWithNoCase(data, u"hex")) {
            std::u16string_view rest = data.substr(3);
            value.type = regtype::Binary;
            if (!rest.empty() && rest.front() == u'(') {
                const std::size_t close = rest.find(u')');
                const auto type = close == std::u16string_view::npos ? std::nullopt
                                                                     : parseHex(rest.substr(1, close - 1), 8);
                if (!type) fail(i, "hex(N): needs a hexadecimal type number");
                value.type = *type;
                rest = rest.substr(close + 1);
            }
            if (rest.empty() || rest.front() != u':') fail(i, "expected \":\" after hex");
            std::u16string list(rest.substr(1));
            // A backslash at the end continues the list on the next line.
            while (true) {
                std::u16string_view trimmedList = trimSpaces(list);
                if (trimmedList.empty() || trimmedList.back() != u'\\') break;
                list = std::u16string(trimmedList.substr(0, trimmedList.size() - 1));
                if (i + 1 >= lines_.size()) break;
                ++i;
                list += trimSpaces(lines_[i]);
            }
            value.data = hexList(first, list);
            // Version 4 files hold the string types as ANSI bytes; the hive keeps UTF-16.
            if (regedit4_ && isStringType(value.type)) {
                const std::string ansiBytes(value.data.begin(), value.data.end());
                value.data = utf16leBytes(ansi_.decode(ansiBytes), false);
            }
        } else {
            fail(i, "unknown value data (expected a quoted text, dword:, hex: or hex(N):)");
        }
        if (state_ == Target::CurrentUser) {
            auto& values = target_.keys_[normalPath_].values;
            values[text::nameUpperCase(value.name)] = std::move(value);
        }
        return i;
    }

    std::vector<std::uint8_t> hexList(std::size_t i, std::u16string_view list) const {
        std::vector<std::uint8_t> bytes;
        list = trimSpaces(list);
        if (list.empty()) return bytes;
        if (list.back() == u',') list.remove_suffix(1); // one trailing comma is harmless
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = list.find(u',', start);
            const std::u16string_view token = trimSpaces(
                list.substr(start, comma == std::u16string_view::npos ? list.npos : comma - start));
            const auto byte = parseHex(token, 2);
            if (!byte) fail(i, "hex data must be bytes of 1 or 2 hexadecimal digits separated by commas");
            bytes.push_back(static_cast<std::uint8_t>(*byte));
            if (comma == std::u16string_view::npos) break;
            start = comma + 1;
        }
        return bytes;
    }

    Registry& target_;
    const std::string& source_;
    const text::AnsiCodec& ansi_;
    std::u16string text_;
    std::vector<std::u16string_view> lines_;
    bool regedit4_ = false;
    Target state_ = Target::None;
    std::u16string keyPath_;
    std::u16string normalPath_;
};

void Registry::load(std::string_view bytes, const std::string& sourceName, const text::AnsiCodec& ansi) {
    Registry updated = *this;
    RegistryFileParser(updated, sourceName, ansi).parse(bytes);
    *this = std::move(updated);
}

// [SECTION] Queries as the ANSI functions answer them

std::optional<std::u16string> Registry::queryAnsiString(std::u16string_view path, std::u16string_view name,
                                                        std::size_t bufferBytes,
                                                        const text::AnsiCodec& ansi) const {
    const RegistryValue* value = findValue(path, name);
    if (!value) return std::nullopt;
    std::string bytes = isStringType(value->type) ? ansi.encode(fromUtf16le(value->data))
                                                  : std::string(value->data.begin(), value->data.end());
    if (bytes.size() > bufferBytes) return std::nullopt;
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string::npos) bytes.resize(nul);
    return ansi.decode(bytes);
}

} // namespace seg4
