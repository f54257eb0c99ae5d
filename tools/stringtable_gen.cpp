// Builds the module's multilingual string table from one UTF-8 source file per language.
//
// usage: stringtable_gen OUTDIR SOURCE...
//
// Writes OUTDIR/string_table.inc (the portable table compiled into the core) and
// OUTDIR/strings.rc (the Windows STRINGTABLE, one block per language). A source looks like
//
//     # comment
//     language = German
//     offset = 400
//     locale = 1031
//     tag = 1031
//     137 = Wert
//
// where offset is the language's string offset (the block holds offset + 1 ... offset + 153),
// locale its locale identifier and tag the resource language of its block. Texts may use the
// escapes \\ \n \t and \s (a blank, for blanks at either end). Any problem is reported as
// "file:line: error: ..." on stderr, no output is left behind and the exit code is 1, so a bad
// source fails the build.
#include "automation/utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// [SECTION] Limits of the table

constexpr long kFirstId = 1;
constexpr long kLastId = 153;
/// Blocks are 200 identifiers apart; the last identifier of a block must stay a signed 16-bit
/// number, because the component adds offset and relative identifier in 16-bit arithmetic.
constexpr long kBlockSize = 200;
constexpr long kLargestOffset = (32767 - kLastId) / kBlockSize * kBlockSize;

// [SECTION] Diagnostics

struct Diagnostics {
    int errors = 0;
    void error(const std::string& file, std::size_t line, const std::string& message) {
        std::fprintf(stderr, "%s:%zu: error: %s\n", file.c_str(), line, message.c_str());
        ++errors;
    }
};

// [SECTION] One language source

struct Text {
    long id = 0;
    std::u32string text;
    std::size_t line = 0;
};

struct HeaderField {
    std::string value;
    std::size_t line = 0;
};

struct Source {
    std::string path;
    std::string fileName;
    std::map<std::string, HeaderField> header; // language, offset, locale, tag
    std::map<long, Text> texts;
    std::string language;
    long offset = 0;
    long locale = 0;
    long tag = 0;
};

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

/// Strict UTF-8: any ill-formed sequence makes the whole text invalid.
std::optional<std::u32string> decodeUtf8(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const seg4::utf8::Sequence sequence = seg4::utf8::read(s, i);
        if (!sequence.wellFormed) return std::nullopt;
        out += sequence.codePoint;
        i += sequence.length;
    }
    return out;
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

/// A decimal number made only of digits (an optional leading minus), or nothing.
std::optional<long> parseNumber(std::string_view s) {
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 9) return std::nullopt;
    long value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

/// The text of an entry with its escapes resolved; reports the first bad escape.
std::optional<std::u32string> unescape(const std::u32string& raw, std::string& problem) {
    std::u32string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char32_t c = raw[i];
        if (isControl(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04lX", static_cast<unsigned long>(c));
            problem = std::string("control character ") + code + " in the text; write \\n or \\t";
            return std::nullopt;
        }
        if (c != U'\\') {
            out += c;
            continue;
        }
        if (i + 1 == raw.size()) {
            problem = "unfinished escape at the end of the line";
            return std::nullopt;
        }
        switch (raw[++i]) {
        case U'\\': out += U'\\'; break;
        case U'n': out += U'\n'; break;
        case U't': out += U'\t'; break;
        case U's': out += U' '; break;
        default: {
            const char32_t bad = raw[i];
            problem = bad < 0x80 ? std::string("unknown escape '\\") + static_cast<char>(bad) + "'"
                                 : std::string("unknown escape after '\\'");
            return std::nullopt;
        }
        }
    }
    return out;
}

void parseLine(Source& source, std::string_view line, std::size_t number, Diagnostics& diag) {
    const std::string_view t = trimBlanks(line);
    if (t.empty() || t.front() == '#') return;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        diag.error(source.path, number, "expected 'name = value' or 'id = text'");
        return;
    }
    const std::string name(trimBlanks(t.substr(0, eq)));
    const std::string_view value = trimBlanks(t.substr(eq + 1));
    const bool looksNumeric =
        !name.empty() && (name.front() == '-' || (name.front() >= '0' && name.front() <= '9'));
    if (!looksNumeric) {
        static const char* const kFields[] = {"language", "offset", "locale", "tag"};
        if (std::find_if(std::begin(kFields), std::end(kFields), [&](const char* f) { return name == f; }) ==
            std::end(kFields)) {
            diag.error(source.path, number, "unknown header field '" + name + "'");
            return;
        }
        auto [it, inserted] = source.header.try_emplace(name, HeaderField{std::string(value), number});
        if (!inserted)
            diag.error(source.path, number,
                       "duplicate header field '" + name + "' (first on line " +
                           std::to_string(it->second.line) + ")");
        return;
    }
    const std::optional<long> id = parseNumber(name);
    if (!id || *id < kFirstId || *id > kLastId) {
        diag.error(source.path, number, "id " + name + " outside 1..153");
        return;
    }
    if (auto it = source.texts.find(*id); it != source.texts.end()) {
        diag.error(source.path, number,
                   "duplicate id " + name + " (first on line " + std::to_string(it->second.line) + ")");
        return;
    }
    const std::optional<std::u32string> raw = decodeUtf8(value);
    if (!raw) {
        diag.error(source.path, number, "text is not valid UTF-8");
        return;
    }
    std::string problem;
    std::optional<std::u32string> text = unescape(*raw, problem);
    if (!text) {
        diag.error(source.path, number, problem);
        return;
    }
    if (text->empty()) {
        diag.error(source.path, number, "empty text for id " + name);
        return;
    }
    source.texts.emplace(*id, Text{*id, std::move(*text), number});
}

/// Checks the header fields once the whole file is read.
void checkHeader(Source& source, Diagnostics& diag) {
    auto field = [&](const char* name) -> const HeaderField* {
        auto it = source.header.find(name);
        if (it != source.header.end()) return &it->second;
        diag.error(source.path, 1, std::string("missing header field '") + name + "'");
        return nullptr;
    };
    auto number = [&](const char* name, long low, long high, long& out) {
        const HeaderField* f = field(name);
        if (!f) return;
        const std::optional<long> v = parseNumber(f->value);
        if (!v || *v < low || *v > high) {
            diag.error(source.path, f->line,
                       std::string(name) + " '" + f->value + "' outside " + std::to_string(low) + ".." +
                           std::to_string(high));
            return;
        }
        out = *v;
    };
    if (const HeaderField* f = field("language")) {
        if (f->value.empty() || !decodeUtf8(f->value))
            diag.error(source.path, f->line, "language needs a name in UTF-8");
        source.language = f->value;
    }
    number("offset", kBlockSize, kLargestOffset, source.offset);
    if (source.offset % kBlockSize != 0) {
        diag.error(source.path, source.header["offset"].line,
                   "offset " + std::to_string(source.offset) + " is not a multiple of 200");
    }
    number("locale", 1, 32767, source.locale);
    number("tag", 1, 65535, source.tag);
}

std::optional<Source> readSource(const std::string& path, Diagnostics& diag) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        diag.error(path, 0, "cannot read the file");
        return std::nullopt;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
    Source source;
    source.path = path;
    source.fileName = std::filesystem::path(path).filename().string();
    const int before = diag.errors;
    std::size_t number = 0;
    for (std::size_t pos = 0; pos < content.size();) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string::npos) end = content.size();
        std::string_view line(content.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        parseLine(source, line, ++number, diag);
        pos = end + 1;
    }
    checkHeader(source, diag);
    if (diag.errors != before) return std::nullopt;
    return source;
}

// [SECTION] Checks across languages

void checkTogether(const std::vector<Source>& sources, Diagnostics& diag) {
    std::map<long, const Source*> byOffset;
    std::map<long, const Source*> byTag;
    std::map<long, const Source*> idOwner; // some source that has the id
    for (const Source& s : sources) {
        if (auto [it, ok] = byOffset.emplace(s.offset, &s); !ok)
            diag.error(s.path, s.header.at("offset").line,
                       "offset " + std::to_string(s.offset) + " is already used by " + it->second->fileName);
        if (auto [it, ok] = byTag.emplace(s.tag, &s); !ok)
            diag.error(s.path, s.header.at("tag").line,
                       "tag " + std::to_string(s.tag) + " is already used by " + it->second->fileName);
        for (const auto& [id, text] : s.texts) idOwner.emplace(id, &s);
    }
    // The component asks every language for the same identifiers.
    for (const Source& s : sources)
        for (const auto& [id, owner] : idOwner)
            if (!s.texts.count(id))
                diag.error(s.path, 1,
                           "id " + std::to_string(id) + " is missing (" + owner->fileName + " has it)");
}

// [SECTION] Output

/// A u"" literal that does not depend on the compiler's source character set.
std::string cppLiteral(const std::u32string& text) {
    std::string out = "u\"";
    char buffer[16];
    for (char32_t c : text) {
        if (c == U'"' || c == U'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == U'\n') {
            out += "\\n";
        } else if (c == U'\t') {
            out += "\\t";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buffer, sizeof buffer, c > 0xFFFF ? "\\U%08lX" : "\\u%04lX",
                          static_cast<unsigned long>(c));
            out += buffer;
        }
    }
    return out + "\"";
}

/// A resource-compiler string under code page 65001: quotes doubled, backslashes escaped.
std::string rcLiteral(const std::u32string& text) {
    std::string out = "\"";
    for (char32_t c : text) {
        if (c == U'"')
            out += "\"\"";
        else if (c == U'\\')
            out += "\\\\";
        else if (c == U'\n')
            out += "\\n";
        else if (c == U'\t')
            out += "\\t";
        else
            seg4::utf8::append(out, c);
    }
    return out + "\"";
}

std::u32string asText(const std::string& utf8) { return decodeUtf8(utf8).value_or(U"?"); }

std::string generateInc(const std::vector<const Source*>& blocks) {
    std::string out = "// Generated by stringtable_gen from the language sources; do not edit.\n"
                      "// Languages in ascending string offset: name, offset, locale, resource language.\n"
                      "static constexpr BuiltInLanguage kLanguages[] = {\n";
    for (const Source* s : blocks)
        out += "    {" + cppLiteral(asText(s->language)) + ", " + std::to_string(s->offset) + ", " +
               std::to_string(s->locale) + ", " + std::to_string(s->tag) + "},\n";
    out += "};\n\n// Every text, in ascending absolute identifier.\nstatic constexpr BuiltInString "
           "kStrings[] = {\n";
    for (const Source* s : blocks)
        for (const auto& [id, text] : s->texts)
            out += "    {" + std::to_string(s->offset + id) + ", " + cppLiteral(text.text) + "},\n";
    out += "};\n";
    return out;
}

std::string generateRc(const std::vector<const Source*>& blocks) {
    std::string out =
        "// Generated by stringtable_gen from the language sources; do not edit.\n"
        "// The module's string table: one block per language at its string offset, tagged with\n"
        "// the block's resource language. The texts are UTF-8.\n"
        "#pragma code_page(65001)\n";
    char language[64];
    for (const Source* s : blocks) {
        // LANGUAGE inside the STRINGTABLE applies to this block only, so the script that
        // includes this file keeps its own language for whatever follows.
        std::snprintf(language, sizeof language, "LANGUAGE 0x%02lX, 0x%02lX", s->tag & 0x3FF, s->tag >> 10);
        out += "\n// " + s->language + "\nSTRINGTABLE\n" + language + "\nBEGIN\n";
        for (const auto& [id, text] : s->texts)
            out += "    " + std::to_string(s->offset + id) + ", " + rcLiteral(text.text) + "\n";
        out += "END\n";
    }
    return out;
}

bool writeFile(const std::filesystem::path& path, const std::string& content) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!(out << content) || !out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    return !ec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SOURCE...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    const std::filesystem::path incPath = outDir / "string_table.inc";
    const std::filesystem::path rcPath = outDir / "strings.rc";
    // A failed run leaves nothing behind, so the build cannot go on with an old table.
    std::error_code ignored;
    std::filesystem::remove(incPath, ignored);
    std::filesystem::remove(rcPath, ignored);

    Diagnostics diag;
    std::vector<Source> sources;
    for (int i = 2; i < argc; ++i)
        if (std::optional<Source> s = readSource(argv[i], diag)) sources.push_back(std::move(*s));
    if (diag.errors == 0) checkTogether(sources, diag);
    if (diag.errors != 0) {
        std::fprintf(stderr, "stringtable_gen: %d error(s); no table written\n", diag.errors);
        return 1;
    }

    std::vector<const Source*> blocks;
    blocks.reserve(sources.size());
    for (const Source& s : sources) blocks.push_back(&s);
    std::sort(blocks.begin(), blocks.end(),
              [](const Source* a, const Source* b) { return a->offset < b->offset; });
    std::filesystem::create_directories(outDir, ignored);
    if (!writeFile(incPath, generateInc(blocks)) || !writeFile(rcPath, generateRc(blocks))) {
        std::fprintf(stderr, "stringtable_gen: cannot write into %s\n", outDir.string().c_str());
        std::filesystem::remove(incPath, ignored);
        std::filesystem::remove(rcPath, ignored);
        return 1;
    }
    return 0;
}
