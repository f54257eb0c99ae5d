// What the property page object takes from its window side.
#pragma once

#include "platform/combo_window.h"

#include <functional>
#include <memory>
#include <string>

namespace seg4::com {

/// Registers the page's window classes once per process; false (with the last error set) when
/// the system refused one.
bool ensureWindowClasses();

/// Colour list windows made by `inner` that call `after` once each of their notifications has
/// reached the list, so that the page can redraw what the list's events changed.
std::unique_ptr<ComboWindowFactory> notifyingComboWindows(std::unique_ptr<ComboWindowFactory> inner,
                                                          std::function<void()> after);

/// A text of the model as the window functions take it.
std::wstring wideOf(const std::u16string& s);

} // namespace seg4::com
