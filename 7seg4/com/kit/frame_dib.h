// Frames of the compositor on GDI: a 32-bit top-down DIB section holds the same rows as a frame,
// with red and blue in each other's places.
#pragma once

#include "com_holders.h"
#include "display/frame.h"

#include <windows.h>

#include <cstdint>
#include <new>

namespace seg4::com {

/// Premultiplied RGBA (red in the low byte) to the premultiplied BGRA of a DIB, and back: the
/// swap of red and blue is its own inverse.
constexpr std::uint32_t swapRedBlue(std::uint32_t p) {
    return (p & 0xFF00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
}

/// A width x height 32-bit DIB section whose rows run top down, as a frame's; its pixels at
/// *bits. Throws std::bad_alloc when GDI cannot make it.
inline GdiObject<HBITMAP> topDownDib(HDC dc, long width, long height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bitmap || !*bits) throw std::bad_alloc();
    return bitmap;
}

/// Blends `frame` (premultiplied) over `dc` with its top-left corner at (left, top).
inline bool blendFrame(HDC dc, int left, int top, const Frame& frame) {
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap = topDownDib(dc, frame.width, frame.height, &bits);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) out[i] = swapRedBlue(frame.pixels[i]);
    MemoryDc memory(dc);
    SelectObjectScope select(memory.get(), bitmap.get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return AlphaBlend(dc, left, top, frame.width, frame.height, memory.get(), 0, 0, frame.width, frame.height,
                      blend) != FALSE;
}

} // namespace seg4::com
