// Reading what a window shows, as a user sees it: its text, and the item texts of an extended
// combo box. qhost.exe and the Wine tests read the module's windows with these.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qhost::win32 {

/// A window's text (a label's caption, an edit box's content, a box's title).
std::u16string windowText(HWND hwnd);

/// The texts of an extended combo box's items, in order, whatever their length.
std::vector<std::u16string> comboExItemTexts(HWND comboEx);

} // namespace qhost::win32
