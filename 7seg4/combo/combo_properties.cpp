// The combo control's stored settings: defaults of a new control, the property bag, and the
// font's text form.
#include "combo/combo_font_text.h"
#include "combo/uc_combo_box_ex.h"

#include "automation/conversions.h"
#include "persistence/property_bag.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace seg4 {

namespace {

// Defaults of a new control; an entry equal to its default is not written, as a container's
// bag leaves out a value that matches the default it is given.
constexpr std::int32_t kDefaultStyle = 1;
constexpr std::int32_t kDefaultExtendedStyle = 3;
constexpr std::int32_t kDefaultDroppedHeight = 160;
constexpr std::int32_t kDefaultDroppedWidth = 0;
constexpr bool kDefaultEnabled = true;
constexpr std::int32_t kDefaultMaxLength = 0;
constexpr bool kDefaultExtendedUI = false;
constexpr std::int32_t kDefaultImageSize = 16;

constexpr double kMaxPoints = 1638; // the largest size a font height can express

std::vector<std::u16string_view> splitFields(std::u16string_view text, std::size_t fields) {
    std::vector<std::u16string_view> out;
    while (out.size() + 1 < fields) {
        const auto at = text.find(u';');
        if (at == std::u16string_view::npos) break;
        out.push_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    out.push_back(text); // the last field takes the rest
    return out;
}

/// The ASCII text of a field; empty when it holds anything else.
std::string asciiOf(std::u16string_view field) {
    std::string out;
    for (char16_t c : field) {
        if (c == 0 || c > 0x7E) return {};
        out += static_cast<char>(c);
    }
    return out;
}

std::optional<bool> flagOf(std::u16string_view field) {
    if (field == u"1") return true;
    if (field == u"0") return false;
    return std::nullopt;
}

void writeLong(PropertyBag& bag, const char16_t* name, std::int32_t value, std::int32_t defaultValue) {
    if (value != defaultValue) bag.WriteProperty(name, Variant::i4(value));
}

void writeBool(PropertyBag& bag, const char16_t* name, bool value, bool defaultValue) {
    if (value != defaultValue) bag.WriteProperty(name, Variant::boolean(value));
}

} // namespace

std::u16string comboFontToText(const ComboFont& font) {
    char points[64];
    const auto end = std::to_chars(points, points + sizeof points, font.points).ptr;
    std::u16string text(points, end);
    for (bool flag : {font.bold, font.italic, font.underline, font.strikethrough})
        text += flag ? u";1" : u";0";
    text += u";" + decimal(font.charset) + u";" + font.face;
    return text;
}

std::optional<ComboFont> comboFontFromText(std::u16string_view text) {
    const auto fields = splitFields(text, 7);
    if (fields.size() != 7 || fields[6].empty()) return std::nullopt;
    ComboFont font;

    const std::string points = asciiOf(fields[0]);
    const char* last = points.data() + points.size();
    const auto parsed = std::from_chars(points.data(), last, font.points);
    if (points.empty() || parsed.ec != std::errc() || parsed.ptr != last || !std::isfinite(font.points) ||
        font.points <= 0 || font.points > kMaxPoints)
        return std::nullopt;

    bool* flags[] = {&font.bold, &font.italic, &font.underline, &font.strikethrough};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto flag = flagOf(fields[i + 1]);
        if (!flag) return std::nullopt;
        *flags[i] = *flag;
    }

    const std::string charset = asciiOf(fields[5]);
    int value = -1;
    const char* charsetEnd = charset.data() + charset.size();
    const auto parsedCharset = std::from_chars(charset.data(), charsetEnd, value);
    if (charset.empty() || parsedCharset.ec != std::errc() || parsedCharset.ptr != charsetEnd || value < 0 ||
        value > 255)
        return std::nullopt;
    font.charset = static_cast<std::int16_t>(value);
    font.face = std::u16string(fields[6]);
    return font;
}

void UcComboBoxEx::InitProperties() {
    font_ = site_.ambientFont();
    style_ = kDefaultStyle;
    extendedStyle_ = kDefaultExtendedStyle;
    droppedHeight_ = kDefaultDroppedHeight;
    droppedWidth_ = kDefaultDroppedWidth;
    enabled_ = kDefaultEnabled;
    maxLength_ = kDefaultMaxLength;
    extendedUI_ = kDefaultExtendedUI;
    imageSize_ = kDefaultImageSize;
    createWindow();
}

void UcComboBoxEx::ReadProperties(PropertyBag& bag) {
    // A font entry that does not describe a font leaves the current font: losing the list's font
    // is no reason to lose the other settings. Every other entry is stored as soon as it is
    // read, so a value that does not convert fails the load there, with the entries before it
    // kept.
    const Variant font = bag.ReadProperty(u"Font", Variant::string(comboFontToText(font_)));
    if (font.deref().type() == VarType::String && !font.deref().isArray()) {
        if (auto read = comboFontFromText(font.deref().asString())) font_ = std::move(*read);
    }
    style_ = toLong(bag.ReadProperty(u"Sty", Variant::i4(kDefaultStyle)));
    extendedStyle_ = toLong(bag.ReadProperty(u"ExSty", Variant::i4(kDefaultExtendedStyle))) & 3;
    droppedHeight_ = toLong(bag.ReadProperty(u"DHt", Variant::i4(kDefaultDroppedHeight)));
    droppedWidth_ = toLong(bag.ReadProperty(u"DWd", Variant::i4(kDefaultDroppedWidth)));
    enabled_ = toBoolean(bag.ReadProperty(u"Enbld", Variant::boolean(kDefaultEnabled)));
    maxLength_ = toLong(bag.ReadProperty(u"MaxLen", Variant::i4(kDefaultMaxLength)));
    extendedUI_ = toBoolean(bag.ReadProperty(u"ExtUI", Variant::boolean(kDefaultExtendedUI)));
    imageSize_ = toLong(bag.ReadProperty(u"ImgSize", Variant::i4(kDefaultImageSize)));
    createWindow();
}

void UcComboBoxEx::WriteProperties(PropertyBag& bag) {
    bag.WriteProperty(u"Font", Variant::string(comboFontToText(font_)));
    writeLong(bag, u"Sty", style_, kDefaultStyle);
    writeLong(bag, u"ExSty", extendedStyle_, kDefaultExtendedStyle);
    writeLong(bag, u"DHt", droppedHeight_, kDefaultDroppedHeight);
    writeLong(bag, u"DWd", droppedWidth_, kDefaultDroppedWidth);
    writeBool(bag, u"Enbld", enabled_, kDefaultEnabled);
    writeLong(bag, u"MaxLen", maxLength_, kDefaultMaxLength);
    writeBool(bag, u"ExtUI", extendedUI_, kDefaultExtendedUI);
    writeLong(bag, u"ImgSize", imageSize_, kDefaultImageSize);
}

} // namespace seg4
