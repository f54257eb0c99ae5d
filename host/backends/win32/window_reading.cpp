#include "window_reading.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

namespace qhost::win32 {

std::u16string windowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return std::u16string(text.begin(), text.end());
}

std::vector<std::u16string> comboExItemTexts(HWND comboEx) {
    std::vector<std::u16string> texts;
    const auto count = static_cast<int>(SendMessageW(comboEx, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // The window copies at most the buffer's length: grow it until the text fits with room.
        std::wstring buffer;
        std::size_t length = 0;
        for (std::size_t size = 256; size <= (std::size_t{1} << 20); size *= 4) {
            buffer.assign(size, L'\0');
            COMBOBOXEXITEMW item{};
            item.mask = CBEIF_TEXT;
            item.iItem = i;
            item.pszText = buffer.data();
            item.cchTextMax = static_cast<int>(size);
            if (!SendMessageW(comboEx, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) break;
            length = wcsnlen(buffer.data(), size);
            if (length + 1 < size) break;
        }
        texts.emplace_back(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return texts;
}

} // namespace qhost::win32
