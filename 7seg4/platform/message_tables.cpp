// Message tables of the window interception and its error reports.
#include "platform/message_tables.h"

#include "platform/platform.h"

#include <algorithm>

namespace seg4::interception {

TableResult MessageTable::add(std::int32_t message) {
    if (message == ALL_MESSAGES) {
        // The wildcard covers whatever was listed; the listed numbers stay until removed.
        all_ = true;
        return TableResult::Ok;
    }
    const auto value = static_cast<std::uint32_t>(message);
    if (std::find(slots_.begin(), slots_.end(), value) != slots_.end()) return TableResult::Ok;
    if (all_) return TableResult::Ok; // covered by the wildcard: no slot needed
    const auto free = std::find(slots_.begin(), slots_.end(), std::nullopt);
    if (free == slots_.end()) return TableResult::Overflow;
    *free = value;
    return TableResult::Ok;
}

TableResult MessageTable::remove(std::int32_t message) {
    if (message == ALL_MESSAGES) {
        if (!all_ && empty()) return TableResult::NotFound;
        clear();
        return TableResult::Ok;
    }
    const auto slot = std::find(slots_.begin(), slots_.end(), static_cast<std::uint32_t>(message));
    if (slot == slots_.end()) return TableResult::NotFound;
    slot->reset();
    return TableResult::Ok;
}

bool MessageTable::contains(std::uint32_t message) const noexcept {
    return all_ || std::find(slots_.begin(), slots_.end(), message) != slots_.end();
}

bool MessageTable::empty() const noexcept {
    return std::all_of(slots_.begin(), slots_.end(), [](const auto& s) { return !s.has_value(); });
}

std::vector<std::uint32_t> MessageTable::entries() const {
    std::vector<std::uint32_t> out;
    for (const auto& slot : slots_)
        if (slot) out.push_back(*slot);
    return out;
}

void MessageTable::clear() noexcept {
    slots_.fill(std::nullopt);
    all_ = false;
}

std::u16string overflowMessage() {
    return u"Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
           u"ALL_MESSAGES instead of specific message values";
}

std::u16string notFoundMessage(std::int32_t message) {
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    auto value = static_cast<std::uint32_t>(message);
    std::u16string hex;
    do {
        hex.insert(hex.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return u"Message &H" + hex + u" not found in table";
}

void reportError(Platform& platform, std::u16string_view routine, std::u16string_view message) {
    const std::u16string name = u"ucComboBoxEx." + std::u16string(routine);
    platform.reportEvent(EventLogType::Error, name + u": " + std::u16string(message));
    platform.messageBox(
        {std::u16string(message) + u".", u"Error in " + name, msgbox::Ok, msgbox::IconExclamation});
}

namespace {

// The tables `phase` names, before first.
template <class F>
bool eachPhase(MessageTables& tables, int phase, F&& f) {
    if ((phase & PhaseBefore) && !f(tables.before)) return false;
    if ((phase & PhaseAfter) && !f(tables.after)) return false;
    return true;
}

} // namespace

bool addMessage(Platform& platform, MessageTables& tables, std::int32_t message, int phase) {
    return eachPhase(tables, phase, [&](MessageTable& table) {
        if (table.add(message) == TableResult::Ok) return true;
        reportError(platform, u"zAddMsg", overflowMessage());
        return false;
    });
}

bool removeMessage(Platform& platform, MessageTables& tables, std::int32_t message, int phase) {
    return eachPhase(tables, phase, [&](MessageTable& table) {
        if (table.remove(message) == TableResult::Ok) return true;
        reportError(platform, u"zDelMsg", notFoundMessage(message));
        return false;
    });
}

} // namespace seg4::interception
