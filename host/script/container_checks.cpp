// The container's view of the current display: its picture, its counters, its size, and the
// commands that resize it, repaint it and change the screen's resolution.
#include "script/container_checks.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "automation/utf8.h"
#include "display/compositor.h"
#include "display/pictures.h"
#include "script/interpreter.h"
#include "views/output_files.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace qhost {

using seg4::Variant;

namespace {

/// Runtime error 54: the file is not of the kind the statement reads.
constexpr seg4::HResult kBadFileMode = static_cast<seg4::HResult>(0x800A0036U);

/// A premultiplied pixel as the PNG file holds it: straight colour &HRRGGBB (rounded as the
/// PNG writer rounds) and its alpha. A translucent pixel read from a file went through
/// premultiplication, so its colour may be off by the rounding of its alpha.
struct Colour {
    std::int32_t rgb = 0;
    int alpha = 0;
};

Colour straight(std::uint32_t p) {
    const std::uint32_t a = seg4::px::alpha(p);
    const auto unmultiply = [a](std::uint32_t c) {
        return a == 0 ? 0u : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
    };
    const std::uint32_t rgb = unmultiply(seg4::px::red(p)) << 16 | unmultiply(seg4::px::green(p)) << 8 |
                              unmultiply(seg4::px::blue(p));
    return {static_cast<std::int32_t>(rgb), static_cast<int>(a)};
}

std::string colourText(std::uint32_t p) {
    const Colour c = straight(p);
    char text[40];
    if (c.alpha == 255)
        std::snprintf(text, sizeof text, "&H%06X", static_cast<unsigned>(c.rgb));
    else
        std::snprintf(text, sizeof text, "&H%06X (alpha %d)", static_cast<unsigned>(c.rgb), c.alpha);
    return text;
}

std::string sizeText(const Picture& p) { return std::to_string(p.width) + " x " + std::to_string(p.height); }

/// A whole number word of a command, within [low, high].
long wholeArgument(const std::string& word, long low, long high, const char* what) {
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || v < low || v > high)
        throw CommandError(std::string(what) + " must be a whole number from " + std::to_string(low) +
                           " to " + std::to_string(high) + ", not '" + word + "'");
    return v;
}

void needCount(const std::vector<Variant>& args, std::size_t count, const char* name, int line) {
    if (args.size() != count)
        throw ScriptFault(line, std::string(name) + " takes " + std::to_string(count) + " argument" +
                                    (count == 1 ? "" : "s"));
}

} // namespace

Variant containerValue(Interpreter& in, BuiltIn which, const std::vector<Variant>& args, int line) {
    Display& display = *in.current(line).display;
    const auto count = [](std::uint64_t n) {
        if (n > INT32_MAX) seg4::raise(seg4::hr::Overflow);
        return Variant::i4(static_cast<std::int32_t>(n));
    };
    switch (which) {
    case BuiltIn::Pixel: {
        needCount(args, 2, "Pixel", line);
        const std::int32_t x = seg4::toLong(args[0]);
        const std::int32_t y = seg4::toLong(args[1]);
        const Picture picture = display.render();
        if (x < 0 || y < 0 || x >= picture.width || y >= picture.height)
            seg4::raise(seg4::hr::SubscriptOutOfRange);
        return Variant::i4(straight(picture.at(x, y)).rgb);
    }
    case BuiltIn::PictureWidth:
        needCount(args, 0, "PictureWidth", line);
        return Variant::i4(display.render().width);
    case BuiltIn::PictureHeight:
        needCount(args, 0, "PictureHeight", line);
        return Variant::i4(display.render().height);
    case BuiltIn::PaintCount: needCount(args, 0, "PaintCount", line); return count(display.counts().paints);
    case BuiltIn::ResizeCount:
        needCount(args, 0, "ResizeCount", line);
        return count(display.counts().resizes);
    case BuiltIn::LayoutCount:
        needCount(args, 0, "LayoutCount", line);
        return count(display.counts().layouts);
    case BuiltIn::ControlWidth:
        needCount(args, 0, "ControlWidth", line);
        return Variant::i4(display.panelSize().width);
    case BuiltIn::ControlHeight:
        needCount(args, 0, "ControlHeight", line);
        return Variant::i4(display.panelSize().height);
    default: break;
    }
    throw ScriptFault(line, "no container value");
}

namespace {

Picture storedPicture(const std::string& path) {
    try {
        const std::string bytes = readFile(path);
        return seg4::decodePng(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    } catch (const OutputError& e) {
        throw CommandError(e.what());
    } catch (const seg4::ComError&) {
        throw CommandError(path + " is no PNG picture");
    }
}

/// How `first` differs from `second`: their sizes, or the first differing pixel with both
/// colours, each followed by its word; "" when they are the same picture.
std::string differenceOf(const Picture& first, const std::string& firstName, const char* firstWord,
                         const Picture& second, const std::string& secondName, const char* secondWord) {
    if (first.width != second.width || first.height != second.height)
        return firstName + " is " + sizeText(first) + ", " + secondName + " is " + sizeText(second);
    for (int y = 0; y < first.height; ++y)
        for (int x = 0; x < first.width; ++x)
            if (first.at(x, y) != second.at(x, y))
                return firstName + " differs from " + secondName + " first at (" + std::to_string(x) + ", " +
                       std::to_string(y) + "): " + colourText(first.at(x, y)) + " " + firstWord + ", " +
                       colourText(second.at(x, y)) + " " + secondWord;
    return {};
}

} // namespace

void expectPicture(Interpreter& in, const std::vector<std::string>& words, int line) {
    if (words.size() >= 2) { // two stored pictures: the same, or (with <>) not the same
        const bool differ = words.size() == 3;
        const std::string& a = words.front();
        const std::string& b = words.back();
        const std::string difference =
            differenceOf(storedPicture(a), a, "in the first", storedPicture(b), b, "in the second");
        if (differ && difference.empty()) in.fail(line, a + " and " + b + " are the same picture");
        if (!differ && !difference.empty()) in.fail(line, difference);
        return;
    }
    const std::string& path = words.at(0);
    const Picture stored = storedPicture(path);
    Picture shown;
    try {
        // Through the PNG writer and reader, as the stored file went: the same rounding on both.
        const Picture drawn = in.current(line).display->render();
        if (drawn.width > 0 && drawn.height > 0) {
            const std::vector<std::uint8_t> png = seg4::encodePng(drawn);
            shown = seg4::decodePng(png);
        }
    } catch (const seg4::ComError& e) {
        in.fail(line, "picture " + path + ": drawing failed with " + seg4::toUtf8(e.description()));
        return;
    }
    const std::string difference = differenceOf(shown, "picture", "shown", stored, path, "stored");
    if (!difference.empty()) in.fail(line, difference);
}

std::u16string fileTextOf(const std::string& path, const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (bytes[i] == '\0')
            throw seg4::ComError(kBadFileMode, seg4::fromUtf8(path + " is not text: a NUL byte at offset " +
                                                              std::to_string(i)));
        const seg4::utf8::Sequence sequence = seg4::utf8::read(bytes, i);
        if (!sequence.wellFormed)
            throw seg4::ComError(
                kBadFileMode,
                seg4::fromUtf8(path + " is not UTF-8 text: a bad byte at offset " + std::to_string(i)));
        i += sequence.length;
    }
    return seg4::fromUtf8(bytes);
}

void resizeCommand(Interpreter& in, const CommandArgs& args, int line) {
    const long width = wholeArgument(args[0], 1, seg4::kMaxFrameSide, "a width");
    const long height = wholeArgument(args[1], 1, seg4::kMaxFrameSide, "a height");
    in.current(line).display->resize(static_cast<int>(width), static_cast<int>(height));
}

void paintCommand(Interpreter& in, const CommandArgs&, int line) { in.current(line).display->paint(); }

void twipsCommand(Interpreter& in, const CommandArgs& args, int) {
    char* end = nullptr;
    const double twips = std::strtod(args[0].c_str(), &end);
    if (args[0].empty() || *end != '\0' || !std::isfinite(twips) || !(twips >= 1) || twips > 1440)
        throw CommandError("twips per pixel must be a number from 1 to 1440, not '" + args[0] + "'");
    try {
        in.backend().setTwipsPerPixel(static_cast<float>(twips));
    } catch (const std::runtime_error& e) {
        throw CommandError(std::string("twips: ") + e.what());
    }
}

} // namespace qhost
