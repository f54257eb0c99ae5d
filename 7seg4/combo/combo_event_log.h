// The events a combo control raised, kept as lines of text for whoever checks the control from
// outside (a script, a test host). The text of each event is made here only, so that every build
// that reports the events reports them alike.
#pragma once

#include "combo/uc_combo_box_ex.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace seg4 {

/// Sits between the control and its listener: records each event, then hands it on unchanged.
/// Keeps the newest kCapacity events; older ones are dropped and counted, and the text says so.
class ComboEventLog final : public ComboBoxExEvents {
public:
    static constexpr std::size_t kCapacity = 256;

    /// `next` may be null (the events are only recorded).
    explicit ComboEventLog(ComboBoxExEvents* next = nullptr) : next_(next) {}

    /// The events since the last clear(), one line each ("KeyDown 40, 0"), oldest first, each
    /// ended by "\n"; led by "(N earlier events dropped)" when some no longer fit.
    /// RequestDropDownResize shows the list's width and the cancel flag only.
    std::u16string text() const;
    void clear();

    void DropDown() override;
    void CloseUp() override;
    void EditChange() override;
    void Click() override;
    void BeginEdit() override;
    void ListIndexChange() override;
    void EndEdit(bool bEditChanged, std::int32_t& iNewIndex, std::u16string& sText,
                 std::int32_t iWhy) override;
    void KeyDown(std::int16_t& KeyCode, std::int16_t Shift) override;
    void KeyUp(std::int16_t& KeyCode, std::int16_t Shift) override;
    void RequestDropDownResize(std::int32_t& lLeft, std::int32_t& lTop, std::int32_t& lRight,
                               std::int32_t& lBottom, bool& bCancel) override;

private:
    void record(std::u16string line);

    ComboBoxExEvents* next_;
    std::deque<std::u16string> lines_;
    std::uint64_t dropped_ = 0;
};

} // namespace seg4
