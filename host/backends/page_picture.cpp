// A picture of the property page as its window would show it: labels, colour list, size box,
// scroll bar and the preview digit, drawn with Cairo at the page's design geometry.
#include "backends/page_picture.h"

#include "automation/conversions.h"
#include "display/pictures.h"
#include "propertypage/ppg7seg4.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

// Fontconfig, under Cairo's text, keeps its caches for the life of the process; the leak checker
// of the sanitizer builds is told so instead of reporting them at exit.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace qhost {

namespace {

using Page = seg4::Ppg7Seg4;

struct Scale {
    double x, y; // pixels per twip
};

void rect(cairo_t* cr, const Scale& s, const seg4::PageBox& b) {
    cairo_rectangle(cr, b.left * s.x, b.top * s.y, b.width * s.x, b.height * s.y);
}

/// A sunken control face: white inside a grey border.
void field(cairo_t* cr, const Scale& s, const seg4::PageBox& b) {
    rect(cr, s, b);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

/// A button face, with a triangle pointing up or down unless it is the scroll bar's thumb.
enum class Arrow { None, Up, Down };
void button(cairo_t* cr, double left, double top, double width, double height, Arrow arrow) {
    cairo_rectangle(cr, left, top, width, height);
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_stroke(cr);
    if (arrow == Arrow::None) return;
    const bool up = arrow == Arrow::Up;
    const double cx = left + width / 2, cy = top + height / 2, r = std::min(width, height) / 4;
    cairo_move_to(cr, cx - r, up ? cy + r / 2 : cy - r / 2);
    cairo_line_to(cr, cx + r, up ? cy + r / 2 : cy - r / 2);
    cairo_line_to(cr, cx, up ? cy - r / 2 : cy + r / 2);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_fill(cr);
}

/// Text in a box, left-aligned and centred vertically, in a font of `points` at the screen's
/// pixels per inch.
void text(cairo_t* cr, const Scale& s, const seg4::PageBox& b, const std::u16string& value,
          const std::u16string& face, double points, double inset = 3) {
    cairo_save(cr);
    rect(cr, s, b);
    cairo_clip(cr);
    const std::string faceName = seg4::toUtf8(face);
    cairo_select_font_face(cr, faceName.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, points * 1440.0 / 72.0 * s.y);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const double baseline = b.top * s.y + (b.height * s.y + font.ascent - font.descent) / 2;
    cairo_move_to(cr, b.left * s.x + inset, baseline);
    cairo_set_source_rgb(cr, 0, 0, 0);
    const std::string utf8 = seg4::toUtf8(value);
    cairo_show_text(cr, utf8.c_str());
    cairo_restore(cr);
}

/// The preview digit, stretched to its box, over the page.
void preview(cairo_t* cr, const Scale& s, const PageState& state) {
    if (state.preview < 0 || state.preview >= seg4::pictureCount(seg4::PictureKind::Preview)) return;
    const seg4::Frame& digit = seg4::picture(seg4::PictureKind::Preview, state.preview);
    // Both keep premultiplied colour; Cairo's pixel is A, R, G, B from the high byte down.
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, digit.width, digit.height), cairo_surface_destroy);
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < digit.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < digit.width; ++x) {
            const std::uint32_t p = digit.at(x, y);
            row[x] = std::uint32_t{seg4::px::alpha(p)} << 24 | std::uint32_t{seg4::px::red(p)} << 16 |
                     std::uint32_t{seg4::px::green(p)} << 8 | seg4::px::blue(p);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    cairo_save(cr);
    cairo_translate(cr, Page::kPreviewLeft * s.x, Page::kPreviewTop * s.y);
    cairo_scale(cr, static_cast<double>(state.previewWidthPixels) / digit.width,
                static_cast<double>(state.previewHeightPixels) / digit.height);
    cairo_set_source_surface(cr, surface.get(), 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

} // namespace

seg4::Frame drawPage(const PageState& state, float twipsPerPixelX, float twipsPerPixelY) {
    const Scale s{1.0 / std::max(twipsPerPixelX, 1.0f), 1.0 / std::max(twipsPerPixelY, 1.0f)};
    const int width = static_cast<int>(std::lround(Page::kWidthTwips * s.x));
    const int height = static_cast<int>(std::lround(Page::kHeightTwips * s.y));
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 0.94, 0.94, 0.94);
    cairo_paint(cr);

    // The version label keeps its design font; the other two take the language's.
    text(cr, s, Page::kVersionBox, state.version, u"Sans", 8.25, 0);
    text(cr, s, Page::kColourLabelBox, state.colourLabel.caption, state.colourLabel.fontFace,
         state.colourLabel.fontPoints, 0);
    text(cr, s, Page::kSizeLabelBox, state.sizeLabel.caption, state.sizeLabel.fontFace,
         state.sizeLabel.fontPoints, 0);

    const seg4::PageBox list = Page::kColourListBox;
    field(cr, s, list);
    const bool selected =
        state.listIndex >= 0 && static_cast<std::size_t>(state.listIndex) < state.items.size();
    text(cr, s, list, selected ? state.items[static_cast<std::size_t>(state.listIndex)] : u"",
         u"MS Sans Serif", 8.25);
    const double side = list.height * s.y - 4;
    button(cr, (list.left + list.width) * s.x - side - 2, list.top * s.y + 2, side, side, Arrow::Down);

    field(cr, s, Page::kSizeTextBox);
    text(cr, s, Page::kSizeTextBox, state.sizeText, u"Sans", 8.25);

    // The scroll bar: 85 at the top, so the thumb rises as the size grows.
    const seg4::PageBox bar = Page::kScrollBox;
    const double bx = bar.left * s.x, by = bar.top * s.y, bw = bar.width * s.x, bh = bar.height * s.y;
    cairo_rectangle(cr, bx, by, bw, bh);
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    cairo_fill(cr);
    button(cr, bx, by, bw, bw, Arrow::Up);
    button(cr, bx, by + bh - bw, bw, bw, Arrow::Down);
    const double travel = bh - 3 * bw;
    const double share = std::clamp((85.0 - state.scrollValue) / (85.0 - 20.0), 0.0, 1.0);
    button(cr, bx, by + bw + travel * share, bw, bw, Arrow::None);

    preview(cr, s, state);

    cairo_surface_flush(surface.get());
    seg4::Frame frame{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            frame.pixels[static_cast<std::size_t>(y) * width + x] =
                seg4::px::pack(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF, p >> 24);
        }
    }
    return frame;
}

} // namespace qhost
