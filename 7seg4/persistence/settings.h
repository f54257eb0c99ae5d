// The settings a display keeps in the host document: each pin's port and bit, the colour and
// the size, under the names "Port<n>", "Bit<n>", "LEDColour" and "LEDSize".
#pragma once

#include "model/led7seg4_state.h"
#include "persistence/property_bag.h"

namespace seg4::persistence {

/// Writes the settings in their stored order. Fails like the state's pin table when it has none.
void writeSettings(const Led7Seg4State& state, PropertyBag& bag);

/// Reads them into a state that has its pin table. Each value is stored as soon as it is read:
/// a bad entry fails the load there, and the entries before it keep their loaded values. A
/// stored size or colour is taken as it is, without a range test.
void readSettings(Led7Seg4State& state, PropertyBag& bag);

} // namespace seg4::persistence
