// What the compositor's files share: the blend of one pixel over another, and the tables a
// prepared layer set holds (the frames to start from and which overlay touches which pixel).
#pragma once

#include "automation/errors.h"
#include "display/compositor.h"
#include "display/resampler.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace seg4::compositing {

/// Premultiplied source over destination, two channels at a time with exact rounding of x / 255.
inline std::uint32_t over(std::uint32_t s, std::uint32_t d) {
    const std::uint32_t inverse = 255 - (s >> 24);
    std::uint32_t rb = (d & 0x00FF00FFu) * inverse + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t ag = ((d >> 8) & 0x00FF00FFu) * inverse + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return s + rb + ag;
}

inline void checkFrameSize(int width, int height) {
    // Frame indices are kept in 32 bits.
    if (width > kMaxFrameSide || height > kMaxFrameSide) raise(hr::InvalidArgument);
}

/// Pixels [index, index + length) of the frame.
struct Run {
    std::uint32_t index, length;
};
/// A pixel up to four overlays touch: where its value for each way they can show starts in
/// sharedValues.
struct Shared {
    std::uint32_t index;
    std::uint32_t values; // 2^count values; bit i of a value's offset = the group's overlay i shown
};
/// The pixels the same two to four overlays touch: which way they show is read once for all.
struct SharedGroup {
    std::array<std::uint8_t, 4> overlays{}; // in drawing order; places past their count hold
                                            // kOverlays, which never shows
    std::uint32_t begin, end;               // its pixels in shared
};
/// A pixel more overlays touch: stacked at each draw from those shown.
struct Many {
    std::uint32_t index;
    std::uint32_t begin, end; // its overlays in manyLayers, in drawing order
};
struct ManyLayer {
    std::uint32_t overlay;
    std::uint32_t pixel;
};

/// The layers, frame and twips per pixel of a draw, but the overlays' visibility.
Compositor::Given givenOf(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                          float twipsPerPixelY);
/// Whether they are those `given` holds.
bool sameAsGiven(const Compositor::Given& given, const LayerSet& layers, int width, int height,
                 float twipsPerPixelX, float twipsPerPixelY);

} // namespace seg4::compositing

namespace seg4 {

struct Compositor::Prepared {
    SetKey key;
    std::uint64_t hash = 0;
    std::array<std::shared_ptr<const ScaledPicture>, kLayers> slots{}; // none for a hidden backdrop
    // Where each slot's pixels lie: the digits share one picture for each segment where their
    // boxes map the source alike, each at its own place.
    struct Place {
        int x0 = 0, y0 = 0;
    };
    std::array<Place, kLayers> places{};
    std::vector<std::uint32_t> base;                           // the visible backdrops stacked
    std::vector<std::uint32_t> dark;                           // and every overlay over them
    std::array<std::vector<compositing::Run>, kOverlays> runs; // pixels only this overlay touches
    // The box around each digit's own pixels, when no two of them overlap: a draw then starts
    // each digit from whichever frame is nearer to its own overlays.
    struct Box {
        std::uint32_t left = 0, right = 0, top = 0, bottom = 0; // [left, right) x [top, bottom)
    };
    std::array<Box, kDigitCount> digitBoxes{};
    bool byDigit = false;
    // Shared groups whose overlays all belong to digit d are [groupsFrom[d], groupsFrom[d + 1]);
    // those of several digits follow, up to groupsFrom[kDigitCount + 1]. A digit whose overlays
    // all show, or none, leaves its groups as its start frame has them.
    std::array<std::uint32_t, kDigitCount + 2> groupsFrom{};
    std::uint32_t frameWidth = 0;
    std::vector<compositing::Shared> shared;
    std::vector<compositing::SharedGroup> sharedGroups;
    std::vector<std::uint32_t> sharedValues;
    std::vector<compositing::Many> many;
    std::vector<compositing::ManyLayer> manyLayers;

    void build(int width, int height);
    std::size_t bytesWithoutSlots() const;
};

} // namespace seg4
