// The compositor: scaling a picture to a box once per layout, then stacking the visible layers.
#include "display/compositor.h"

#include "automation/errors.h"
#include "display/pictures.h"
#include "display/resampler.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <unordered_set>

// stb_image_write is compiled here and nowhere else; PNGs are written to memory only.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace seg4 {

namespace {

// [SECTION] Stacking

/// Premultiplied source over destination, two channels at a time with exact rounding of x / 255.
inline std::uint32_t over(std::uint32_t s, std::uint32_t d) {
    const std::uint32_t inverse = 255 - (s >> 24);
    std::uint32_t rb = (d & 0x00FF00FFu) * inverse + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t ag = ((d >> 8) & 0x00FF00FFu) * inverse + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return s + rb + ag;
}

void checkFrameSize(int width, int height) {
    // Frame indices are kept in 32 bits.
    if (width > kMaxFrameSide || height > kMaxFrameSide) raise(hr::InvalidArgument);
}

void resizeFrame(Frame& frame, int width, int height) {
    frame.width = std::max(width, 0);
    frame.height = std::max(height, 0);
    frame.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
}

} // namespace

void drawPicture(Frame& frame, const Frame& picture, double left, double top, double width, double height,
                 int opacity) {
    const ScaledPicture scaled =
        resample(picture, left, top, width, height, opacity, frame.width, frame.height);
    for (int j = 0; j < scaled.h; ++j) {
        std::uint32_t* dst =
            frame.pixels.data() + static_cast<std::size_t>(scaled.y0 + j) * frame.width + scaled.x0;
        const std::uint32_t* src = scaled.pixels.data() + static_cast<std::size_t>(j) * scaled.w;
        for (int i = 0; i < scaled.w; ++i)
            if (src[i] >> 24) dst[i] = over(src[i], dst[i]);
    }
}

bool Compositor::Key::operator==(const Key& other) const {
    static_assert(sizeof(Key) == 9 * sizeof(std::uint32_t), "no padding in the key");
    return std::memcmp(this, &other, sizeof(Key)) == 0; // NOLINT(bugprone-suspicious-memory-comparison)
}

bool Compositor::SetKey::operator==(const SetKey& other) const {
    static_assert(sizeof(SetKey) == sizeof(layers) + sizeof(unsigned), "no padding in the key");
    // Bit-for-bit: two boxes that print alike but differ in a float's last bit draw differently.
    return std::memcmp(this, &other, sizeof(SetKey)) == 0; // NOLINT(bugprone-suspicious-memory-comparison)
}

// [SECTION] What a set of layer boxes needs for drawing

namespace {

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

} // namespace

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
    std::vector<std::uint32_t> base;              // the visible backdrops stacked
    std::vector<std::uint32_t> dark;              // and every overlay over them
    std::array<std::vector<Run>, kOverlays> runs; // pixels only this overlay touches
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
    std::vector<Shared> shared;
    std::vector<SharedGroup> sharedGroups;
    std::vector<std::uint32_t> sharedValues;
    std::vector<Many> many;
    std::vector<ManyLayer> manyLayers;

    void build(int width, int height);
    std::size_t bytesWithoutSlots() const;
};

void Compositor::Prepared::build(int width, int height) {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const auto forEachPixel = [this, width](std::size_t layer, auto&& f) {
        const ScaledPicture& slot = *slots[layer];
        const Place at = places[layer];
        for (int j = 0; j < slot.h; ++j)
            for (int i = slot.rowFrom[static_cast<std::size_t>(j)];
                 i < slot.rowTo[static_cast<std::size_t>(j)]; ++i) {
                const std::uint32_t p = slot.pixels[static_cast<std::size_t>(j) * slot.w + i];
                if (p >> 24) {
                    const auto x = static_cast<std::uint32_t>(at.x0 + i);
                    const auto y = static_cast<std::uint32_t>(at.y0 + j);
                    f(y * static_cast<std::uint32_t>(width) + x, p);
                }
            }
    };

    base.assign(n, 0u);
    const unsigned backdrops = key.visibleBackdrops;
    if (backdrops != 0 && (backdrops & (backdrops - 1)) == 0) {
        // One backdrop over nothing: its pixels as they are (a pixel over a transparent one is
        // itself).
        const auto layer = static_cast<std::size_t>(__builtin_ctz(backdrops));
        const ScaledPicture& slot = *slots[layer];
        for (int j = 0; j < slot.h; ++j)
            std::memcpy(
                base.data() + static_cast<std::size_t>(places[layer].y0 + j) * width + places[layer].x0,
                slot.pixels.data() + static_cast<std::size_t>(j) * slot.w, slot.w * sizeof(std::uint32_t));
    } else {
        for (std::size_t b = 0; b < kColourCount; ++b)
            if (backdrops & (1u << b))
                forEachPixel(
                    b, [&](std::uint32_t index, std::uint32_t p) { base[index] = over(p, base[index]); });
    }
    dark = base;
    std::vector<std::uint8_t> coverers(n, 0);
    for (std::size_t k = 0; k < kOverlays; ++k)
        forEachPixel(kColourCount + k, [&](std::uint32_t index, std::uint32_t p) {
            dark[index] = over(p, dark[index]);
            if (coverers[index] < 255) ++coverers[index];
        });

    // Runs of the pixels each overlay touches alone; the others, with their overlays in order.
    std::vector<std::pair<std::uint32_t, ManyLayer>> pile;
    // The box around each digit's own pixels, for starting each digit from its nearer frame.
    frameWidth = static_cast<std::uint32_t>(width);
    const Box none{static_cast<std::uint32_t>(width), 0, static_cast<std::uint32_t>(height), 0};
    digitBoxes.fill(none);
    for (std::size_t k = 0; k < kOverlays; ++k) {
        std::vector<Run>& own = runs[k];
        Box& box = digitBoxes[k / kSegmentCount];
        forEachPixel(kColourCount + k, [&](std::uint32_t index, std::uint32_t p) {
            if (coverers[index] > 1) {
                pile.push_back({index, {static_cast<std::uint32_t>(k), p}});
                return;
            }
            if (!own.empty() && own.back().index + own.back().length == index)
                ++own.back().length;
            else
                own.push_back({index, 1});
        });
        for (const Run& r : own) {
            const std::uint32_t last = r.index + r.length - 1;
            std::uint32_t left = r.index % frameWidth, right = last % frameWidth + 1;
            const std::uint32_t top = r.index / frameWidth, bottom = last / frameWidth + 1;
            if (bottom - top > 1) left = 0, right = frameWidth; // a run on from one row to the next
            box = {std::min(box.left, left), std::max(box.right, right), std::min(box.top, top),
                   std::max(box.bottom, bottom)};
        }
    }
    std::stable_sort(pile.begin(), pile.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Shared pixels by their overlays, the four places packed in one number for quick sorting.
    std::vector<std::pair<std::uint32_t, Shared>> byOverlays;
    for (std::size_t i = 0; i < pile.size();) {
        const std::uint32_t index = pile[i].first;
        std::size_t end = i;
        while (end < pile.size() && pile[end].first == index) ++end;
        const auto count = static_cast<std::uint32_t>(end - i);
        if (count <= 4) {
            std::array<std::uint8_t, 4> overlays;
            overlays.fill(static_cast<std::uint8_t>(kOverlays));
            for (std::uint32_t j = 0; j < count; ++j)
                overlays[j] = static_cast<std::uint8_t>(pile[i + j].second.overlay);
            std::uint32_t packed;
            std::memcpy(&packed, overlays.data(), sizeof packed);
            byOverlays.push_back({packed, {index, static_cast<std::uint32_t>(sharedValues.size())}});
            for (std::uint32_t shownBits = 0; shownBits < (1u << count); ++shownBits) {
                std::uint32_t p = base[index];
                for (std::uint32_t j = 0; j < count; ++j)
                    if (shownBits & (1u << j)) p = over(pile[i + j].second.pixel, p);
                sharedValues.push_back(p);
            }
        } else {
            const auto begin = static_cast<std::uint32_t>(manyLayers.size());
            for (std::size_t j = i; j < end; ++j) manyLayers.push_back(pile[j].second);
            many.push_back({index, begin, static_cast<std::uint32_t>(manyLayers.size())});
        }
        i = end;
    }
    // Any order within a group will do: its pixels are distinct.
    std::sort(byOverlays.begin(), byOverlays.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < byOverlays.size(); ++i) {
        if (i == 0 || byOverlays[i].first != byOverlays[i - 1].first) {
            SharedGroup group{{}, static_cast<std::uint32_t>(i), 0};
            std::memcpy(group.overlays.data(), &byOverlays[i].first, sizeof byOverlays[i].first);
            sharedGroups.push_back(group);
        }
        shared.push_back(byOverlays[i].second);
        sharedGroups.back().end = static_cast<std::uint32_t>(i + 1);
    }

    // The groups by digit, those of several digits last; a digit's box takes in its groups'
    // pixels, so that a digit that starts from a frame of its own finds them there.
    const auto digitOf = [](const SharedGroup& g) {
        const std::uint32_t d = g.overlays[0] / kSegmentCount;
        for (const std::uint8_t o : g.overlays)
            if (o != kOverlays && o / kSegmentCount != d) return std::uint32_t{kDigitCount};
        return d;
    };
    std::stable_sort(sharedGroups.begin(), sharedGroups.end(),
                     [&](const SharedGroup& a, const SharedGroup& b) { return digitOf(a) < digitOf(b); });
    groupsFrom.fill(static_cast<std::uint32_t>(sharedGroups.size()));
    for (std::size_t i = sharedGroups.size(); i-- > 0;) {
        const std::uint32_t d = digitOf(sharedGroups[i]);
        for (std::uint32_t e = 0; e <= d; ++e) groupsFrom[e] = static_cast<std::uint32_t>(i);
        if (d == kDigitCount) continue;
        Box& box = digitBoxes[d];
        for (std::uint32_t k = sharedGroups[i].begin; k < sharedGroups[i].end; ++k) {
            const std::uint32_t x = shared[k].index % frameWidth, y = shared[k].index / frameWidth;
            box = {std::min(box.left, x), std::max(box.right, x + 1), std::min(box.top, y),
                   std::max(box.bottom, y + 1)};
        }
    }

    byDigit = true;
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        Box& box = digitBoxes[d];
        if (box.left >= box.right) box = {}; // no pixel of its own: nothing to start
        for (std::size_t e = 0; e < d; ++e) {
            const Box& other = digitBoxes[e];
            if (box.left < other.right && other.left < box.right && box.top < other.bottom &&
                other.top < box.bottom)
                byDigit = false;
        }
    }
}

std::size_t Compositor::Prepared::bytesWithoutSlots() const {
    std::size_t bytes = sizeof(*this) + (base.capacity() + dark.capacity() + sharedValues.capacity()) * 4 +
                        shared.capacity() * sizeof(Shared) + sharedGroups.capacity() * sizeof(SharedGroup) +
                        many.capacity() * sizeof(Many) + manyLayers.capacity() * sizeof(ManyLayer);
    for (const auto& r : runs) bytes += r.capacity() * sizeof(Run);
    return bytes;
}

namespace {

/// The sets of the process: those some compositor holds, and the few last used besides.
struct SharedSets {
    static constexpr std::size_t kSpare = 8;
    std::mutex mutex;
    std::vector<std::pair<std::shared_ptr<const Compositor::Prepared>, std::uint64_t>> sets; // and last use
    std::uint64_t clock = 0;

    std::shared_ptr<const Compositor::Prepared> find(const Compositor::SetKey& key, std::uint64_t hash) {
        for (auto& [set, lastUse] : sets)
            if (set->hash == hash && set->key == key) {
                lastUse = ++clock;
                return set;
            }
        return nullptr;
    }
    /// Drops the sets no compositor holds beyond the `spare` last used.
    void trim(std::size_t spare) {
        std::vector<std::uint64_t> unused;
        for (const auto& [set, lastUse] : sets)
            if (set.use_count() == 1) unused.push_back(lastUse);
        if (unused.size() <= spare) return;
        std::sort(unused.begin(), unused.end());
        const std::uint64_t keepFrom = spare == 0 ? UINT64_MAX : unused[unused.size() - spare];
        std::erase_if(
            sets, [&](const auto& entry) { return entry.first.use_count() == 1 && entry.second < keepFrom; });
    }
};

SharedSets& sharedSets() {
    static auto* sets = new SharedSets; // never destroyed: compositors may outlive statics
    return *sets;
}

std::uint64_t hashOf(const Compositor::SetKey& key) {
    std::uint32_t words[sizeof(Compositor::SetKey) / 4];
    static_assert(sizeof(Compositor::SetKey) % 4 == 0);
    std::memcpy(words, &key, sizeof key);
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint32_t w : words) h = (h ^ w) * 1099511628211ull;
    return h;
}

} // namespace

std::size_t Compositor::sharedBytes() {
    SharedSets& cache = sharedSets();
    std::lock_guard lock(cache.mutex);
    std::size_t bytes = 0;
    std::unordered_set<const ScaledPicture*> counted;
    for (const auto& [set, lastUse] : cache.sets) {
        bytes += set->bytesWithoutSlots();
        for (const auto& slot : set->slots)
            if (slot && counted.insert(slot.get()).second)
                bytes += sizeof(ScaledPicture) + slot->pixels.capacity() * 4;
    }
    return bytes;
}

void Compositor::releaseUnused() {
    SharedSets& cache = sharedSets();
    std::lock_guard lock(cache.mutex);
    cache.trim(0);
}

Compositor::Compositor() = default;
Compositor::~Compositor() = default;

namespace {

/// How many of eight bits are set (no call into the compiler's library where the processor
/// has no instruction for it).
constexpr int countOfEight(std::uint32_t bits) {
    bits = bits - ((bits >> 1) & 0x55u);
    bits = (bits & 0x33u) + ((bits >> 2) & 0x33u);
    return static_cast<int>((bits + (bits >> 4)) & 0x0Fu);
}
static_assert(countOfEight(0) == 0 && countOfEight(0xFF) == 8 && countOfEight(0xA5) == 4);

using Words = std::uint32_t __attribute__((vector_size(16)));
static_assert(offsetof(Layer, left) == 0 && offsetof(Layer, top) == 4 && offsetof(Layer, width) == 8 &&
              offsetof(Layer, height) == 12 && offsetof(Compositor::Given::Box, height) == 12);

/// A layer's box as four words, to compare bit for bit.
inline Words boxWords(const void* box) {
    Words w;
    std::memcpy(&w, box, sizeof w);
    return w;
}

/// Whether the layers, frame and twips per pixel are those `given` holds, but the overlays'
/// visibility. Every word is compared, none skipped on an early difference: in the usual draw
/// nothing differs.
bool sameAsGiven(const Compositor::Given& given, const LayerSet& layers, int width, int height,
                 float twipsPerPixelX, float twipsPerPixelY) {
    Words boxes{};
    int other = 0;
    unsigned backdrops = 0;
    for (std::size_t i = 0; i < kColourCount; ++i) {
        const Layer& l = layers.backdrops[i];
        boxes |= boxWords(&l) ^ boxWords(&given.boxes[i]);
        other |= l.opacity ^ given.boxes[i].opacity;
        backdrops |= unsigned{l.visible} << i;
    }
    for (std::size_t k = 0; k < kOverlayCount; ++k) {
        const Layer& l = layers.overlays[k];
        boxes |= boxWords(&l) ^ boxWords(&given.boxes[kColourCount + k]);
        other |= l.opacity ^ given.boxes[kColourCount + k].opacity;
    }
    const auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
    return (boxes[0] | boxes[1] | boxes[2] | boxes[3]) == 0 && other == 0 &&
           backdrops == given.visibleBackdrops && width == given.frameWidth && height == given.frameHeight &&
           bits(twipsPerPixelX) == bits(given.twipsPerPixelX) &&
           bits(twipsPerPixelY) == bits(given.twipsPerPixelY);
}

Compositor::Given givenOf(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                          float twipsPerPixelY) {
    Compositor::Given given;
    for (std::size_t i = 0; i < Compositor::kLayers; ++i) {
        const Layer& l = i < kColourCount ? layers.backdrops[i] : layers.overlays[i - kColourCount];
        given.boxes[i] = {l.left, l.top, l.width, l.height, l.opacity};
        if (i < kColourCount && l.visible) given.visibleBackdrops |= 1u << i;
    }
    given.frameWidth = width;
    given.frameHeight = height;
    given.twipsPerPixelX = twipsPerPixelX;
    given.twipsPerPixelY = twipsPerPixelY;
    return given;
}

/// Pixels of a shared group for the overlays shown (bit k of `shown`: overlay k).
inline void drawGroup(std::uint32_t* out, const SharedGroup& g, const Shared* shared,
                      const std::uint32_t* sharedValues, std::uint64_t shown) {
    const auto bits =
        static_cast<std::uint32_t>(((shown >> g.overlays[0]) & 1) | ((shown >> g.overlays[1]) & 1) << 1 |
                                   ((shown >> g.overlays[2]) & 1) << 2 | ((shown >> g.overlays[3]) & 1) << 3);
    const std::uint32_t* values = sharedValues + bits;
    for (const Shared *s = shared + g.begin, *end = shared + g.end; s != end; ++s)
        out[s->index] = values[s->values];
}

} // namespace

void Compositor::prepare(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                         float twipsPerPixelY) {
    SetKey key;
    for (std::size_t i = 0; i < kLayers; ++i) {
        const bool isBackdrop = i < kColourCount;
        const Layer& layer = isBackdrop ? layers.backdrops[i] : layers.overlays[i - kColourCount];
        if (isBackdrop && !layer.visible) continue; // not drawn: its key stays empty
        if (isBackdrop) key.visibleBackdrops |= 1u << i;
        key.layers[i] = {layer.left,     layer.top, layer.width, layer.height, twipsPerPixelX,
                         twipsPerPixelY, width,     height,      layer.opacity};
    }
    if (prepared_ && prepared_->key == key) { // a change that draws nothing differently
        given_ = givenOf(layers, width, height, twipsPerPixelX, twipsPerPixelY);
        return;
    }
    SharedSets& cache = sharedSets();
    const std::uint64_t hash = hashOf(key);
    std::shared_ptr<const Prepared> found;
    {
        std::lock_guard lock(cache.mutex);
        found = cache.find(key, hash);
    }
    if (!found) {
        // Scaled outside the lock, reusing this compositor's layers whose boxes stayed.
        auto built = std::make_shared<Prepared>();
        built->key = key;
        built->hash = hash;
        // The digits show the same overlay pictures; where two boxes map the source the
        // same way (their boxes lie a whole number of pixels apart), the pixels are the same.
        struct Mapped {
            std::size_t slot;
            AxisMap across, down;
        };
        std::vector<Mapped> mapped;
        // The eight overlays of a digit share their columns: one map across serves them all.
        struct Columns {
            float left, width;
            int sourceWidth;
            AxisMap across;
        };
        std::vector<Columns> columns;
        for (std::size_t i = 0; i < kLayers; ++i) {
            const bool isBackdrop = i < kColourCount;
            if (isBackdrop && !(key.visibleBackdrops & (1u << i))) continue;
            if (prepared_ && prepared_->slots[i] && prepared_->key.layers[i] == key.layers[i]) {
                built->slots[i] = prepared_->slots[i];
                built->places[i] = prepared_->places[i];
                continue;
            }
            const Key& k = key.layers[i];
            const Frame& source = isBackdrop ? picture(PictureKind::Backdrop, static_cast<int>(i))
                                             : picture(PictureKind::Overlay,
                                                       static_cast<int>((i - kColourCount) % kSegmentCount));
            // The frame and twips per pixel are the same for every layer of a key.
            const auto sameColumns = [&](const Columns& c) {
                return std::bit_cast<std::uint32_t>(c.left) == std::bit_cast<std::uint32_t>(k.left) &&
                       std::bit_cast<std::uint32_t>(c.width) == std::bit_cast<std::uint32_t>(k.width) &&
                       c.sourceWidth == source.width;
            };
            auto cols = std::find_if(columns.begin(), columns.end(), sameColumns);
            if (cols == columns.end())
                cols = columns.insert(
                    columns.end(), {k.left, k.width, source.width,
                                    mapAxis(double{k.left} / k.twipsPerPixelX,
                                            double{k.width} / k.twipsPerPixelX, source.width, k.frameWidth)});
            Mapped m{i, cols->across, {}};
            // The overlays share their row: one vertical map serves them all.
            const auto sameRows = [&](const Mapped& done) {
                const Key& d = key.layers[done.slot];
                return (done.slot < kColourCount) == isBackdrop && d.top == k.top && d.height == k.height &&
                       d.twipsPerPixelY == k.twipsPerPixelY && d.frameHeight == k.frameHeight;
            };
            const auto rows = std::find_if(mapped.begin(), mapped.end(), sameRows);
            m.down = rows != mapped.end()
                         ? rows->down
                         : mapAxis(double{k.top} / k.twipsPerPixelY, double{k.height} / k.twipsPerPixelY,
                                   source.height, k.frameHeight);
            for (const Mapped& done : mapped)
                if (!isBackdrop && done.slot >= kColourCount &&
                    (done.slot - kColourCount) % kSegmentCount == (i - kColourCount) % kSegmentCount &&
                    key.layers[done.slot].opacity == k.opacity && done.across.sameShape(m.across) &&
                    done.down.sameShape(m.down)) {
                    built->slots[i] = built->slots[done.slot];
                    built->places[i] = {m.across.begin, m.down.begin};
                    break;
                }
            if (built->slots[i]) continue;
            built->slots[i] =
                std::make_shared<const ScaledPicture>(resample(source, m.across, m.down, k.opacity));
            built->places[i] = {built->slots[i]->x0, built->slots[i]->y0};
            ++scaled_;
            mapped.push_back(std::move(m));
        }
        built->build(width, height);
        std::lock_guard lock(cache.mutex);
        found = cache.find(key, hash); // another thread may have been quicker
        if (!found) {
            cache.sets.emplace_back(built, ++cache.clock);
            found = std::move(built);
        }
    }
    prepared_ = std::move(found);
    given_ = givenOf(layers, width, height, twipsPerPixelX, twipsPerPixelY);
    std::lock_guard lock(cache.mutex);
    cache.trim(SharedSets::kSpare);
}

void Compositor::draw(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                      float twipsPerPixelY, Frame& frame) {
    checkFrameSize(width, height);
    if (!(twipsPerPixelX > 0) || !(twipsPerPixelY > 0)) raise(hr::InvalidArgument);
    resizeFrame(frame, width, height);
    if (!prepared_ || !sameAsGiven(given_, layers, frame.width, frame.height, twipsPerPixelX, twipsPerPixelY))
        prepare(layers, frame.width, frame.height, twipsPerPixelX, twipsPerPixelY);
    const Prepared& p = *prepared_;
    if (p.base.empty()) return;

    // Bit k: overlay k shows. Bit kOverlays stays clear: the unused places of a shared group name it.
    // Unrolled, so that each shift is a constant and the ORs need not wait on one another.
    std::uint64_t shown = 0;
#pragma GCC unroll 32
    for (std::size_t k = 0; k < kOverlays; ++k) shown |= std::uint64_t{layers.overlays[k].visible} << k;

    // Start from the frame nearer to what shows, then copy the overlays that differ from it. When
    // the digits' own pixels lie in boxes apart, each digit starts from the frame nearer to its
    // own overlays; one whose overlays all show, or none, is then done.
    const std::uint32_t* const frames[2] = {p.base.data(), p.dark.data()};
    std::array<bool, kDigitCount> digitDark{};
    int darkDigits = 0, shownCount = 0;
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        const int count = countOfEight(static_cast<std::uint32_t>(shown >> (d * kSegmentCount)) & 0xFFu);
        shownCount += count;
        darkDigits += digitDark[d] = 2 * count > kSegmentCount;
    }
    const bool fromDark =
        p.byDigit ? 2 * darkDigits > kDigitCount : 2 * shownCount > static_cast<int>(kOverlays);
    std::uint32_t* out = frame.pixels.data();
    std::memcpy(out, frames[fromDark], p.base.size() * sizeof(std::uint32_t));
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        if (!p.byDigit) {
            digitDark[d] = fromDark;
        } else if (digitDark[d] != fromDark) {
            const Prepared::Box box = p.digitBoxes[d];
            const std::uint32_t* from = frames[digitDark[d]];
            const std::size_t rowBytes = std::size_t{box.right - box.left} * sizeof(std::uint32_t);
            for (std::uint32_t y = box.top; y < box.bottom; ++y) {
                const std::size_t start = std::size_t{y} * p.frameWidth + box.left;
                std::memcpy(out + start, from + start, rowBytes);
            }
        }
        // The overlays that differ from the digit's start frame.
        const auto pattern = static_cast<std::uint32_t>(shown >> (d * kSegmentCount)) & 0xFFu;
        const std::uint32_t differ = digitDark[d] ? ~pattern & 0xFFu : pattern;
        if (differ == 0) continue;
        const std::uint32_t* other = frames[!digitDark[d]];
        for (std::uint32_t bits = differ; bits != 0; bits &= bits - 1) {
            for (const Run& r : p.runs[d * kSegmentCount + static_cast<std::size_t>(__builtin_ctz(bits))]) {
                // Mostly a few pixels each: a plain loop beats a call. The length is read once
                // (the stores could change it, for all the compiler knows).
                const std::uint32_t* from = other + r.index;
                std::uint32_t* to = out + r.index;
                const std::uint32_t length = r.length;
                for (std::uint32_t i = 0; i < length; ++i) to[i] = from[i];
            }
        }
        for (std::uint32_t g = p.groupsFrom[d]; g < p.groupsFrom[d + 1]; ++g)
            drawGroup(out, p.sharedGroups[g], p.shared.data(), p.sharedValues.data(), shown);
    }
    for (std::uint32_t g = p.groupsFrom[kDigitCount]; g < p.groupsFrom[kDigitCount + 1]; ++g)
        drawGroup(out, p.sharedGroups[g], p.shared.data(), p.sharedValues.data(), shown);
    for (const Many& m : p.many) {
        std::uint32_t px = p.base[m.index];
        for (std::uint32_t l = m.begin; l < m.end; ++l)
            if ((shown >> p.manyLayers[l].overlay) & 1) px = over(p.manyLayers[l].pixel, px);
        out[m.index] = px;
    }
}

Frame composite(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY) {
    Compositor compositor;
    Frame frame;
    compositor.draw(layers, width, height, twipsPerPixelX, twipsPerPixelY, frame);
    return frame;
}

int pixelsFromTwips(float twips, float twipsPerPixel) {
    const double pixels = double{twips} / twipsPerPixel;
    if (!(pixels > 0)) return 0;
    return static_cast<int>(std::min(std::nearbyint(pixels), 1073741824.0));
}

std::vector<std::uint8_t> encodePng(const Frame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height))
        raise(hr::InvalidArgument);
    checkFrameSize(frame.width, frame.height);
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
