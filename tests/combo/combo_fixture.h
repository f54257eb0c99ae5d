// A combo control in a container of its own, on the posix window, with every event recorded.
#pragma once

#include "combo/uc_combo_box_ex.h"
#include "fake_platform.h"
#include "persistence/property_bag.h"
#include "posix_combo_window.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace seg4::test {

struct TestSite : ComboSite {
    bool design = false;
    ComboFont ambient{u"Tahoma", 9.75, true, false, false, false, 0};
    float width = 2295, height = 330;
    std::vector<std::u16string> changes;

    bool designMode() override { return design; }
    ComboFont ambientFont() override { return ambient; }
    float widthTwips() override { return width; }
    float heightTwips() override { return height; }
    void setHeightTwips(float twips) override { height = twips; }
    void propertyChanged(const char16_t* name) override { changes.emplace_back(name); }
    float pixelsToContainerX(std::int32_t pixels) override { return static_cast<float>(pixels) * 15; }
    std::int32_t containerToPixelsX(float units) override {
        return static_cast<std::int32_t>(std::lround(units / 15));
    }
};

/// Records each event by name; the by-reference arguments can be answered.
struct EventLog : ComboBoxExEvents {
    std::vector<std::string> names;
    bool cancelResize = false;
    std::int32_t widenBy = 0;
    bool swallowKeys = false;
    std::u16string endText;
    std::int32_t endWhy = 0;

    void DropDown() override { names.push_back("DropDown"); }
    void CloseUp() override { names.push_back("CloseUp"); }
    void EditChange() override { names.push_back("EditChange"); }
    void Click() override { names.push_back("Click"); }
    void BeginEdit() override { names.push_back("BeginEdit"); }
    void ListIndexChange() override { names.push_back("ListIndexChange"); }
    void EndEdit(bool, std::int32_t&, std::u16string& sText, std::int32_t iWhy) override {
        names.push_back("EndEdit");
        endText = sText;
        endWhy = iWhy;
    }
    void KeyDown(std::int16_t& code, std::int16_t) override {
        names.push_back("KeyDown");
        if (swallowKeys) code = 0;
    }
    void KeyUp(std::int16_t&, std::int16_t) override { names.push_back("KeyUp"); }
    void RequestDropDownResize(std::int32_t&, std::int32_t&, std::int32_t& right, std::int32_t&,
                               bool& cancel) override {
        names.push_back("RequestDropDownResize");
        right += widenBy;
        cancel = cancelResize;
    }
};

/// A bag that keeps entries in the order written.
struct MemoryBag : PropertyBag {
    std::vector<std::pair<std::u16string, Variant>> entries;
    Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
        for (auto& [n, v] : entries)
            if (n == name) return v;
        return defaultValue;
    }
    void WriteProperty(const std::u16string& name, const Variant& value) override {
        entries.emplace_back(name, value);
    }
    std::vector<std::u16string> names() const {
        std::vector<std::u16string> out;
        for (auto& e : entries) out.push_back(e.first);
        return out;
    }
};

struct ComboHarness {
    FakePlatform platform;
    PosixComboWindowFactory windows;
    TestSite site;
    EventLog events;
    UcComboBoxEx combo{platform, windows, site, &events};

    /// A new control of `style` in run mode, holding `items`.
    explicit ComboHarness(std::int32_t style = 2, std::vector<std::u16string> items = {}) {
        combo.InitProperties();
        combo.put_Style(style);
        for (auto& text : items) combo.AddItem(text);
    }
    PosixComboWindow& window() { return *PosixComboWindow::of(combo.window()); }
};

} // namespace seg4::test
