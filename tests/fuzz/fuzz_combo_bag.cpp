// The colour list's stored settings from arbitrary values (the font entry as arbitrary text among
// them), then a person's actions on the window it made: loading fails only with an automation
// error, every member answers, and a list that loaded stores settings that load again to the
// same control.
#include "automation/errors.h"
#include "combo/uc_combo_box_ex.h"
#include "fuzz_values.h"
#include "memory_combo_window.h"
#include "posix_platform.h"
#include "views/documents.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

struct Site : seg4::ComboSite {
    float height = 330;
    bool designMode() override { return false; }
    seg4::ComboFont ambientFont() override { return {}; }
    float widthTwips() override { return 2295; }
    float heightTwips() override { return height; }
    void setHeightTwips(float twips) override { height = twips; }
    void propertyChanged(const char16_t*) override {}
    float pixelsToContainerX(std::int32_t pixels) override { return static_cast<float>(pixels) * 15; }
    std::int32_t containerToPixelsX(float units) override {
        return std::isfinite(units) && std::fabs(units) < 3e10f ? static_cast<std::int32_t>(units / 15) : 0;
    }
};

const char16_t* const kKeys[] = {u"Font",  u"Sty",    u"ExSty", u"DHt",    u"DWd",
                                 u"Enbld", u"MaxLen", u"ExtUI", u"ImgSize"};

bool expectedLoadError(seg4::HResult c) {
    return c == seg4::hr::TypeMismatch || c == seg4::hr::Overflow || c == seg4::hr::InvalidUseOfNull;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static seg4::PosixPlatform platform;
    fuzz::Reader in(data, size);
    qhost::OrderedBag bag;
    while (in.more() && bag.entries.size() < 16) {
        const std::uint8_t key = in.byte();
        if (key % 10 == 9) { // a font entry as raw text, the likeliest to be damaged by hand
            std::u16string text;
            for (int n = in.byte() % 40; n > 0; --n) text += static_cast<char16_t>(in.byte());
            bag.WriteProperty(u"Font", seg4::Variant::string(text));
        } else {
            bag.WriteProperty(kKeys[key % std::size(kKeys)], in.value());
        }
    }

    seg4::MemoryComboWindowFactory windows;
    Site site;
    seg4::UcComboBoxEx combo(platform, windows, site);
    try {
        combo.ReadProperties(bag);
    } catch (const seg4::ComError& e) {
        if (!expectedLoadError(e.code())) __builtin_trap();
        return 0;
    }
    for (const char16_t* colour : {u"Red", u"Green", u"Yellow", u"Blue"}) combo.AddItem(colour);
    auto* window = seg4::MemoryComboWindow::of(combo.window());
    if (!window) __builtin_trap();
    while (in.more()) {
        switch (in.byte() % 6) {
        case 0: window->choose(in.byte() % 6 - 1); break;
        case 1:
            window->pressKey(static_cast<std::int16_t>(in.byte()), static_cast<std::int16_t>(in.byte() % 8));
            break;
        case 2: window->typeText(std::u16string(1, static_cast<char16_t>(in.byte()))); break;
        case 3: combo.put_Dropped(in.byte() & 1); break;
        case 4: combo.put_Style(static_cast<std::int8_t>(in.byte())); break;
        default: try { combo.put_ListIndex(static_cast<std::int8_t>(in.byte()));
            } catch (const seg4::ComError& e) {
                if (e.code() != seg4::hr::InvalidPropertyArrayIndex) __builtin_trap();
            }
        }
        window = seg4::MemoryComboWindow::of(combo.window());
        if (!window) __builtin_trap();
        (void)combo.get_Text();
        (void)combo.get_SelText();
    }

    qhost::OrderedBag saved;
    combo.WriteProperties(saved);
    seg4::UcComboBoxEx again(platform, windows, site);
    again.ReadProperties(saved);
    const seg4::ComboFont a = combo.get_Font(), b = again.get_Font();
    if (again.get_Style() != combo.get_Style() || again.get_ExtendedStyle() != combo.get_ExtendedStyle() ||
        again.get_MaxLength() != combo.get_MaxLength() || again.get_ImageSize() != combo.get_ImageSize() ||
        a.face != b.face || a.points != b.points || a.charset != b.charset || a.bold != b.bold)
        __builtin_trap();
    return 0;
}
