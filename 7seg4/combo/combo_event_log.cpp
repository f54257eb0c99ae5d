// The events of a combo control as text: the event's name, then its arguments as the control
// raised them, separated by ", " (numbers in decimal, Booleans as True or False, text quoted
// with inner quotes doubled).
#include "combo/combo_event_log.h"

#include <initializer_list>

namespace seg4 {

namespace {

std::u16string number(std::int64_t v) {
    const std::string digits = std::to_string(v);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string boolean(bool v) { return v ? u"True" : u"False"; }

std::u16string quoted(const std::u16string& text) {
    std::u16string out = u"\"";
    for (const char16_t c : text) {
        if (c == u'"') out += u'"';
        out += c;
    }
    return out + u"\"";
}

/// "Name a, b, c".
std::u16string line(const char16_t* name, std::initializer_list<std::u16string> args) {
    std::u16string out = name;
    const char16_t* separator = u" ";
    for (const std::u16string& a : args) {
        out += separator;
        out += a;
        separator = u", ";
    }
    return out;
}

} // namespace

std::u16string ComboEventLog::text() const {
    std::u16string out;
    if (dropped_ > 0)
        out += u"(" + number(static_cast<std::int64_t>(dropped_)) + u" earlier events dropped)\n";
    for (const std::u16string& l : lines_) out += l + u"\n";
    return out;
}

void ComboEventLog::clear() {
    lines_.clear();
    dropped_ = 0;
}

void ComboEventLog::record(std::u16string text) {
    if (lines_.size() == kCapacity) {
        lines_.pop_front();
        ++dropped_;
    }
    lines_.push_back(std::move(text));
}

void ComboEventLog::DropDown() {
    record(u"DropDown");
    if (next_) next_->DropDown();
}
void ComboEventLog::CloseUp() {
    record(u"CloseUp");
    if (next_) next_->CloseUp();
}
void ComboEventLog::EditChange() {
    record(u"EditChange");
    if (next_) next_->EditChange();
}
void ComboEventLog::Click() {
    record(u"Click");
    if (next_) next_->Click();
}
void ComboEventLog::BeginEdit() {
    record(u"BeginEdit");
    if (next_) next_->BeginEdit();
}
void ComboEventLog::ListIndexChange() {
    record(u"ListIndexChange");
    if (next_) next_->ListIndexChange();
}
void ComboEventLog::EndEdit(bool bEditChanged, std::int32_t& iNewIndex, std::u16string& sText,
                            std::int32_t iWhy) {
    record(line(u"EndEdit", {boolean(bEditChanged), number(iNewIndex), quoted(sText), number(iWhy)}));
    if (next_) next_->EndEdit(bEditChanged, iNewIndex, sText, iWhy);
}
void ComboEventLog::KeyDown(std::int16_t& KeyCode, std::int16_t Shift) {
    record(line(u"KeyDown", {number(KeyCode), number(Shift)}));
    if (next_) next_->KeyDown(KeyCode, Shift);
}
void ComboEventLog::KeyUp(std::int16_t& KeyCode, std::int16_t Shift) {
    record(line(u"KeyUp", {number(KeyCode), number(Shift)}));
    if (next_) next_->KeyUp(KeyCode, Shift);
}
void ComboEventLog::RequestDropDownResize(std::int32_t& lLeft, std::int32_t& lTop, std::int32_t& lRight,
                                          std::int32_t& lBottom, bool& bCancel) {
    // Only the list's width and the cancel flag: the rectangle's place on the screen depends on
    // where the page happens to be, and its height on the platform's font metrics (the items'
    // height), so neither would read alike on two systems.
    record(line(u"RequestDropDownResize",
                {number(static_cast<std::int64_t>(lRight) - lLeft), boolean(bCancel)}));
    if (next_) next_->RequestDropDownResize(lLeft, lTop, lRight, lBottom, bCancel);
}

} // namespace seg4
