// Windows code pages through iconv (see code_pages.h).
//
// [SECTION] Locales
// [SECTION] Single-byte code pages
// [SECTION] Double-byte code pages
#include "code_pages.h"

#include "code_page_tables.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace seg4::posix {

// [SECTION] Locales

namespace {

struct LocaleCodePage {
    std::uint32_t id, codePage;
};

// Locales whose code page depends on more than the language: Chinese of the PRC and Singapore
// (simplified) against Taiwan, Hong Kong and Macao (traditional); Serbian, Bosnian, Azeri and
// Uzbek in Cyrillic script.
constexpr LocaleCodePage kByLocale[] = {
    {0x0804, 936},  {0x1004, 936},  {0x0404, 950},  {0x0C04, 950},  {0x1404, 950},  {0x0C1A, 1251},
    {0x1C1A, 1251}, {0x201A, 1251}, {0x281A, 1251}, {0x082C, 1251}, {0x0843, 1251},
};

// The rest by primary language; a language not listed uses 1252. In order: Chinese, Japanese,
// Korean, Thai, Vietnamese, Greek, Hebrew; Arabic, Urdu, Persian; Estonian, Latvian, Lithuanian;
// Turkish, Azeri, Uzbek; Bulgarian, Russian, Ukrainian, Belarusian, Macedonian, Kazakh, Kyrgyz,
// Tatar, Mongolian; Czech, Hungarian, Polish, Romanian, Croatian, Slovak, Albanian, Slovenian.
constexpr LocaleCodePage kByLanguage[] = {
    {0x04, 936},  {0x11, 932},  {0x12, 949},  {0x1E, 874},  {0x2A, 1258}, {0x08, 1253}, {0x0D, 1255},
    {0x01, 1256}, {0x20, 1256}, {0x29, 1256}, {0x25, 1257}, {0x26, 1257}, {0x27, 1257}, {0x1F, 1254},
    {0x2C, 1254}, {0x43, 1254}, {0x02, 1251}, {0x19, 1251}, {0x22, 1251}, {0x23, 1251}, {0x2F, 1251},
    {0x3F, 1251}, {0x40, 1251}, {0x44, 1251}, {0x50, 1251}, {0x05, 1250}, {0x0E, 1250}, {0x15, 1250},
    {0x18, 1250}, {0x1A, 1250}, {0x1B, 1250}, {0x1C, 1250}, {0x24, 1250},
};

} // namespace

std::uint32_t ansiCodePageOfLocale(std::uint32_t lcid, std::uint32_t systemCodePage) {
    if (lcid == 0 || lcid == 0x400 || lcid == 0x800) return systemCodePage;
    for (const LocaleCodePage& l : kByLocale)
        if (l.id == lcid) return l.codePage;
    for (const LocaleCodePage& l : kByLanguage)
        if (l.id == (lcid & 0x3FF)) return l.codePage;
    return 1252;
}

namespace {

bool isSingleByte(std::uint32_t cp) { return cp == 874 || (cp >= 1250 && cp <= 1258) || cp == 20127; }
bool isDoubleByte(std::uint32_t cp) { return cp == 932 || cp == 936 || cp == 949 || cp == 950; }

[[noreturn]] void unsupported(std::uint32_t cp) {
    throw std::runtime_error("code page " + std::to_string(cp) + " is not supported");
}

std::string iconvName(std::uint32_t cp) { return "CP" + std::to_string(cp); }

std::optional<char16_t> overrideFor(std::uint32_t codePage, unsigned char byte) {
    for (const tables::SingleByte& o : tables::kSingleBytes)
        if (o.codePage == codePage && o.byte == byte) return o.character;
    return std::nullopt;
}

class Iconv {
public:
    Iconv(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert from " + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

    /// Converts as much as it can; returns false at the first input it cannot convert (left in
    /// `in`), true when everything was converted.
    bool run(std::string_view& in, std::string& out) {
        while (!in.empty()) {
            char buffer[256];
            char* src = const_cast<char*>(in.data());
            std::size_t srcLeft = in.size();
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            const int error = errno;
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            in.remove_prefix(in.size() - srcLeft);
            if (rc != static_cast<std::size_t>(-1)) continue;
            if (error == E2BIG) continue;
            return false; // EILSEQ or EINVAL
        }
        char buffer[64];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

private:
    iconv_t cd_;
};

std::u16string fromUtf16le(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return out;
}

} // namespace

// [SECTION] Single-byte code pages

struct CodePages::SingleByteTable {
    std::array<char16_t, 256> toUnicode{};
    std::unordered_map<char16_t, unsigned char> fromUnicode;
    bool asciiAsIs = false; // bytes below 0x80 are their own characters
};

namespace {

/// Widens the bytes of `bytes` from the start up to the first one from 0x80 on into `out` and
/// says how many it widened: sixteen at a time (checked and widened in one pass over them),
/// then one by one.
std::size_t widenAsciiPrefix(std::string_view bytes, char16_t* out) {
    using Bytes = std::uint8_t __attribute__((vector_size(16)));
    using Units = std::uint16_t __attribute__((vector_size(32)));
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    for (; i + 16 <= bytes.size(); i += 16) {
        Bytes chunk;
        std::memcpy(&chunk, in + i, sizeof chunk);
        std::uint64_t halves[2];
        std::memcpy(halves, &chunk, sizeof halves);
        if ((halves[0] | halves[1]) & 0x8080808080808080ull) break;
        const Units wide = __builtin_convertvector(chunk, Units);
        std::memcpy(out + i, &wide, sizeof wide);
    }
    for (; i < bytes.size() && in[i] < 0x80; ++i) out[i] = in[i];
    return i;
}

} // namespace

struct CodePages::Converter {
    Converter(const std::string& to, const std::string& from) : iconv(to, from) {}
    Iconv iconv;
    std::unordered_map<char16_t, std::string> encoded; // what each unit became so far
    // What each byte pair (at lead << 8 | trail) and each byte from 0x80 on its own (at
    // kSingleSlots + byte) decoded to so far: kUnknown until the first time.
    static constexpr std::int32_t kUnknown = -1;
    static constexpr std::size_t kSingleSlots = 0x10000;
    static constexpr std::size_t kDecodedSlots = kSingleSlots + 0x100;
    std::vector<std::int32_t> decoded;
};

const CodePages::SingleByteTable& CodePages::singleByteTable(std::uint32_t codePage) {
    auto& slot = tables_[codePage];
    if (slot) return *slot;
    auto table = std::make_unique<SingleByteTable>();
    if (codePage == 20127) {
        // The platform's US-ASCII table drops the top bit of every byte.
        for (int b = 0; b < 256; ++b) table->toUnicode[b] = static_cast<char16_t>(b & 0x7F);
    } else {
        // Byte by byte, so that no composition of iconv (1255, 1258) joins two bytes.
        Iconv conv("UTF-16LE", iconvName(codePage));
        for (int b = 0; b < 256; ++b) {
            conv.reset();
            const char byte = static_cast<char>(b);
            std::string_view in(&byte, 1);
            std::string out;
            const std::u16string decoded = conv.run(in, out) ? fromUtf16le(out) : std::u16string();
            char16_t c = decoded.size() == 1 ? decoded[0] : u'\uFFFD';
            if (decoded.size() != 1 && b >= 0x80 && b < 0xA0) c = static_cast<char16_t>(b);
            table->toUnicode[b] = overrideFor(codePage, static_cast<unsigned char>(b)).value_or(c);
        }
    }
    for (int b = 0; b < 256; ++b)
        table->fromUnicode.emplace(table->toUnicode[b], static_cast<unsigned char>(b)); // lowest wins
    table->asciiAsIs = true;
    for (int b = 0; b < 0x80; ++b) table->asciiAsIs = table->asciiAsIs && table->toUnicode[b] == b;
    slot = std::move(table);
    return *slot;
}

// [SECTION] Double-byte code pages

namespace {

bool isLeadByte(std::uint32_t codePage, unsigned char b) {
    if (codePage == 932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return b >= 0x81 && b <= 0xFE;
}

// What the platform decodes a byte or pair without character to: the code page's default.
char16_t defaultCharacter(std::uint32_t codePage) { return codePage == 932 ? u'\u30FB' : u'?'; }

// The user-defined (EUDC) areas, which the platform maps to private-use characters.
std::optional<char16_t> eudcCharacter(std::uint32_t codePage, unsigned char lead, unsigned char trail) {
    for (const tables::EudcRun& r : tables::kEudcRuns)
        if (r.codePage == codePage && r.lead == lead && trail >= r.trail && trail - r.trail < r.count)
            return static_cast<char16_t>(r.unit + (trail - r.trail));
    return std::nullopt;
}

std::optional<std::string> eudcBytes(std::uint32_t codePage, char16_t c) {
    for (const tables::EudcRun& r : tables::kEudcRuns)
        if (r.codePage == codePage && c >= r.unit && c - r.unit < r.count)
            return std::string{static_cast<char>(r.lead), static_cast<char>(r.trail + (c - r.unit))};
    return std::nullopt;
}

// What one unit becomes.
std::string encodeUnit(Iconv& conv, std::uint32_t codePage, char16_t c) {
    if (tables::isUnmapped(codePage, c)) return "?";
    if (const auto single = tables::singleByteOf(codePage, c))
        return std::string(1, static_cast<char>(*single));
    if (const auto preferred = tables::preferredPair(codePage, c))
        return std::string{static_cast<char>(*preferred >> 8), static_cast<char>(*preferred & 0xFF)};
    if (const auto eudc = eudcBytes(codePage, c)) return *eudc;
    // A unit iconv cannot convert alone (also each half of a surrogate pair) becomes '?'.
    conv.reset();
    const char units[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    std::string_view in(units, 2);
    std::string bytes;
    return conv.run(in, bytes) ? bytes : std::string("?");
}

// One character through iconv, or nothing when iconv has none.
std::optional<std::u16string> iconvDecode(Iconv& conv, std::string_view bytes) {
    conv.reset();
    std::string units;
    if (!conv.run(bytes, units)) return std::nullopt;
    return fromUtf16le(units);
}

} // namespace

CodePages::Converter& CodePages::converter(std::uint32_t codePage, bool toUnicode) {
    auto& slot = converters_[{codePage, toUnicode}];
    if (!slot)
        slot = toUnicode ? std::make_unique<Converter>("UTF-16LE", iconvName(codePage))
                         : std::make_unique<Converter>(iconvName(codePage), "UTF-16LE");
    return *slot;
}

std::u16string CodePages::decodeDoubleByte(std::string_view bytes, std::uint32_t codePage) {
    Converter& converted = converter(codePage, true);
    std::vector<std::int32_t>& known = converted.decoded;
    if (known.empty()) known.assign(Converter::kDecodedSlots, Converter::kUnknown);
    // Every byte gives at most one character: written in place, cut to length at the end.
    std::u16string out(bytes.size(), u'\0');
    char16_t* o = out.data();
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            // A run of single-byte characters goes over whole.
            const std::size_t run = widenAsciiPrefix(bytes.substr(i), o + n);
            n += run;
            i += run;
            continue;
        }
        // A lead byte takes the next byte with it, whether or not the pair has a character; a
        // NUL ends the text there, so it is never a trail byte.
        const bool pair = isLeadByte(codePage, b) && i + 1 < bytes.size() && bytes[i + 1] != '\0';
        const auto trail = pair ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        // Each byte or pair is worked out once per code page; what it gave is kept for the next time.
        std::int32_t& slot = known[pair ? (std::size_t{b} << 8 | trail) : Converter::kSingleSlots + b];
        if (slot == Converter::kUnknown) {
            std::optional<char16_t> c = pair ? eudcCharacter(codePage, b, trail) : overrideFor(codePage, b);
            if (!c) {
                const auto decoded = iconvDecode(converted.iconv, bytes.substr(i, pair ? 2 : 1));
                if (decoded && decoded->size() == 1) c = (*decoded)[0];
            }
            slot = c.value_or(defaultCharacter(codePage));
        }
        o[n++] = static_cast<char16_t>(slot);
        i += pair ? 2 : 1;
    }
    out.resize(n);
    return out;
}

std::string CodePages::encodeDoubleByte(std::u16string_view text, std::uint32_t codePage) {
    Converter& converted = converter(codePage, false);
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        auto [known, added] = converted.encoded.try_emplace(c);
        if (added) known->second = encodeUnit(converted.iconv, codePage, c);
        out += known->second;
    }
    return out;
}

CodePages::CodePages() = default;
CodePages::~CodePages() = default;

bool CodePages::isSupported(std::uint32_t codePage) {
    return codePage == 65001 || isSingleByte(codePage) || isDoubleByte(codePage);
}

std::string CodePages::encode(std::u16string_view text, std::uint32_t codePage) {
    if (codePage == 65001) return text::encodeUtf8(text);
    if (!isSupported(codePage)) unsupported(codePage);
    std::lock_guard lock(mutex_);
    if (isSingleByte(codePage)) {
        const SingleByteTable& table = singleByteTable(codePage);
        std::string out;
        out.reserve(text.size());
        for (char16_t c : text) {
            const auto it = table.fromUnicode.find(c);
            out += it == table.fromUnicode.end() ? '?' : static_cast<char>(it->second);
        }
        return out;
    }
    return encodeDoubleByte(text, codePage);
}

std::u16string CodePages::decode(std::string_view bytes, std::uint32_t codePage) {
    if (codePage == 65001) return text::decodeUtf8(bytes);
    if (!isSupported(codePage)) unsupported(codePage);
    std::lock_guard lock(mutex_);
    if (isSingleByte(codePage)) {
        const SingleByteTable& table = singleByteTable(codePage);
        // The whole text at once: runs below 0x80 widened as they are where the table allows,
        // the rest through the table.
        std::u16string out(bytes.size(), u'\0');
        char16_t* o = out.data();
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t i = 0;
        while (i < bytes.size()) {
            if (table.asciiAsIs) i += widenAsciiPrefix(bytes.substr(i), o + i);
            // Up to the next run of eight plain bytes, through the table.
            const std::size_t stop = std::min(bytes.size(), i + 64);
            for (; i < stop; ++i) o[i] = table.toUnicode[in[i]];
        }
        return out;
    }
    return decodeDoubleByte(bytes, codePage);
}

} // namespace seg4::posix
