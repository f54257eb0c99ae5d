// The message tables of the combo control's window interception, and how its failures are told.
//
// Each intercepted window has two tables: messages handed to the control before the window's own
// procedure runs, and messages handed to it afterwards. A table holds a fixed number of message
// numbers, or the wildcard that stands for every message. The tables and the error texts are the
// same on every platform; only the replacement of window procedures is Windows code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace seg4 {

class Platform;

namespace interception {

/// Capacity of one table.
inline constexpr int MSG_ENTRIES = 32;
/// In place of a message number: every message.
inline constexpr std::int32_t ALL_MESSAGES = -1;

/// Phase codes: bit 1 before the window's own procedure, bit 2 after it. Other bits are ignored.
inline constexpr int PhaseBefore = 1;
inline constexpr int PhaseAfter = 2;
inline constexpr int PhaseBoth = 3;

enum class TableResult { Ok, Overflow, NotFound };

/// One phase's messages.
class MessageTable {
public:
    /// Records `message` (ALL_MESSAGES makes the table match everything). A message already
    /// recorded, or covered by the wildcard, takes no slot; the first empty slot is reused.
    TableResult add(std::int32_t message);
    /// Clears the entry of `message`; ALL_MESSAGES empties the table.
    TableResult remove(std::int32_t message);
    /// Whether `message` (as the window procedure receives it) belongs to this table.
    bool contains(std::uint32_t message) const noexcept;
    bool matchesAll() const noexcept { return all_; }
    bool empty() const noexcept;
    /// The recorded messages in slot order (without the wildcard).
    std::vector<std::uint32_t> entries() const;
    void clear() noexcept;

private:
    std::array<std::optional<std::uint32_t>, MSG_ENTRIES> slots_{};
    bool all_ = false;
};

/// The two tables of one intercepted window.
struct MessageTables {
    MessageTable before;
    MessageTable after;
};

/// The failure texts (without the full stop the message box adds).
std::u16string overflowMessage();
/// "Message &H" + upper-case hexadecimal of the 32-bit message number + " not found in table".
std::u16string notFoundMessage(std::int32_t message);

/// Tells the user and the event log that `routine` failed: the log gets "ucComboBoxEx." +
/// routine + ": " + message as an error; a modal box with an exclamation icon shows
/// message + "." under the title "Error in ucComboBoxEx." + routine.
void reportError(Platform& platform, std::u16string_view routine, std::u16string_view message);

/// Adds `message` to the tables that `phase` names, before first. The first failure is reported
/// (routine "zAddMsg") and stops the operation; false then.
bool addMessage(Platform& platform, MessageTables& tables, std::int32_t message, int phase);
/// Removes `message` from the tables that `phase` names, before first; a missing message is
/// reported (routine "zDelMsg") and stops the operation; false then.
bool removeMessage(Platform& platform, MessageTables& tables, std::int32_t message, int phase);

} // namespace interception
} // namespace seg4
