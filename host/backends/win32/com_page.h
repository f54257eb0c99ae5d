// The registered property page as a frame shows it, in a hidden window, driven through its
// child windows as a user drives them.
#pragma once

#include "backends/backend.h"
#include "com_session.h"

#include <memory>
#include <vector>

namespace qhost {

std::unique_ptr<PageSession> openComPage(std::shared_ptr<Shared> shared,
                                         const std::vector<Display*>& selected);

} // namespace qhost
