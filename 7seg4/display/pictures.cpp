// The embedded pictures and their one-time decoding.
#include "display/pictures.h"

#include "automation/errors.h"

#include <array>
#include <cstdlib>

// stb_image is compiled here and nowhere else; only PNG is needed and nothing is read from files.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>

namespace seg4 {

namespace {

// Written at build time by the picture generator and turned into byte arrays.
#include "pictures/backdrop_0.inc"
#include "pictures/backdrop_1.inc"
#include "pictures/backdrop_2.inc"
#include "pictures/backdrop_3.inc"
#include "pictures/overlay_0.inc"
#include "pictures/overlay_1.inc"
#include "pictures/overlay_2.inc"
#include "pictures/overlay_3.inc"
#include "pictures/overlay_4.inc"
#include "pictures/overlay_5.inc"
#include "pictures/overlay_6.inc"
#include "pictures/overlay_7.inc"
#include "pictures/preview_0.inc"
#include "pictures/preview_1.inc"
#include "pictures/preview_2.inc"
#include "pictures/preview_3.inc"

using File = std::span<const std::uint8_t>;

const std::array<File, 4> kBackdropFiles{{{backdrop_0_png, backdrop_0_png_size},
                                          {backdrop_1_png, backdrop_1_png_size},
                                          {backdrop_2_png, backdrop_2_png_size},
                                          {backdrop_3_png, backdrop_3_png_size}}};
const std::array<File, 8> kOverlayFiles{{{overlay_0_png, overlay_0_png_size},
                                         {overlay_1_png, overlay_1_png_size},
                                         {overlay_2_png, overlay_2_png_size},
                                         {overlay_3_png, overlay_3_png_size},
                                         {overlay_4_png, overlay_4_png_size},
                                         {overlay_5_png, overlay_5_png_size},
                                         {overlay_6_png, overlay_6_png_size},
                                         {overlay_7_png, overlay_7_png_size}}};
const std::array<File, 4> kPreviewFiles{{{preview_0_png, preview_0_png_size},
                                         {preview_1_png, preview_1_png_size},
                                         {preview_2_png, preview_2_png_size},
                                         {preview_3_png, preview_3_png_size}}};

std::span<const File> filesOf(PictureKind kind) {
    switch (kind) {
    case PictureKind::Backdrop: return kBackdropFiles;
    case PictureKind::Overlay: return kOverlayFiles;
    case PictureKind::Preview: return kPreviewFiles;
    }
    return {};
}

struct PictureSet {
    std::array<Frame, 4> backdrops;
    std::array<Frame, 8> overlays;
    std::array<Frame, 4> previews;
};

PictureSet decodeAll() {
    PictureSet set;
    for (std::size_t i = 0; i < set.backdrops.size(); ++i) set.backdrops[i] = decodePng(kBackdropFiles[i]);
    for (std::size_t i = 0; i < set.overlays.size(); ++i) set.overlays[i] = decodePng(kOverlayFiles[i]);
    for (std::size_t i = 0; i < set.previews.size(); ++i) set.previews[i] = decodePng(kPreviewFiles[i]);
    return set;
}

const PictureSet& pictureSet() {
    // Initialised once, by whichever thread comes first; the others wait for it.
    static const PictureSet set = decodeAll();
    return set;
}

} // namespace

int pictureCount(PictureKind kind) noexcept { return static_cast<int>(filesOf(kind).size()); }

const Frame& picture(PictureKind kind, int index) {
    if (index < 0 || index >= pictureCount(kind)) raise(hr::SubscriptOutOfRange);
    const PictureSet& set = pictureSet();
    const auto i = static_cast<std::size_t>(index);
    switch (kind) {
    case PictureKind::Backdrop: return set.backdrops[i];
    case PictureKind::Overlay: return set.overlays[i];
    case PictureKind::Preview: break;
    }
    return set.previews[i];
}

std::span<const std::uint8_t> pictureFile(PictureKind kind, int index) {
    if (index < 0 || index >= pictureCount(kind)) raise(hr::SubscriptOutOfRange);
    return filesOf(kind)[static_cast<std::size_t>(index)];
}

Frame decodePng(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) raise(hr::InvalidArgument);
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
    if (!rgba) raise(hr::InvalidArgument);
    Frame frame;
    frame.width = w;
    frame.height = h;
    frame.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        const stbi_uc* p = rgba + 4 * i;
        frame.pixels[i] = px::premultiply(p[0], p[1], p[2], p[3]);
    }
    stbi_image_free(rgba);
    return frame;
}

} // namespace seg4
