// Shared set-up of the code-generation tests: a display on the in-memory platform with a code
// file of the test's choosing, and small helpers to read what came back.
#pragma once

#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace seg4::test {

/// Joins lines with CR LF, each line ended, as the code file is written.
inline std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

/// The profile entries of the component's one macro, as the shipped code file lists them.
inline std::string exampleProfile() {
    return crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroReturns]", "1=void", "[MacroIsPrivate]",
                 "1=0", "[MacroParameters_SHOW_DIGIT]", "Count=3", "1=DIGIT", "2=VALUE", "3=DECIMAL_PT",
                 "[MacroParamTypes_SHOW_DIGIT]", "1=char", "2=char", "3=char"});
}

/// The wiring proposed for a new display: anodes 3..0 on bits 3..0 of port 0, segments A..G
/// and the point on bits 0..7 of port 1.
struct PinWire {
    std::int32_t port;
    std::int32_t bit;
};
using Wiring = std::vector<PinWire>;

inline Wiring proposedWiring() {
    Wiring w;
    for (std::int32_t pin = 0; pin < 4; ++pin) w.push_back({0, 3 - pin});
    for (std::int32_t s = 0; s < 8; ++s) w.push_back({1, s});
    return w;
}

class CodegenTest : public ::testing::Test {
protected:
    FakePlatform platform;
    Led7Seg4 control{platform};

    std::u16string codePath() const { return platform.folder + u"\\ARM_7seg4.c"; }
    void setCodeFile(std::string bytes) { platform.setFile(codePath(), std::move(bytes)); }

    /// Initialize and InitProperties with the current code file, then forget their message boxes.
    void start() {
        platform.setHostLanguage(u"engb");
        control.Initialize();
        control.InitProperties();
        platform.messageBoxes.clear();
    }

    void wire(const Wiring& wiring) {
        for (std::size_t i = 0; i < wiring.size(); ++i) {
            control.put_Port(static_cast<std::int32_t>(i), wiring[i].port);
            control.put_Bit(static_cast<std::int32_t>(i), wiring[i].bit);
        }
    }

    /// The text identifier's absolute number in the language in force.
    std::uint32_t absoluteText(std::int16_t id) const {
        return static_cast<std::uint32_t>(control.state().m_oLanguage->stringOffset() + id);
    }

    std::u16string block(const char16_t* name) {
        std::u16string n = name;
        return control.GetCodeFromFile(n);
    }

    std::u16string iniValue(const char16_t* section, const char16_t* key, const char16_t* fallback) {
        std::u16string s = section, k = key, d = fallback;
        return control.GetIniKeyValue(s, k, d);
    }
};

/// The strings of a variant that holds an array of strings, in index order.
inline std::vector<std::u16string> strings(const Variant& v) {
    std::vector<std::u16string> out;
    const SafeArray* a = v.arrayData();
    if (!a) return out;
    for (const Variant& e : a->elements) out.push_back(toString(e));
    return out;
}

/// A parameterised case's name made of its description, for readable test names.
template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& param) {
    std::string name;
    bool startWord = true;
    for (const char* p = param.param.what; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!std::isalnum(c)) {
            startWord = true;
            continue;
        }
        name += static_cast<char>(startWord ? std::toupper(c) : c);
        startWord = false;
    }
    return name;
}

/// The failure code of `f`, or hr::Ok when it does not fail.
template <class F>
HResult failureOf(F&& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

} // namespace seg4::test
