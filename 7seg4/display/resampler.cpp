// The resampler. Two passes (across every source row, then down), each frame pixel a weighted
// sum of the source pixels under it in single precision, taps in source order, rounded half
// away from zero at the end. Transparent source pixels are exact zeros in premultiplied colour
// and add nothing to a sum, so the passes only visit the span of each row that holds colour:
// most of an overlay is transparent.
#include "display/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace seg4 {

namespace {

using Tap = AxisMap::Tap;

int lowestSource(const AxisMap& m, int i) {
    return m.taps[static_cast<std::size_t>(m.first[static_cast<std::size_t>(i)])].source;
}
int highestSource(const AxisMap& m, int i) {
    return m.taps[static_cast<std::size_t>(m.first[static_cast<std::size_t>(i) + 1] - 1)].source;
}
bool hasTaps(const AxisMap& m, int i) {
    return m.first[static_cast<std::size_t>(i)] < m.first[static_cast<std::size_t>(i) + 1];
}

} // namespace

/// Maps `sourceSize` pixels onto the span [pos, pos + length) of an axis `limit` pixels long.
/// Each frame pixel averages the source area under it; when enlarging, that area is widened
/// to one source pixel, which interpolates linearly between source pixel centres. A frame
/// pixel that the span covers only partly gets weights summing to the part covered.
AxisMap mapAxis(double pos, double length, int sourceSize, int limit) {
    AxisMap m;
    if (!(length > 0) || sourceSize <= 0 || limit <= 0) return m;
    const double spanEnd = pos + length;
    const double lo = std::clamp(pos, 0.0, static_cast<double>(limit));
    const double hi = std::clamp(spanEnd, 0.0, static_cast<double>(limit));
    m.begin = static_cast<int>(std::floor(lo));
    m.end = std::max(m.begin, static_cast<int>(std::ceil(hi)));
    const double scale = sourceSize / length;
    m.first.reserve(static_cast<std::size_t>(m.end - m.begin) + 1);
    // A frame pixel takes at most the whole source, and about `scale` + 2 source pixels.
    const auto tapsEach = static_cast<std::size_t>(std::min(scale + 2, static_cast<double>(sourceSize)));
    m.taps.reserve(static_cast<std::size_t>(m.end - m.begin) * tapsEach);
    for (int i = m.begin; i < m.end; ++i) {
        const double a = std::max<double>(i, pos);
        const double b = std::min<double>(i + 1, spanEnd);
        const double coverage = b - a;
        if (coverage > 1e-9) {
            double sa = (a - pos) * scale;
            double sb = (b - pos) * scale;
            if (sb - sa < 1.0) {
                const double centre = (sa + sb) / 2;
                sa = centre - 0.5;
                sb = centre + 0.5;
                if (sa < 0) sa = 0, sb = 1;
                if (sb > sourceSize) sb = sourceSize, sa = sourceSize - 1;
            }
            const int k0 = std::max(0, static_cast<int>(std::floor(sa)));
            const int k1 = std::min(sourceSize, static_cast<int>(std::ceil(sb)));
            for (int k = k0; k < k1; ++k) {
                const double overlap = std::min<double>(k + 1, sb) - std::max<double>(k, sa);
                if (overlap > 0) m.taps.push_back({k, static_cast<float>(overlap / (sb - sa) * coverage)});
            }
        }
        m.first.push_back(static_cast<int>(m.taps.size()));
    }
    return m;
}

bool AxisMap::sameShape(const AxisMap& other) const {
    if (end - begin != other.end - other.begin || first != other.first || taps.size() != other.taps.size())
        return false;
    for (std::size_t t = 0; t < taps.size(); ++t)
        if (taps[t].source != other.taps[t].source ||
            // Bit-for-bit, so that sharing pixels never changes one of them.
            // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
            std::memcmp(&taps[t].weight, &other.taps[t].weight, sizeof(float)) != 0)
            return false;
    return true;
}

namespace {

/// Sums of premultiplied channels (red, green, blue, alpha), one single-precision lane each:
/// the lanes are added and multiplied exactly as four separate floats would be.
using Channels = float __attribute__((vector_size(16)));
using Bytes = std::uint32_t __attribute__((vector_size(16)));
using Lanes = std::int32_t __attribute__((vector_size(16)));

inline Channels channelsOf(std::uint32_t p) {
    const Bytes bytes{p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF, p >> 24};
    // Through signed lanes: a byte converts exactly either way, and signed converts in one step.
    return __builtin_convertvector(__builtin_convertvector(bytes, Lanes), Channels);
}

/// Pixels [from, to] of a row as channels, four at a time where it can: the four pixels'
/// reds, greens, blues and alphas converted together (exactly, as channelsOf does), then
/// turned into one vector per pixel.
void channelsOfRow(const std::uint32_t* src, int from, int to, Channels* out) {
    int x = from;
    for (; x + 3 <= to; x += 4) {
        Bytes four;
        std::memcpy(&four, src + x, sizeof four);
        const Channels r = __builtin_convertvector(__builtin_convertvector(four & 0xFF, Lanes), Channels);
        const Channels g =
            __builtin_convertvector(__builtin_convertvector((four >> 8) & 0xFF, Lanes), Channels);
        const Channels b =
            __builtin_convertvector(__builtin_convertvector((four >> 16) & 0xFF, Lanes), Channels);
        const Channels a = __builtin_convertvector(__builtin_convertvector(four >> 24, Lanes), Channels);
        const Channels rgLow = __builtin_shufflevector(r, g, 0, 4, 1, 5);
        const Channels baLow = __builtin_shufflevector(b, a, 0, 4, 1, 5);
        const Channels rgHigh = __builtin_shufflevector(r, g, 2, 6, 3, 7);
        const Channels baHigh = __builtin_shufflevector(b, a, 2, 6, 3, 7);
        out[x] = __builtin_shufflevector(rgLow, baLow, 0, 1, 4, 5);
        out[x + 1] = __builtin_shufflevector(rgLow, baLow, 2, 3, 6, 7);
        out[x + 2] = __builtin_shufflevector(rgHigh, baHigh, 0, 1, 4, 5);
        out[x + 3] = __builtin_shufflevector(rgHigh, baHigh, 2, 3, 6, 7);
    }
    for (; x <= to; ++x) out[x] = channelsOf(src[x]);
}

/// The frame pixels [from, to) whose taps reach source pixels [lo, hi]: a range, since taps
/// move forward with the frame pixel.
void reach(const AxisMap& m, int count, int lo, int hi, int& from, int& to) {
    from = 0;
    while (from < count && (!hasTaps(m, from) || highestSource(m, from) < lo)) ++from;
    to = count;
    while (to > from && (!hasTaps(m, to - 1) || lowestSource(m, to - 1) > hi)) --to;
}

/// A non-negative single-precision value rounded half away from zero, as lround does; values
/// below zero give zero or less, which the caller clamps to zero as it would lround's.
// A float widened to double gains no bits past the 0.5 added, so this equals lround for v >= 0;
// the resampler test holds it to the lround version pixel for pixel.
inline long roundHalfAway(float v) {
    return static_cast<long>(static_cast<double>(v) + 0.5); // NOLINT(bugprone-incorrect-roundings)
}

} // namespace

ScaledPicture resample(const Frame& picture, double left, double top, double width, double height,
                       int opacity, int frameWidth, int frameHeight) {
    return resample(picture, mapAxis(left, width, picture.width, frameWidth),
                    mapAxis(top, height, picture.height, frameHeight), opacity);
}

ScaledPicture resample(const Frame& picture, const AxisMap& mx, const AxisMap& my, int opacity) {
    ScaledPicture out;
    out.x0 = mx.begin;
    out.y0 = my.begin;
    const int w = mx.end - mx.begin;
    const int h = my.end - my.begin;
    if (w <= 0 || h <= 0) return out;
    out.w = w;
    out.h = h;
    const auto uw = static_cast<std::size_t>(w);

    // Across: each source row's coloured span, then the frame columns it reaches; the columns
    // outside [spanFrom, spanTo) of a row are zero and are neither written nor read.
    const auto rowsHigh = static_cast<std::size_t>(picture.height);
    std::unique_ptr<Channels[]> rows(new Channels[rowsHigh * uw]);
    std::vector<int> spanFrom(rowsHigh, 0), spanTo(rowsHigh, 0);
    // A source row equal to the one above it gives the same sums: it uses that row's.
    std::vector<std::size_t> rowOf(rowsHigh);
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * sizeof(std::uint32_t);
    // The source row's pixels as channels, each converted once however many taps read it.
    std::unique_ptr<Channels[]> line(new Channels[static_cast<std::size_t>(picture.width)]);
    for (std::size_t sy = 0; sy < rowsHigh; ++sy) {
        const std::uint32_t* src = picture.pixels.data() + sy * static_cast<std::size_t>(picture.width);
        rowOf[sy] = sy;
        if (sy > 0 && std::memcmp(src, src - picture.width, rowBytes) == 0) {
            rowOf[sy] = rowOf[sy - 1];
            spanFrom[sy] = spanFrom[sy - 1];
            spanTo[sy] = spanTo[sy - 1];
            continue;
        }
        int lo = 0, hi = picture.width - 1;
        while (lo <= hi && src[lo] == 0) ++lo;
        while (hi >= lo && src[hi] == 0) --hi;
        if (lo > hi) continue;
        int from = 0, to = 0;
        reach(mx, w, lo, hi, from, to);
        spanFrom[sy] = from;
        spanTo[sy] = to;
        if (from >= to) continue;
        // Every source pixel the taps of [from, to) read, the transparent ones about the span too.
        channelsOfRow(src, lowestSource(mx, from), highestSource(mx, to - 1), line.get());
        Channels* dst = rows.get() + sy * uw;
        for (int i = from; i < to; ++i) {
            Channels acc{0, 0, 0, 0};
            const Tap* tap = mx.taps.data() + mx.first[static_cast<std::size_t>(i)];
            const Tap* end = mx.taps.data() + mx.first[static_cast<std::size_t>(i) + 1];
            for (; tap != end; ++tap) acc += tap->weight * line[static_cast<std::size_t>(tap->source)];
            dst[i] = acc;
        }
    }

    // Down: taps in source order, each adding its row's span; a column a tap's row leaves out
    // gains exactly nothing from it.
    const float fade = static_cast<float>(std::clamp(opacity, 0, 100)) / 100.0f;
    out.pixels.assign(uw * static_cast<std::size_t>(h), 0u);
    out.rowFrom.assign(static_cast<std::size_t>(h), 0);
    out.rowTo.assign(static_cast<std::size_t>(h), 0);
    std::unique_ptr<Channels[]> acc(new Channels[uw]);
    for (int j = 0; j < h; ++j) {
        const Tap* first = my.taps.data() + my.first[static_cast<std::size_t>(j)];
        const Tap* end = my.taps.data() + my.first[static_cast<std::size_t>(j) + 1];
        int from = w, to = 0;
        for (const Tap* tap = first; tap != end; ++tap) {
            const auto sy = static_cast<std::size_t>(tap->source);
            if (spanFrom[sy] >= spanTo[sy]) continue;
            from = std::min(from, spanFrom[sy]);
            to = std::max(to, spanTo[sy]);
        }
        if (from >= to) continue;
        out.rowFrom[static_cast<std::size_t>(j)] = from;
        out.rowTo[static_cast<std::size_t>(j)] = to;
        for (int i = from; i < to; ++i) acc[static_cast<std::size_t>(i)] = Channels{0, 0, 0, 0};
        for (const Tap* tap = first; tap != end; ++tap) {
            const auto sy = static_cast<std::size_t>(tap->source);
            const Channels* row = rows.get() + rowOf[sy] * uw;
            const float weight = tap->weight;
            for (int i = spanFrom[sy]; i < spanTo[sy]; ++i)
                acc[static_cast<std::size_t>(i)] += weight * row[i];
        }
        std::uint32_t* dst = out.pixels.data() + static_cast<std::size_t>(j) * uw;
        for (int i = from; i < to; ++i) {
            const Channels& c = acc[static_cast<std::size_t>(i)];
            const Channels faded = c * fade;
            const long a = std::clamp(roundHalfAway(faded[3]), 0L, 255L);
            const auto channel = [&](float v) {
                return static_cast<std::uint32_t>(std::clamp(roundHalfAway(v), 0L, a));
            };
            dst[i] = px::pack(channel(faded[0]), channel(faded[1]), channel(faded[2]),
                              static_cast<std::uint32_t>(a));
        }
    }
    return out;
}

} // namespace seg4
