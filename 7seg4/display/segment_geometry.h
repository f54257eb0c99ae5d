// The shapes of the eight segments in one digit cell, and the colours of the display's pictures.
//
// This is the one description of the artwork: the build-machine picture generator draws the
// backdrops, overlays, previews and toolbox bitmap from it, and the tests check the decoded
// pictures against the boxes and telling rows kept here. It includes only the standard library
// so that the generator can build it standalone for a cross build.
//
// Coordinates are in the 70 x 87 reference cell, origin at the top left, y downwards. Outline
// points are on pixel edges (pixel (x, y) covers x..x+1, y..y+1); boxes and telling rows name
// pixels, bounds inclusive. Bars are about 7 pixels thick and the vertical bars lean right by one
// pixel per six pixels of height; where two segments meet, their ends are cut parallel to each
// other with a gap of about 1.3 pixels, so a dark overlay never reaches into its neighbour.
#pragma once

#include <array>
#include <cstdint>

namespace seg4::geometry {

inline constexpr int kCellWidth = 70;
inline constexpr int kCellHeight = 87;

inline constexpr int kBackdropWidth = 373;
inline constexpr int kBackdropHeight = 115;

struct Point {
    double x;
    double y;
};

/// Pixels of a shape, bounds inclusive.
struct PixelBox {
    int x0, y0, x1, y1;
};

/// In pixel row `y`, ink covers at least half of each pixel from `x0` to `x1` and no more.
struct TellingRow {
    int y, x0, x1;
};

struct Segment {
    char name[3];
    int pointCount;                 // 0 for the round decimal point
    std::array<Point, 9> outline;   // clockwise on screen
    Point centre;                   // round dot only
    double radius;                  // round dot only
    PixelBox box;                   // every pixel with ink lies inside
    int rowCount;                   // how many of `rows` are in use
    std::array<TellingRow, 2> rows; // telling rows
};

/// Segments A, B, C, D, E, F, G and the decimal point, in the order of the segment lines (the
/// overlay of segment s is picture s).
inline constexpr std::array<Segment, 8> kSegments{{
    // A: top bar, a trapezoid narrowing downwards; its ends face F and B.
    {"A",
     4,
     {{{19, 5}, {61, 5}, {55, 12}, {25, 12}}},
     {},
     0,
     {19, 5, 60, 11},
     2,
     {{{5, 19, 60}, {11, 25, 54}}}},
    // B: upper right bar; its top is cut along A's right end, its bottom is a point above G.
    {"B",
     7,
     {{{61.94, 6}, {62.7, 6}, {63.9, 11}, {59.23, 39}, {54.79, 43}, {51.63, 39.31}, {56.03, 12.9}}},
     {},
     0,
     {51, 6, 63, 42},
     2,
     {{{12, 56, 63}, {38, 52, 58}}}},
    // C: lower right bar; its top is a point below G, its bottom is cut along D's right end.
    {"C",
     7,
     {{{54.16, 45}, {57.57, 47}, {52.4, 78}, {51.2, 81}, {50.05, 81}, {45.13, 76.78}, {49.78, 48.83}}},
     {},
     0,
     {45, 45, 57, 80},
     2,
     {{{49, 50, 56}, {75, 45, 52}}}},
    // D: bottom bar, a trapezoid widening downwards; its ends face E and C.
    {"D",
     4,
     {{{12.5, 76}, {42.42, 76}, {50.3, 83}, {5.8, 83}}},
     {},
     0,
     {6, 76, 49, 82},
     2,
     {{{76, 12, 42}, {82, 6, 49}}}},
    // E: lower left bar; its top is a point below G, its bottom is cut along D's left end.
    {"E",
     8,
     {{{13.05, 45},
       {15.49, 45},
       {16.63, 46.33},
       {11.88, 74.82},
       {5.7, 81},
       {5.0, 81},
       {4.08, 76},
       {8.62, 48.8}}},
     {},
     0,
     {4, 45, 16, 80},
     2,
     {{{52, 8, 15}, {74, 4, 11}}}},
    // F: upper left bar; its top is cut along A's left end, its bottom is a point above G.
    {"F",
     7,
     {{{16.48, 6}, {18.06, 6}, {23.02, 11.79}, {18.34, 39.88}, {14.77, 43}, {13.5, 43}, {10.98, 39}}},
     {},
     0,
     {11, 6, 22, 42},
     2,
     {{{12, 15, 22}, {37, 11, 18}}}},
    // G: middle bar, six-sided, pointed towards the bars on either side.
    {"G",
     6,
     {{{16, 43.5}, {20, 40}, {50, 40}, {53, 43.5}, {49, 47}, {19, 47}}},
     {},
     0,
     {16, 40, 52, 46},
     1,
     {{{43, 16, 52}}}},
    // DP: a round dot of diameter 9 centred on pixel (61, 78).
    {"DP", 0, {}, {61.5, 78.5}, 4.5, {57, 74, 65, 82}, 1, {{{78, 57, 65}}}},
}};

/// An sRGB colour.
struct Rgb {
    std::uint8_t r, g, b;
};

/// Ground of the backdrops: the unit's dark face.
inline constexpr Rgb kGround{19, 20, 22};

/// Lit segments of the backdrop of each colour index (red, green, yellow, light blue).
inline constexpr std::array<Rgb, 4> kLitColours{
    {{220, 52, 47}, {83, 179, 72}, {248, 210, 0}, {159, 205, 234}}};

/// Segments of the property page's preview digit of each colour index.
inline constexpr std::array<Rgb, 4> kPreviewColours{
    {{255, 0, 0}, {0, 255, 33}, {255, 216, 0}, {158, 214, 255}}};

/// Digit cell d of a backdrop starts d quarters of the backdrop's width from its left edge and
/// holds the reference cell stretched to a quarter of the width and the full height.
inline constexpr double kBackdropCellWidth = kBackdropWidth / 4.0;

/// The span each backdrop digit's ink stays inside, pixels inclusive. The digits are the
/// reference cell stretched to exact quarters, so that an overlay stretched over a quarter lands
/// on its segment; their ink starts a pixel or two inside the left end of these spans.
inline constexpr std::array<PixelBox, 4> kBackdropInk{
    {{4, 6, 87, 109}, {97, 6, 180, 109}, {190, 6, 274, 109}, {284, 6, 367, 109}}};

} // namespace seg4::geometry
