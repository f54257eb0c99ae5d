// What qhost needs of a display, whichever build holds it: the native core linked in, or the
// Windows module reached through COM.
#pragma once

#include "automation/variant.h"
#include "backends/page_session.h"
#include "component/member_table.h"
#include "display/frame.h"
#include "persistence/property_bag.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qhost {

using Picture = seg4::Frame; // premultiplied RGBA, row by row

/// One placed display.
class Display {
public:
    virtual ~Display() = default;
    /// Calls a member of the host interface (`hostInterface`) or of the control's own interface.
    /// `args` are the script's values; a by-reference argument is written back into its Variant.
    /// Failures throw seg4::ComError with the code the caller would see.
    virtual seg4::Variant invoke(bool hostInterface, const seg4::MemberInfo& member,
                                 std::vector<seg4::Variant*>& args) = 0;
    /// The container's events for a new display and for a stored one.
    virtual void initProperties() = 0;
    /// The container sites the control and draws it: Resize, then Paint.
    virtual void show() = 0;
    virtual void readProperties(seg4::PropertyBag& bag) = 0;
    virtual void writeProperties(seg4::PropertyBag& bag) = 0;
    /// What the host's panel shows now.
    virtual Picture render() = 0;
    /// The twelve simulated pin levels, read without disturbing the control.
    virtual std::array<bool, 12> pinLevels() = 0;
};

/// Creates displays and reports what they show the user.
class Backend {
public:
    virtual ~Backend() = default;
    /// A display as a container creates one: the Initialize event has run.
    virtual std::unique_ptr<Display> create() = 0;
    /// Every message box a display shows goes to this handler, in order.
    virtual void onMessageBox(std::function<void(const std::u16string& text)> handler) = 0;
    /// Short name of the build behind the displays ("native", "ocx").
    virtual std::string name() const = 0;
    /// Opens the displays' property page in its frame, as the host does for a selection on its
    /// panel: the first display is the one the page reads and changes. The displays outlive
    /// the session.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): an override keeps the list it is given
    virtual std::unique_ptr<PageSession> openPage(std::vector<Display*> selected) {
        (void)selected;
        throw std::runtime_error("the property page is not available in this build");
    }

    // The identity of the module behind the displays (the script's ClassId, MemberName and
    // FileVersion), read where a host would read it.
    /// The display class's identifier as "{4DB172DB-...}".
    virtual std::string classId() = 0;
    /// The name of the member at `position` (1 for the first after IDispatch's, in call-table
    /// order) of the host interface or of the control's own; empty when there is none.
    virtual std::string memberName(bool hostInterface, std::int32_t position) = 0;
    /// The module's file version, "major.minor.build.revision".
    virtual std::string fileVersion() = 0;
};

} // namespace qhost
