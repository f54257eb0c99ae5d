// The settings a display keeps in the host document, and the custom-image members.
#include "persistence/property_bag.h"

#include "automation/conversions.h"
#include "component/led7seg4.h"

namespace seg4 {

namespace {

std::u16string pinKey(const char16_t* word, std::int32_t pin) { return word + decimal(pin); }

} // namespace

void Led7Seg4::WriteProperties(PropertyBag& bag) {
    for (std::int32_t i = 0; i < state_.m_lPinCount; ++i) {
        const RSPin& pin = pinTable()[static_cast<std::size_t>(i)];
        bag.WriteProperty(pinKey(u"Port", i), Variant::i4(pin.Port));
        bag.WriteProperty(pinKey(u"Bit", i), Variant::i4(pin.Bit));
    }
    bag.WriteProperty(u"LEDColour", Variant::i4(state_.m_lLEDColour));
    bag.WriteProperty(u"LEDSize", Variant::i4(state_.m_lLEDSize));
}

void Led7Seg4::ReadProperties(PropertyBag& bag) {
    // A container loads a stored display without the new-display initialisation. The pin table
    // is made here in that case, so the stored wiring is read instead of silently dropped.
    if (!state_.m_Pins) createPinTable();

    for (std::int32_t i = 0; i < state_.m_lPinCount; ++i) {
        // Each value is stored as soon as it is read: a bad entry fails the load there, and the
        // entries before it keep their loaded values.
        RSPin& pin = pinTable()[static_cast<std::size_t>(i)];
        pin.Port = toLong(bag.ReadProperty(pinKey(u"Port", i), Variant::i2(-1)));
        pin.Bit = toLong(bag.ReadProperty(pinKey(u"Bit", i), Variant::i2(-1)));
    }
    // No range test: a stored size or colour is taken as it is.
    state_.m_lLEDColour = toLong(bag.ReadProperty(u"LEDColour", Variant::i4(0)));
    state_.m_lLEDSize = toLong(bag.ReadProperty(u"LEDSize", Variant::i2(50)));
    Resize();
    Paint();
}

std::u16string Led7Seg4::get_ReadCustomImages(std::int32_t) { return {}; }

void Led7Seg4::put_WriteCustomImages(std::int32_t lID, const std::u16string& value) {
    showMessage(u"id=" + decimal(lID) + u"  and filename = \r\n" + value);
}

} // namespace seg4
