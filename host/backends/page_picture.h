// A picture of the property page from its state (the native qhost; drawn with Cairo).
#pragma once

#include "backends/page_session.h"
#include "display/frame.h"

namespace qhost {

/// The page at its design size in pixels of a screen with these twips per pixel.
seg4::Frame drawPage(const PageState& state, float twipsPerPixelX, float twipsPerPixelY);

} // namespace qhost
