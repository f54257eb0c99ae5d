// The module's version, as its version resource states it and the native build reports it. Plain
// macros: the resource compiler reads this file too.
#pragma once

#define SEG4_VERSION_MAJOR 4
#define SEG4_VERSION_MINOR 0
#define SEG4_VERSION_BUILD 0
#define SEG4_VERSION_REVISION 1
/// The same version in the resource's text style (minor in two digits, revision in four);
/// module_identity.cpp checks that it agrees with the numbers above.
#define SEG4_VERSION_TEXT "4.00.0001"
