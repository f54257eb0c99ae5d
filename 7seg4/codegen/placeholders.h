// The wiring placeholders "%a".."%t" of code text: the one ordered table of what each stands
// for, their values for a pin table, and the substitution itself.
#pragma once

#include "model/records.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace seg4 {
class Platform;
}

namespace seg4::codegen {

/// Where a placeholder's value comes from.
enum class ValueSource : std::uint8_t {
    PortName,        ///< "port" + the letter of the pin's port
    SegmentValue,    ///< the wired segment lines that are high for a digit (arg = the digit)
    PointComplement, ///< 255 - the decimal point's mask, or 255 when it is not wired
    Constant,        ///< the number arg
    AnodeComplement, ///< 255 - the sum of the four anode masks
    AnodeMask,       ///< the mask of the pin's bit
};

struct PlaceholderRow {
    char16_t letter; ///< the placeholder is "%" + letter
    ValueSource source;
    std::int32_t arg; ///< pin index, digit or constant, by source
};

// The order matters: substitution runs through the rows in this order, and a later row sees
// what earlier ones produced ("%" in front of "%a" becomes "%port..", which row "%p" takes).
inline constexpr std::array<PlaceholderRow, 20> kPlaceholders{{
    {u'a', ValueSource::PortName, 4}, // segment A's port carries all segment lines
    {u'b', ValueSource::PortName, 0}, // anode 3's port carries all anodes
    {u'c', ValueSource::SegmentValue, 0},     {u'd', ValueSource::SegmentValue, 1},
    {u'e', ValueSource::SegmentValue, 2},     {u'f', ValueSource::SegmentValue, 3},
    {u'g', ValueSource::SegmentValue, 4},     {u'h', ValueSource::SegmentValue, 5},
    {u'i', ValueSource::SegmentValue, 6},     {u'j', ValueSource::SegmentValue, 7},
    {u'k', ValueSource::SegmentValue, 8},     {u'l', ValueSource::SegmentValue, 9},
    {u'm', ValueSource::PointComplement, 11}, {u'n', ValueSource::Constant, 1},
    {u'o', ValueSource::AnodeComplement, 0},  {u'p', ValueSource::Constant, 0},
    {u'q', ValueSource::AnodeMask, 0}, // pin 0 selects DIGIT 0, the rightmost digit
    {u'r', ValueSource::AnodeMask, 1},        {u's', ValueSource::AnodeMask, 2},
    {u't', ValueSource::AnodeMask, 3},
}};

/// One placeholder "%" + letter and the text that replaces it.
struct Substitution {
    char16_t letter;
    std::u16string value;
};

/// Turns a port number into the character that follows "port" in a port name.
using PortLetter = std::function<std::u16string(std::int32_t port)>;

/// The twenty values for this pin table, in table order. Fails with the overflow error where a
/// mask or a 16-bit sum does not fit, and with subscript out of range for a table of fewer than
/// twelve pins.
std::vector<Substitution> placeholderValues(const std::vector<RSPin>& pins, const PortLetter& portLetter);

/// What the substitution needs to know about a run of up to 64 pairs, worked out once.
struct PlaceholderStages;

/// Replaces the placeholders of a list of pairs in a text, pair by pair in order; within one
/// pair every occurrence, searching again from the start after each replacement, so text that a
/// replacement forms is replaced too. The result is that of this rule, but it is reached in one
/// pass over the text that copies whole runs between "%" signs. A value must not hold its own
/// placeholder: under that rule such a value never finishes. Built once for a list of pairs,
/// it can be applied to any number of texts.
class Substituter {
public:
    explicit Substituter(std::vector<Substitution> pairs);
    Substituter(Substituter&&) noexcept;
    Substituter& operator=(Substituter&&) noexcept;
    ~Substituter();

    std::u16string apply(std::u16string_view text) const;

private:
    std::vector<Substitution> pairs_;
    std::vector<PlaceholderStages> groups_; // the pairs 64 at a time, applied one after the other
    std::size_t longest_ = 2;               // the longest value, up to 8 (at least 2)
};

/// `text` with the placeholders of `pairs` replaced, as Substituter does.
std::u16string substitute(std::u16string_view text, std::span<const Substitution> pairs);

/// Fills the wiring into code text, keeping the values of the wiring it was asked for last:
/// working them out costs more than substituting a short text, and they are a pure function of
/// the twelve (port, bit) pairs as long as every port letter is ASCII. A wiring with a letter
/// that the platform decodes is worked out on every call; a wiring whose values fail is never
/// kept, so it fails again on every call. A display owns one.
class PlaceholderFiller {
public:
    /// `code` with the wiring of `pins` filled in, port letters in the platform's code page.
    /// Every value is worked out before the text is touched; a display without pins fails with
    /// subscript out of range.
    std::u16string fill(std::u16string_view code, const std::optional<std::vector<RSPin>>& pins,
                        Platform& platform);

private:
    std::array<std::pair<std::int32_t, std::int32_t>, 12> wiring_{}; // (Port, Bit) by pin
    std::optional<Substituter> kept_;
};

/// The same for a single call, with nothing kept.
std::u16string replacePlaceholders(std::u16string_view code, const std::optional<std::vector<RSPin>>& pins,
                                   Platform& platform);

} // namespace seg4::codegen
