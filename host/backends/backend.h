// What qhost needs of a display, whichever build holds it: the native core linked in, or the
// Windows module reached through COM.
#pragma once

#include "automation/variant.h"
#include "backends/page_session.h"
#include "component/member_table.h"
#include "display/frame.h"
#include "persistence/property_bag.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qhost {

using Picture = seg4::Frame; // premultiplied RGBA, row by row

/// What a container sees of a control's drawing and sizing, counted from its activation.
struct ContainerCounts {
    /// Repaints the control announced to its container (a Paint run outside the container's own
    /// drawing: the linked core's invalidate, a Windows control's IAdviseSink::OnViewChange).
    std::uint64_t paints = 0;
    /// Sizes the control asked of its container that differ from the rectangle it had (the
    /// linked core's setExtent, a Windows control's IOleInPlaceSite::OnPosRectChange).
    std::uint64_t resizes = 0;
    /// Passes in which the control laid its pictures out again (a new colour or size).
    std::uint64_t layouts = 0;
};

struct PanelSize {
    int width = 0;
    int height = 0;
};

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

    // ---- the container's side: sizing, drawing and what it saw ----
    /// The container takes the control onto its panel at the control's own size; from then on
    /// it answers the control's requests for another size and counts them.
    virtual void activate() = 0;
    /// The container gives the control this size in pixels, as a user dragging its frame does.
    /// A size other than the control's own raises its Resize.
    virtual void resize(int width, int height) = 0;
    /// The container raises Paint alone, with no Resize before it.
    virtual void paint() = 0;
    /// What the container observed so far (see ContainerCounts).
    virtual ContainerCounts counts() = 0;
    /// The control's rectangle on the panel, in pixels (0 x 0 before activate).
    virtual PanelSize panelSize() = 0;
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

    // ---- the screen ----
    /// Twips per pixel of the screen from now on, for every display. Throws std::runtime_error
    /// with the reason when this build cannot change them.
    virtual void setTwipsPerPixel(float twips) = 0;
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
