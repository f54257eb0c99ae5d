// What the control asks of the container that holds it.
#pragma once

namespace seg4 {

class ControlSite {
public:
    virtual ~ControlSite() = default;
    /// The control sets its own size, in twips.
    virtual void setExtent(float widthTwips, float heightTwips) = 0;
    /// The control's picture changed (a Paint ran); the container should draw it again.
    virtual void invalidate() = 0;
};

} // namespace seg4
