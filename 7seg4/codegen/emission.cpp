// The wiring placeholders of code text, replaced from the pin table.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "codegen/placeholders.h"
#include "model/digit_pattern.h"
#include "platform/platform.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace seg4::codegen {

namespace {

constexpr std::size_t kPinCount = 12;
constexpr std::size_t kFirstSegmentPin = 4;
constexpr std::size_t kSegmentLines = 8; // A..G and the decimal point
constexpr std::size_t kFirstAnodePin = 0;
constexpr std::size_t kAnodes = 4;

/// The mask of a bit number in signed 16-bit arithmetic: 1 for numbers up to 0 (the unconnected
/// -1 included); bit 15 and above do not fit and fail with the overflow error.
std::int16_t bitMask(std::int32_t bit) { return ShiftLeft(1, narrowTo16(bit)); }

/// The segment lines that are high (dark) for a digit, as wired; unwired lines add nothing.
std::int16_t segmentValue(const std::vector<RSPin>& pins, std::int32_t digit) {
    const std::uint8_t pattern = DigitPattern(static_cast<std::uint8_t>(digit));
    std::int16_t sum = 0;
    for (std::size_t s = 0; s < kSegmentLines; ++s) {
        const RSPin& pin = pins[kFirstSegmentPin + s];
        if ((pattern >> s) & 1U && pin.connected()) sum = checkedAdd16(sum, bitMask(pin.Bit));
    }
    return sum;
}

std::u16string valueOf(const PlaceholderRow& row, const std::vector<RSPin>& pins,
                       const PortLetter& portLetter) {
    const auto pin = [&pins](std::int32_t index) -> const RSPin& {
        return pins[static_cast<std::size_t>(index)];
    };
    switch (row.source) {
    case ValueSource::PortName: return u"port" + portLetter(pin(row.arg).Port);
    case ValueSource::SegmentValue: return decimal(segmentValue(pins, row.arg));
    case ValueSource::PointComplement:
        return pin(row.arg).connected() ? decimal(checkedSub16(255, bitMask(pin(row.arg).Bit))) : u"255";
    case ValueSource::Constant: return decimal(row.arg);
    case ValueSource::AnodeComplement: {
        // Anode masks are taken whether or not the pin is wired.
        std::int16_t sum = 0;
        for (std::size_t a = 0; a < kAnodes; ++a)
            sum = checkedAdd16(sum, bitMask(pins[kFirstAnodePin + a].Bit));
        return decimal(checkedSub16(255, sum));
    }
    case ValueSource::AnodeMask: return decimal(bitMask(pin(row.arg).Bit));
    }
    raise(hr::Fail); // every source is handled above
}

} // namespace

std::vector<Substitution> placeholderValues(const std::vector<RSPin>& pins, const PortLetter& portLetter) {
    if (pins.size() < kPinCount) raise(hr::SubscriptOutOfRange);
    std::vector<Substitution> pairs;
    pairs.reserve(kPlaceholders.size());
    for (const PlaceholderRow& row : kPlaceholders)
        pairs.push_back({row.letter, valueOf(row, pins, portLetter)});
    return pairs;
}

namespace {

/// The character with code 97 + port ("a" for port 0; the unconnected -1 gives "`"), as the
/// runtime's character function makes it: codes 128..255 through the system code page, codes
/// outside 0..255 are refused.
std::u16string portLetter(Platform& platform, std::int32_t port) {
    const std::int64_t code = std::int64_t{97} + port;
    if (code < 0 || code > 255) raise(hr::InvalidProcedureCall);
    if (code < 128) return std::u16string(1, static_cast<char16_t>(code));
    return platform.decodeAnsi(std::string(1, static_cast<char>(code)), platform.systemAnsiCodePage());
}

Substituter substituterFor(const std::vector<RSPin>& pins, Platform& platform) {
    return Substituter(
        placeholderValues(pins, [&platform](std::int32_t port) { return portLetter(platform, port); }));
}

} // namespace

std::u16string PlaceholderFiller::fill(std::u16string_view code,
                                       const std::optional<std::vector<RSPin>>& pins, Platform& platform) {
    if (!pins || pins->size() < kPinCount) raise(hr::SubscriptOutOfRange);
    const std::vector<RSPin>& table = *pins;
    const auto same = [&] {
        for (std::size_t i = 0; i < kPinCount; ++i)
            if (table[i].Port != wiring_[i].first || table[i].Bit != wiring_[i].second) return false;
        return true;
    };
    if (kept_ && same()) return kept_->apply(code);
    const bool asciiLetters = std::all_of(table.begin(), table.begin() + kPinCount, [](const RSPin& pin) {
        return pin.Port >= -97 && pin.Port < 128 - 97; // "a" + port
    });
    if (!asciiLetters) return substituterFor(table, platform).apply(code);
    kept_.reset(); // a wiring that fails leaves nothing kept
    kept_ = substituterFor(table, platform);
    for (std::size_t i = 0; i < kPinCount; ++i) wiring_[i] = {table[i].Port, table[i].Bit};
    return kept_->apply(code);
}

std::u16string replacePlaceholders(std::u16string_view code, const std::optional<std::vector<RSPin>>& pins,
                                   Platform& platform) {
    if (!pins || pins->size() < kPinCount) raise(hr::SubscriptOutOfRange);
    return substituterFor(*pins, platform).apply(code);
}

} // namespace seg4::codegen
