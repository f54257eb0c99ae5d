// Draws the display's pictures from the segment geometry with Cairo (anti-aliased).
//
// usage: picture_gen OUTDIR
//
// Writes into OUTDIR:
//   pictures/backdrop_<c>.png  373 x 115, opaque: four lit italic digits of colour c on the ground
//   pictures/overlay_<s>.png   70 x 87, transparent but for segment s in black with a grey rim
//   pictures/preview_<c>.png   70 x 87, transparent but for one fully lit digit of colour c
//   toolbox.bmp                16 x 15, 24-bit, the toolbox button of the control
#include "display/segment_geometry.h"

#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace seg4::geometry;

constexpr double kPi = 3.14159265358979323846;

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

/// Adds segment `s` of the reference cell to the current path.
void addSegmentPath(cairo_t* cr, const Segment& s) {
    if (s.pointCount == 0) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, s.centre.x, s.centre.y, s.radius, 0, 2 * kPi);
        cairo_close_path(cr);
        return;
    }
    cairo_move_to(cr, s.outline[0].x, s.outline[0].y);
    for (int i = 1; i < s.pointCount; ++i) cairo_line_to(cr, s.outline[i].x, s.outline[i].y);
    cairo_close_path(cr);
}

/// Fills every segment of one digit in `colour`; the caller sets the cell's transformation.
void fillDigit(cairo_t* cr, Rgb colour) {
    for (const Segment& s : kSegments) addSegmentPath(cr, s);
    setColour(cr, colour);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
}

bool writePng(cairo_surface_t* surface, const std::filesystem::path& path) {
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png(surface, path.string().c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "picture_gen: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

bool drawBackdrop(int colour, const std::filesystem::path& path) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBackdropWidth, kBackdropHeight);
    cairo_t* cr = cairo_create(surface);
    setColour(cr, kGround);
    cairo_paint(cr);
    for (int d = 0; d < 4; ++d) {
        cairo_save(cr);
        // The same mapping the compositor uses when it stretches an overlay over this cell.
        cairo_translate(cr, d * kBackdropCellWidth, 0);
        cairo_scale(cr, kBackdropCellWidth / kCellWidth, static_cast<double>(kBackdropHeight) / kCellHeight);
        fillDigit(cr, kLitColours[static_cast<std::size_t>(colour)]);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    const bool ok = writePng(surface, path);
    cairo_surface_destroy(surface);
    return ok;
}

bool drawOverlay(int segment, const std::filesystem::path& path) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCellWidth, kCellHeight);
    cairo_t* cr = cairo_create(surface);
    const Segment& s = kSegments[static_cast<std::size_t>(segment)];
    // A thin grey stroke first, then the black fill over its inner half: what is left is a soft
    // rim just outside the shape that swallows the anti-aliased fringe of the lit segment below.
    addSegmentPath(cr, s);
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColour(cr, Rgb{40, 40, 40}, 0.8);
    cairo_stroke_preserve(cr);
    setColour(cr, Rgb{0, 0, 0});
    cairo_fill(cr);
    cairo_destroy(cr);
    const bool ok = writePng(surface, path);
    cairo_surface_destroy(surface);
    return ok;
}

bool drawPreview(int colour, const std::filesystem::path& path) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCellWidth, kCellHeight);
    cairo_t* cr = cairo_create(surface);
    fillDigit(cr, kPreviewColours[static_cast<std::size_t>(colour)]);
    cairo_destroy(cr);
    const bool ok = writePng(surface, path);
    cairo_surface_destroy(surface);
    return ok;
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

/// The toolbox button: a little unit's dark face in a grey frame with one lit red digit.
bool drawToolbox(const std::filesystem::path& path) {
    constexpr int w = 16, h = 15;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(surface);
    setColour(cr, Rgb{128, 128, 128});
    cairo_paint(cr);
    cairo_rectangle(cr, 1, 1, w - 2, h - 2);
    setColour(cr, kGround);
    cairo_fill(cr);
    cairo_save(cr);
    const double scale = 12.0 / kCellHeight;
    cairo_translate(cr, (w - kCellWidth * scale) / 2.0, 1.0);
    cairo_scale(cr, scale, 13.0 / kCellHeight);
    fillDigit(cr, kLitColours[0]);
    cairo_restore(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    // A 24-bit bottom-up bitmap: file header, BITMAPINFOHEADER, rows of BGR padded to 4 bytes.
    const int rowBytes = (w * 3 + 3) & ~3;
    const auto imageBytes = static_cast<std::uint32_t>(rowBytes * h);
    std::vector<std::uint8_t> bmp;
    bmp.push_back('B');
    bmp.push_back('M');
    putLe(bmp, 14 + 40 + imageBytes, 4);
    putLe(bmp, 0, 4);
    putLe(bmp, 14 + 40, 4);
    putLe(bmp, 40, 4);
    putLe(bmp, w, 4);
    putLe(bmp, h, 4);
    putLe(bmp, 1, 2);  // planes
    putLe(bmp, 24, 2); // bits per pixel
    putLe(bmp, 0, 4);  // uncompressed
    putLe(bmp, imageBytes, 4);
    putLe(bmp, 3780, 4); // 96 dpi
    putLe(bmp, 3780, 4);
    putLe(bmp, 0, 4);
    putLe(bmp, 0, 4);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = h - 1; y >= 0; --y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            bmp.push_back(static_cast<std::uint8_t>(row[x]));
            bmp.push_back(static_cast<std::uint8_t>(row[x] >> 8));
            bmp.push_back(static_cast<std::uint8_t>(row[x] >> 16));
        }
        for (int pad = w * 3; pad < rowBytes; ++pad) bmp.push_back(0);
    }
    cairo_surface_destroy(surface);

    std::FILE* out = std::fopen(path.string().c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "picture_gen: cannot write %s\n", path.string().c_str());
        return false;
    }
    const bool written = std::fwrite(bmp.data(), 1, bmp.size(), out) == bmp.size();
    return std::fclose(out) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    const std::filesystem::path pictureDir = outDir / "pictures";
    std::error_code ec;
    std::filesystem::create_directories(pictureDir, ec);
    if (ec) {
        std::fprintf(stderr, "picture_gen: cannot create %s\n", pictureDir.string().c_str());
        return 1;
    }
    bool ok = true;
    for (int c = 0; c < 4; ++c) {
        ok = drawBackdrop(c, pictureDir / ("backdrop_" + std::to_string(c) + ".png")) && ok;
        ok = drawPreview(c, pictureDir / ("preview_" + std::to_string(c) + ".png")) && ok;
    }
    for (int s = 0; s < 8; ++s)
        ok = drawOverlay(s, pictureDir / ("overlay_" + std::to_string(s) + ".png")) && ok;
    ok = drawToolbox(outDir / "toolbox.bmp") && ok;
    cairo_debug_reset_static_data();
    return ok ? 0 : 1;
}
