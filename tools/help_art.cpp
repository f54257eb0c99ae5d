// Draws the pictures of the end-user help: the proposed wiring, the segment letters and the
// timing of a multiplexed scan. The PNG files are kept in the source tree beside the pages;
// run this (build target seg4_help_art) after changing a drawing to refresh them.
#include <cairo.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb kInk{0.13, 0.13, 0.13};
constexpr Rgb kAnodeWire{0.13, 0.38, 0.75};
constexpr Rgb kSegmentWire{0.18, 0.55, 0.34};
constexpr Rgb kGround{19 / 255.0, 20 / 255.0, 22 / 255.0};
constexpr Rgb kLitRed{220 / 255.0, 52 / 255.0, 47 / 255.0};
constexpr Rgb kFaintLabel{0.72, 0.72, 0.72};
constexpr Rgb kChip{0.93, 0.93, 0.93};

void setColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

enum class Align { Left, Centre, Right };

/// Writes `text` with its baseline at y; x is its left end, centre or right end.
void text(cairo_t* cr, double x, double y, const std::string& s, double size, Align align = Align::Left,
          bool bold = false) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    double left = x;
    if (align == Align::Centre) left = x - e.x_advance / 2;
    if (align == Align::Right) left = x - e.x_advance;
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, s.c_str());
}

// [SECTION] one seven-segment digit
//
// The digit is drawn in a 70 x 100 cell with upright bars; the caller's shear makes it lean
// to the right the way the display's digits do. Bars are hexagons so neighbours meet at a
// point, with a small gap between them.
constexpr double kLeft = 12, kRight = 50, kTop = 10, kMiddle = 50, kBottom = 90;
constexpr double kBar = 9, kGap = 1.5;

struct Bar {
    double x0, y0, x1, y1; // centre line
};

/// Segments A to G in the order of the segment lines.
constexpr std::array<Bar, 7> kBars{{
    {kLeft + kGap, kTop, kRight - kGap, kTop},        // A
    {kRight, kTop + kGap, kRight, kMiddle - kGap},    // B
    {kRight, kMiddle + kGap, kRight, kBottom - kGap}, // C
    {kLeft + kGap, kBottom, kRight - kGap, kBottom},  // D
    {kLeft, kMiddle + kGap, kLeft, kBottom - kGap},   // E
    {kLeft, kTop + kGap, kLeft, kMiddle - kGap},      // F
    {kLeft + kGap, kMiddle, kRight - kGap, kMiddle},  // G
}};
constexpr double kPointX = kRight + 10, kPointY = kBottom, kPointRadius = 5;

void barPath(cairo_t* cr, const Bar& b) {
    const double h = kBar / 2;
    if (b.y0 == b.y1) {
        cairo_move_to(cr, b.x0, b.y0);
        cairo_line_to(cr, b.x0 + h, b.y0 - h);
        cairo_line_to(cr, b.x1 - h, b.y0 - h);
        cairo_line_to(cr, b.x1, b.y0);
        cairo_line_to(cr, b.x1 - h, b.y0 + h);
        cairo_line_to(cr, b.x0 + h, b.y0 + h);
    } else {
        cairo_move_to(cr, b.x0, b.y0);
        cairo_line_to(cr, b.x0 + h, b.y0 + h);
        cairo_line_to(cr, b.x0 + h, b.y1 - h);
        cairo_line_to(cr, b.x0, b.y1);
        cairo_line_to(cr, b.x0 - h, b.y1 - h);
        cairo_line_to(cr, b.x0 - h, b.y0 + h);
    }
    cairo_close_path(cr);
}

/// Places a digit cell: origin at (x, y), `scale` pixels per cell unit, leaning right.
void digitTransform(cairo_t* cr, double x, double y, double scale) {
    cairo_matrix_t m;
    // x' = scale * (x - 0.12 * (y - kBottom)): the bottom row stays put, the top moves right.
    cairo_matrix_init(&m, scale, 0, -0.12 * scale, scale, x + 0.12 * scale * kBottom, y);
    cairo_transform(cr, &m);
}

/// A digit with every segment and the point lit.
void litDigit(cairo_t* cr, double x, double y, double scale, Rgb colour) {
    cairo_save(cr);
    digitTransform(cr, x, y, scale);
    setColour(cr, colour);
    for (const Bar& b : kBars) {
        barPath(cr, b);
        cairo_fill(cr);
    }
    cairo_arc(cr, kPointX, kPointY, kPointRadius, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_restore(cr);
}

// [SECTION] the pictures

bool save(cairo_surface_t* surface, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "help_art: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

/// Microcontroller on the left, the display on the right, with the twelve wires of the
/// proposed wiring. Wires are laid out so that none crosses another.
bool drawWiring(const std::string& folder) {
    constexpr int width = 820, height = 580;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    // The microcontroller.
    constexpr double chipX = 20, chipY = 30, chipW = 190, chipH = 530;
    constexpr double chipRight = chipX + chipW;
    cairo_rectangle(cr, chipX, chipY, chipW, chipH);
    setColour(cr, kChip);
    cairo_fill_preserve(cr);
    setColour(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    text(cr, chipX + chipW / 2, chipY + 28, "Microcontroller", 15, Align::Centre, true);

    // The display: four cells, leftmost first.
    constexpr double dispX = 330, dispY = 215, dispW = 470, dispH = 130;
    constexpr double cellW = 112, cellX0 = dispX + 14;
    cairo_rectangle(cr, dispX, dispY, dispW, dispH);
    setColour(cr, kGround);
    cairo_fill(cr);
    for (int cell = 0; cell < 4; ++cell) {
        const double x = cellX0 + cell * cellW;
        litDigit(cr, x + 8, dispY + 4, 1.05, kLitRed);
        setColour(cr, kFaintLabel);
        text(cr, x + 38, dispY + dispH - 8, "DIGIT " + std::to_string(3 - cell), 11, Align::Centre);
    }
    auto cellCentre = [&](int cell) { return cellX0 + cell * cellW + 44; };

    // Port 0: the anodes. Bit 3 runs highest and goes furthest, to the rightmost digit.
    setColour(cr, kInk);
    text(cr, chipRight - 10, 90, "Port 0 (porta)", 13, Align::Right, true);
    for (int bit = 3; bit >= 0; --bit) {
        const double y = 115 + (3 - bit) * 25;
        const int cell = bit; // bit 0 = "Anode 0" = leftmost cell
        const double x = cellCentre(cell);
        setColour(cr, kAnodeWire);
        cairo_set_line_width(cr, 2.5);
        cairo_move_to(cr, chipRight, y);
        cairo_line_to(cr, x, y);
        cairo_line_to(cr, x, dispY);
        cairo_stroke(cr);
        cairo_arc(cr, chipRight, y, 3.5, 0, 2 * M_PI);
        cairo_fill(cr);
        setColour(cr, kInk);
        text(cr, chipRight - 10, y + 4, "bit " + std::to_string(bit), 12, Align::Right);
        text(cr, chipRight + 8, y - 5, "Anode " + std::to_string(bit), 11);
    }

    // Port 1: the segment lines, shared by all four digits.
    static const std::array<const char*, 8> names{"A", "B", "C", "D", "E", "F", "G", "DP"};
    setColour(cr, kInk);
    text(cr, chipRight - 10, 365, "Port 1 (portb)", 13, Align::Right, true);
    for (int bit = 0; bit < 8; ++bit) {
        const double y = 390 + bit * 22;
        const double x = dispX + 22 + bit * 58;
        setColour(cr, kSegmentWire);
        cairo_set_line_width(cr, 2.5);
        cairo_move_to(cr, chipRight, y);
        cairo_line_to(cr, x, y);
        cairo_line_to(cr, x, dispY + dispH);
        cairo_stroke(cr);
        cairo_arc(cr, chipRight, y, 3.5, 0, 2 * M_PI);
        cairo_fill(cr);
        setColour(cr, kInk);
        text(cr, chipRight - 10, y + 4, "bit " + std::to_string(bit), 12, Align::Right);
        text(cr, chipRight + 8, y - 5, std::string("Segment ") + names[static_cast<std::size_t>(bit)], 11);
        text(cr, x + 5, dispY + dispH + 16, names[static_cast<std::size_t>(bit)], 12, Align::Left, true);
    }
    text(cr, dispX + dispW, dispY - 12, "Common-anode display", 12, Align::Right, true);

    cairo_destroy(cr);
    const bool ok = save(surface, folder, "wiring.png");
    cairo_surface_destroy(surface);
    return ok;
}

/// One large digit with the letter of every segment.
bool drawSegments(const std::string& folder) {
    constexpr int width = 270, height = 290;
    constexpr double scale = 2.5, originX = 25, originY = 25;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    cairo_save(cr);
    digitTransform(cr, originX, originY, scale);
    for (const Bar& b : kBars) {
        barPath(cr, b);
        cairo_set_source_rgb(cr, 0.98, 0.80, 0.78);
        cairo_fill_preserve(cr);
        setColour(cr, kLitRed);
        cairo_set_line_width(cr, 0.6);
        cairo_stroke(cr);
    }
    cairo_arc(cr, kPointX, kPointY, kPointRadius, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.98, 0.80, 0.78);
    cairo_fill_preserve(cr);
    setColour(cr, kLitRed);
    cairo_stroke(cr);
    cairo_restore(cr);

    // Letters at the middle of each bar, found through the same transform.
    static const std::array<const char*, 7> names{"A", "B", "C", "D", "E", "F", "G"};
    for (std::size_t s = 0; s < kBars.size(); ++s) {
        double x = (kBars[s].x0 + kBars[s].x1) / 2, y = (kBars[s].y0 + kBars[s].y1) / 2;
        // Letters stand outside the digit, except G's, which stands in the upper opening.
        if (kBars[s].x0 == kBars[s].x1)
            x += (x > (kLeft + kRight) / 2) ? 14 : -14;
        else
            y += (s == 3) ? 13 : -13;
        cairo_save(cr);
        digitTransform(cr, originX, originY, scale);
        cairo_user_to_device(cr, &x, &y);
        cairo_restore(cr);
        setColour(cr, kInk);
        text(cr, x, y + 6, names[s], 17, Align::Centre, true);
    }
    double px = kPointX + 8, py = kPointY;
    cairo_save(cr);
    digitTransform(cr, originX, originY, scale);
    cairo_user_to_device(cr, &px, &py);
    cairo_restore(cr);
    text(cr, px, py + 6, "DP", 15, Align::Left, true);

    cairo_destroy(cr);
    const bool ok = save(surface, folder, "segments.png");
    cairo_surface_destroy(surface);
    return ok;
}

/// Two scans of the number 1234: each anode high in its own slot, the segment lines carrying
/// that digit's figure meanwhile.
bool drawScan(const std::string& folder) {
    constexpr int width = 660, height = 260;
    constexpr double labelW = 130, slotW = 62, rowH = 34, top = 40;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    static const std::array<const char*, 4> figures{"4", "3", "2", "1"}; // DIGIT 0 shows the units
    for (int row = 0; row < 5; ++row) {
        const double base = top + row * rowH + 24;
        setColour(cr, kInk);
        text(cr, 10, base - 6, row < 4 ? "Anode of DIGIT " + std::to_string(row) : "Segment lines", 12);
        cairo_set_line_width(cr, 2);
        for (int slot = 0; slot < 8; ++slot) {
            const double x = labelW + slot * slotW;
            if (row < 4) {
                const bool high = slot % 4 == row;
                setColour(cr, kAnodeWire);
                cairo_move_to(cr, x, high ? base - 18 : base);
                cairo_line_to(cr, x + slotW, high ? base - 18 : base);
                cairo_stroke(cr);
                const bool nextHigh = (slot + 1) % 4 == row && slot < 7;
                if (high || nextHigh) {
                    cairo_move_to(cr, x + slotW, base - 18);
                    cairo_line_to(cr, x + slotW, base);
                    cairo_stroke(cr);
                }
                if (high && slot == 0) {
                    cairo_move_to(cr, x, base);
                    cairo_line_to(cr, x, base - 18);
                    cairo_stroke(cr);
                }
            } else {
                setColour(cr, kSegmentWire);
                cairo_rectangle(cr, x + 2, base - 18, slotW - 4, 18);
                cairo_stroke(cr);
                setColour(cr, kInk);
                text(cr, x + slotW / 2, base - 4, figures[static_cast<std::size_t>(slot % 4)], 12,
                     Align::Centre);
            }
        }
    }

    // Dimension marks: one slot, and one full scan.
    auto bracket = [&](double x0, double x1, double y, const std::string& label) {
        setColour(cr, kInk);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, x0, y - 5);
        cairo_line_to(cr, x0, y + 5);
        cairo_move_to(cr, x1, y - 5);
        cairo_line_to(cr, x1, y + 5);
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, x1, y);
        cairo_stroke(cr);
        text(cr, (x0 + x1) / 2, y - 8, label, 12, Align::Centre);
    };
    bracket(labelW, labelW + slotW, 24, "under 5 ms");
    bracket(labelW, labelW + 4 * slotW, top + 5 * rowH + 22,
            "one full scan: under 20 ms (over 50 per second)");
    setColour(cr, kInk);
    text(cr, labelW + 8 * slotW, top + 5 * rowH + 46, "time \u2192", 12, Align::Right);

    cairo_destroy(cr);
    const bool ok = save(surface, folder, "scan.png");
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: help_art <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = drawWiring(folder) && drawSegments(folder) && drawScan(folder);
    return ok ? 0 : 1;
}
