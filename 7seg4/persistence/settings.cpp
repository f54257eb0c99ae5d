#include "persistence/settings.h"

#include "automation/conversions.h"
#include "automation/errors.h"

namespace seg4::persistence {

namespace {

std::u16string pinKey(const char16_t* word, std::int32_t pin) { return word + decimal(pin); }

template <class State>
auto& pinsOf(State& state) {
    if (!state.m_Pins) raise(hr::SubscriptOutOfRange);
    return *state.m_Pins;
}

} // namespace

void writeSettings(const Led7Seg4State& state, PropertyBag& bag) {
    for (std::int32_t i = 0; i < state.m_lPinCount; ++i) {
        const RSPin& pin = pinsOf(state).at(static_cast<std::size_t>(i));
        bag.WriteProperty(pinKey(u"Port", i), Variant::i4(pin.Port));
        bag.WriteProperty(pinKey(u"Bit", i), Variant::i4(pin.Bit));
    }
    bag.WriteProperty(u"LEDColour", Variant::i4(state.m_lLEDColour));
    bag.WriteProperty(u"LEDSize", Variant::i4(state.m_lLEDSize));
}

void readSettings(Led7Seg4State& state, PropertyBag& bag) {
    for (std::int32_t i = 0; i < state.m_lPinCount; ++i) {
        RSPin& pin = pinsOf(state).at(static_cast<std::size_t>(i));
        pin.Port = toLong(bag.ReadProperty(pinKey(u"Port", i), Variant::i2(-1)));
        pin.Bit = toLong(bag.ReadProperty(pinKey(u"Bit", i), Variant::i2(-1)));
    }
    state.m_lLEDColour = toLong(bag.ReadProperty(u"LEDColour", Variant::i4(0)));
    state.m_lLEDSize = toLong(bag.ReadProperty(u"LEDSize", Variant::i2(50)));
}

} // namespace seg4::persistence
