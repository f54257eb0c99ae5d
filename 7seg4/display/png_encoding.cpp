// Frames as PNG files, written to memory.
#include "display/prepared_layer_set.h"

#include <algorithm>
#include <cstddef>

// stb_image_write is compiled here and nowhere else; PNGs are written to memory only.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace seg4 {

std::vector<std::uint8_t> encodePng(const Frame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height))
        raise(hr::InvalidArgument);
    compositing::checkFrameSize(frame.width, frame.height);
    std::vector<std::uint8_t> straight(frame.pixels.size() * 4);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        const std::uint32_t p = frame.pixels[i];
        const std::uint32_t a = px::alpha(p);
        const auto unmultiply = [a](std::uint32_t c) {
            return a == 0 ? 0u : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
        };
        straight[4 * i + 0] = static_cast<std::uint8_t>(unmultiply(px::red(p)));
        straight[4 * i + 1] = static_cast<std::uint8_t>(unmultiply(px::green(p)));
        straight[4 * i + 2] = static_cast<std::uint8_t>(unmultiply(px::blue(p)));
        straight[4 * i + 3] = static_cast<std::uint8_t>(a);
    }
    std::vector<std::uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    if (!stbi_write_png_to_func(append, &png, frame.width, frame.height, 4, straight.data(), frame.width * 4))
        raise(hr::OutOfMemory);
    return png;
}

} // namespace seg4
