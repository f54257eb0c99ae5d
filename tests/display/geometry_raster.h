// Test-side rasteriser of the segment geometry: coverage by supersampling, independent of the
// generator's drawing library, and distances between shapes.
#pragma once

#include "display/frame.h"
#include "display/segment_geometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace seg4::test {

inline bool insideSegment(const geometry::Segment& s, double x, double y) {
    if (s.pointCount == 0) return std::hypot(x - s.centre.x, y - s.centre.y) <= s.radius;
    bool inside = false;
    for (int i = 0, j = s.pointCount - 1; i < s.pointCount; j = i++) {
        const geometry::Point a = s.outline[static_cast<std::size_t>(i)];
        const geometry::Point b = s.outline[static_cast<std::size_t>(j)];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

/// Share of pixel (x, y) of the reference cell that segment s covers (8 x 8 samples).
inline double segmentCoverage(const geometry::Segment& s, double x0, double y0, double sx = 1.0,
                              double sy = 1.0) {
    // The pixel [x0, x0 + sx) x [y0, y0 + sy) in reference-cell units.
    constexpr int n = 8;
    if (x0 + sx < s.box.x0 - 1 || x0 > s.box.x1 + 2 || y0 + sy < s.box.y0 - 1 || y0 > s.box.y1 + 2) return 0;
    int hits = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            hits += insideSegment(s, x0 + (i + 0.5) * sx / n, y0 + (j + 0.5) * sy / n);
    return hits / double(n * n);
}

/// Coverage map of one segment over the 70 x 87 cell.
inline std::vector<double> coverageMap(const geometry::Segment& s) {
    std::vector<double> map(geometry::kCellWidth * geometry::kCellHeight);
    for (int y = 0; y < geometry::kCellHeight; ++y)
        for (int x = 0; x < geometry::kCellWidth; ++x)
            map[static_cast<std::size_t>(y * geometry::kCellWidth + x)] = segmentCoverage(s, x, y);
    return map;
}

inline double pointToSegmentDistance(geometry::Point p, geometry::Point a, geometry::Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

/// Distance from a point outside a shape to the shape (0 inside).
inline double distanceToSegment(const geometry::Segment& s, geometry::Point p) {
    if (s.pointCount == 0) return std::max(0.0, std::hypot(p.x - s.centre.x, p.y - s.centre.y) - s.radius);
    if (insideSegment(s, p.x, p.y)) return 0;
    double best = 1e9;
    for (int i = 0, j = s.pointCount - 1; i < s.pointCount; j = i++)
        best = std::min(best, pointToSegmentDistance(p, s.outline[static_cast<std::size_t>(j)],
                                                     s.outline[static_cast<std::size_t>(i)]));
    return best;
}

/// Points along a shape's outline, about every tenth of a pixel.
inline std::vector<geometry::Point> outlinePoints(const geometry::Segment& s) {
    std::vector<geometry::Point> pts;
    if (s.pointCount == 0) {
        for (int k = 0; k < 360; ++k)
            pts.push_back({s.centre.x + s.radius * std::cos(k * 3.14159265358979 / 180),
                           s.centre.y + s.radius * std::sin(k * 3.14159265358979 / 180)});
        return pts;
    }
    for (int i = 0, j = s.pointCount - 1; i < s.pointCount; j = i++) {
        const geometry::Point a = s.outline[static_cast<std::size_t>(j)];
        const geometry::Point b = s.outline[static_cast<std::size_t>(i)];
        const int steps = std::max(1, static_cast<int>(std::hypot(b.x - a.x, b.y - a.y) * 10));
        for (int k = 0; k < steps; ++k)
            pts.push_back({a.x + (b.x - a.x) * k / steps, a.y + (b.y - a.y) * k / steps});
    }
    return pts;
}

/// Straight (not premultiplied) channel of a frame pixel, 0..255.
inline double straight(std::uint8_t channel, std::uint8_t alpha) {
    return alpha == 0 ? 0.0 : channel * 255.0 / alpha;
}

} // namespace seg4::test
