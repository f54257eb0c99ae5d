// Start-up of a display (Initialize, InitProperties), its container events, its own properties
// and shared routines.
#include "component/led7seg4.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "codegen/code_file.h"
#include "component/control_site.h"
#include "display/compositor.h"
#include "localisation/language.h"
#include "model/digit_pattern.h"
#include "persistence/settings.h"
#include "platform/platform.h"

#include <array>

namespace seg4 {

namespace {

/// One row of the pin table a new display starts with.
struct PinDefaults {
    std::int16_t nameTextId;
    const char16_t* fallbackName;
};

// Pin 0 is the anode of the rightmost digit, which the unit's datasheet calls "Anode 3".
constexpr std::array<PinDefaults, 12> kPinDefaults{{
    {13, u"Anode 3"},
    {12, u"Anode 2"},
    {11, u"Anode 1"},
    {10, u"Anode 0"},
    {105, u"Segment A"},
    {106, u"Segment B"},
    {107, u"Segment C"},
    {108, u"Segment D"},
    {110, u"Segment E"},
    {111, u"Segment F"},
    {112, u"Segment G"},
    {109, u"Segment DP"},
}};

} // namespace

Led7Seg4::Led7Seg4(Platform& platform, ControlSite* site) : platform_(platform), site_(site) {}

Led7Seg4::~Led7Seg4() = default;

void Led7Seg4::Initialize() {
    state_.m_sCodeFile = platform_.moduleBaseName() + u".c";
    state_.m_oLanguage = std::make_unique<Language>(platform_);
    state_.m_oLanguage->LoadResources(u"");
    std::u16string code = upperCaseLanguageCode(state_.m_oLanguage->GetLang());
    state_.m_oLanguage->SetLanguageId(code);

    std::u16string help = state_.m_oLanguage->FindHelpFile();
    if (!help.empty())
        platform_.registerHelpFile(help);
    else
        showMessage(u"Can't find " + platform_.moduleBaseName() + u" help file");
}

void Led7Seg4::InitProperties() {
    // Everything is read before anything is kept. A pin name or a code block that cannot be had
    // fails the event and leaves the display as it was, instead of with a half-made pin table
    // whose unnamed pins would read as wired to port 0, bit 0.
    std::vector<RSPin> pins = newPinTable();
    // Both blocks from one read of the code file, with the messages of one read per block.
    const std::array<std::u16string, 2> blockNames{u"InitialisationCode", u"InterruptCode"};
    std::vector<std::u16string> code = codeFile().blocks(blockNames, state_.m_sDescription);
    std::u16string initCode = std::move(code[0]);
    std::u16string interruptCode = std::move(code[1]);

    state_.m_lLEDColour = 0;
    state_.m_lLEDSize = 50;
    state_.m_lPinCount = static_cast<std::int32_t>(pins.size());
    state_.m_Pins = std::move(pins);
    state_.m_bHasExclusiveInts = false;
    state_.m_sInitCode = std::move(initCode);
    state_.m_sInterruptCode = std::move(interruptCode);
    state_.m_bSimulating = false;
    state_.m_bHasSimulated = false;
}

std::vector<RSPin> Led7Seg4::newPinTable() {
    std::vector<RSPin> pins(kPinDefaults.size());
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(pins.size()); ++i) {
        RSPin& pin = pins[static_cast<std::size_t>(i)];
        const PinDefaults& d = kPinDefaults[static_cast<std::size_t>(i)];
        pin.PinName = localText(d.nameTextId, d.fallbackName);
        pin.Direction = 1;
        pin.DesiredPort = i < 4 ? 0 : 1;
        pin.PortMandatory = true;
        pin.SamePortAsID = (i == 0 || i == 4) ? -1 : (i < 4 ? 0 : 4);
        pin.DesiredBit = i < 4 ? 3 - i : i - 4;
        pin.BitMandatory = false;
        pin.Port = -1;
        pin.Bit = -1;
        pin.AnalogueSim = 0.0;
    }
    return pins;
}

void Led7Seg4::WriteProperties(PropertyBag& bag) { persistence::writeSettings(state_, bag); }

void Led7Seg4::ReadProperties(PropertyBag& bag) {
    // A container loads a stored display without the new-display initialisation. The pin table
    // is made here in that case, so the stored wiring is read instead of silently dropped.
    if (!state_.m_Pins) {
        state_.m_Pins = newPinTable();
        state_.m_lPinCount = static_cast<std::int32_t>(state_.m_Pins->size());
    }
    persistence::readSettings(state_, bag);
    Resize();
    Paint();
}

std::u16string Led7Seg4::get_ReadCustomImages(std::int32_t) { return {}; }

void Led7Seg4::put_WriteCustomImages(std::int32_t lID, const std::u16string& value) {
    showMessage(u"id=" + decimal(lID) + u"  and filename = \r\n" + value);
}

std::int32_t Led7Seg4::get_CommonAnode() { return state_.m_lCommonAnode; }
void Led7Seg4::put_CommonAnode(std::int32_t value) { state_.m_lCommonAnode = value; }

std::int32_t Led7Seg4::get_LEDColour() { return state_.m_lLEDColour; }

void Led7Seg4::put_LEDColour(std::int32_t value) {
    if (value < 0 || value > 3) return;
    state_.m_lLEDColour = value;
    Paint();
}

std::int32_t Led7Seg4::get_LEDSize() { return state_.m_lLEDSize; }

void Led7Seg4::put_LEDSize(std::int32_t value) {
    if (value < 20 || value > 85) return;
    const bool changed = value != state_.m_lLEDSize;
    state_.m_lLEDSize = value;
    if (changed) Resize();
    Paint();
}

std::int16_t Led7Seg4::get_iVersionMajor() { return state_.iVersionMajor; }
void Led7Seg4::put_iVersionMajor(std::int16_t value) { state_.iVersionMajor = value; }
std::int16_t Led7Seg4::get_iVersionMinor() { return state_.iVersionMinor; }
void Led7Seg4::put_iVersionMinor(std::int16_t value) { state_.iVersionMinor = value; }

std::int16_t Led7Seg4::ShiftLeft(std::int16_t value, std::int16_t count) {
    return seg4::ShiftLeft(value, count);
}

std::uint8_t Led7Seg4::DigitPattern(std::uint8_t value) { return seg4::DigitPattern(value); }

Frame snapshot(const Led7Seg4& control, float twipsPerPixelX, float twipsPerPixelY) {
    return composite(control.layers(), pixelsFromTwips(control.extentWidthTwips(), twipsPerPixelX),
                     pixelsFromTwips(control.extentHeightTwips(), twipsPerPixelY), twipsPerPixelX,
                     twipsPerPixelY);
}

std::vector<RSPin>& Led7Seg4::pinTable() {
    if (!state_.m_Pins) raise(hr::SubscriptOutOfRange);
    return *state_.m_Pins;
}

RSPin* Led7Seg4::pinAt(std::int32_t id) {
    std::vector<RSPin>& pins = pinTable();
    if (id < 0 || static_cast<std::size_t>(id) >= pins.size()) return nullptr;
    return &pins[static_cast<std::size_t>(id)];
}

std::u16string Led7Seg4::localText(std::int16_t resId, const char16_t* fallback) {
    if (!state_.m_oLanguage) return fallback; // a container that skipped Initialize
    std::u16string text = toString(state_.m_oLanguage->GetInternalResource(resId, false));
    return text.empty() ? std::u16string(fallback) : text;
}

void Led7Seg4::showMessage(const std::u16string& text) {
    MessageBoxRequest box;
    box.text = text;
    box.title = platform_.moduleBaseName();
    platform_.messageBox(box);
}

void Led7Seg4::Resize() {
    const display::Extent e =
        display::extentFor(state_.m_lLEDSize, platform_.twipsPerPixelX(), platform_.twipsPerPixelY());
    setExtent(e.width, e.height);
}

void Led7Seg4::Paint() {
    layout_.paint(state_, platform_.twipsPerPixelX(), platform_.twipsPerPixelY());
    if (site_) site_->invalidate();
}

void Led7Seg4::setExtent(float widthTwips, float heightTwips) {
    extentWidth_ = widthTwips;
    extentHeight_ = heightTwips;
    if (site_) site_->setExtent(widthTwips, heightTwips);
}

} // namespace seg4
