// Shared set-up of the code-generation tests: a display on the in-memory platform with a code
// file of the test's choosing, and helpers to read what came back.
#pragma once

#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "fake_platform.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace seg4::test {

/// Lines each ended with CR LF, as the code file is written.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) (text += line) += "\r\n";
    return text;
}

/// The profile entries of the component's one macro, as the shipped code file lists them.
inline std::string exampleProfile() {
    return crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroReturns]", "1=void", "[MacroIsPrivate]",
                 "1=0", "[MacroParameters_SHOW_DIGIT]", "Count=3", "1=DIGIT", "2=VALUE", "3=DECIMAL_PT",
                 "[MacroParamTypes_SHOW_DIGIT]", "1=char", "2=char", "3=char"});
}

struct PinWire {
    std::int32_t port;
    std::int32_t bit;
};
using Wiring = std::vector<PinWire>;

/// The wiring proposed for a new display: anodes of DIGIT 0..3 on bits 3..0 of port 0,
/// segments A..G and the point on bits 0..7 of port 1.
inline Wiring proposedWiring() {
    Wiring w;
    for (std::int32_t pin = 0; pin < 4; ++pin) w.push_back({0, 3 - pin});
    for (std::int32_t s = 0; s < 8; ++s) w.push_back({1, s});
    return w;
}

/// One display on its own platform, started as a new instance (Initialize, InitProperties)
/// with `codeFile` beside the module, its start-up message boxes forgotten.
template <class P = FakePlatform>
struct DisplayOn {
    P platform;
    Led7Seg4 control{platform};

    explicit DisplayOn(std::optional<std::string> codeFile) {
        if (codeFile) platform.setFile(path(), *codeFile);
        platform.setHostLanguage(u"engb");
        control.Initialize();
        control.InitProperties();
        platform.messageBoxes.clear();
    }
    std::u16string path() const { return platform.folder + u"\\ARM_7seg4.c"; }
    void wire(const Wiring& wiring) {
        for (std::size_t i = 0; i < wiring.size(); ++i) {
            control.put_Port(static_cast<std::int32_t>(i), wiring[i].port);
            control.put_Bit(static_cast<std::int32_t>(i), wiring[i].bit);
        }
    }
    std::u16string block(std::u16string name) { return control.GetCodeFromFile(name); }
    std::u16string iniValue(std::u16string section, std::u16string key, std::u16string fallback) {
        return control.GetIniKeyValue(section, key, fallback);
    }
    std::u16string replaced(std::u16string text) {
        control.MacroCodeOverride(text);
        return text;
    }
};
using Display = DisplayOn<>;

/// The strings of a variant that holds an array, in index order, joined with "; ".
inline std::u16string joined(const Variant& v) {
    std::u16string out;
    if (const SafeArray* a = v.arrayData())
        for (const Variant& e : a->elements) out += (out.empty() ? u"" : u"; ") + toString(e);
    return out;
}

} // namespace seg4::test
