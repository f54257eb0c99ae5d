// One display of the registered module, created and sited as a container does it.
#pragma once

#include "backends/backend.h"
#include "com_session.h"

#include <unknwn.h>

#include <memory>

namespace qhost {

/// CoCreateInstance of the registered class (its Initialize runs there), sited in a container.
std::unique_ptr<Display> createComDisplay(std::shared_ptr<Shared> shared);

/// The control's identity behind a display of this backend, as a frame hands it to a page.
/// Throws std::logic_error for a display of another backend.
IUnknown* comObjectOf(Display& display);

} // namespace qhost
