// A combo control in a container of its own, on the posix window, with every event recorded.
#pragma once

#include "automation/conversions.h"
#include "combo/combo_event_log.h"
#include "combo/uc_combo_box_ex.h"
#include "fake_platform.h"
#include "memory_combo_window.h"
#include "persistence/property_bag.h"

#include <cmath>
#include <sstream>
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
    bool cancelResize = false, zeroKeyCode = false;
    std::int32_t widenBy = 0, endWhy = 0;
    std::u16string endText;

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
        if (zeroKeyCode) code = 0;
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
};

/// A person's actions, one word each: "pick:2", "type:ab", "key:40" or "key:40+4" (with shift
/// state), "drop", "close", "lose" (the focus); and the program's: "select:2", "insert:0" (an item
/// "z" there), "delete:1", "text:abc".
inline void act(MemoryComboWindow& w, const std::string& script) {
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        const auto colon = word.find(':');
        const std::string arg = colon == std::string::npos ? "" : word.substr(colon + 1);
        const std::string verb = word.substr(0, colon);
        if (verb == "pick") w.choose(std::stoi(arg));
        if (verb == "type") w.typeText(fromUtf8(arg));
        if (verb == "key") {
            const auto plus = arg.find('+');
            w.pressKey(
                static_cast<std::int16_t>(std::stoi(arg)),
                static_cast<std::int16_t>(plus == std::string::npos ? 0 : std::stoi(arg.substr(plus + 1))));
        }
        if (verb == "drop") w.dropDown();
        if (verb == "close") w.closeUp();
        if (verb == "lose") w.loseFocus();
        if (verb == "select") w.select(std::stoi(arg));
        if (verb == "insert") w.insertItem(std::stoi(arg), ComboItem{u"z"});
        if (verb == "delete") w.deleteItem(std::stoi(arg));
        if (verb == "text") w.setEditText(fromUtf8(arg));
    }
}

struct ComboHarness {
    FakePlatform platform;
    MemoryComboWindowFactory windows;
    TestSite site;
    EventLog events;
    ComboEventLog raised{&events}; // every event passes the text log on its way to `events`
    UcComboBoxEx combo{platform, windows, site, &raised};

    /// A new control of `style` in run mode, holding `items`.
    explicit ComboHarness(std::int32_t style = 2, std::vector<std::u16string> items = {}) {
        combo.InitProperties();
        combo.put_Style(style);
        for (auto& text : items) combo.AddItem(text);
    }
    MemoryComboWindow& window() { return *MemoryComboWindow::of(combo.window()); }
};

} // namespace seg4::test
