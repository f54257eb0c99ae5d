// The compositor: scaling a picture to a box once per layout, then stacking the visible layers.
#include "display/compositor.h"

#include "automation/errors.h"
#include "display/pictures.h"
#include "display/resampler.h"

#include <algorithm>
#include <array>
#include <cmath>
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
    std::vector<std::uint32_t> base;                                   // the visible backdrops stacked
    std::vector<std::uint32_t> dark;                                   // and every overlay over them
    std::array<std::vector<Run>, kOverlays> runs;                      // pixels only this overlay touches
    // The box around each digit's own pixels, when no two of them overlap: a draw then starts
    // each digit from whichever frame is nearer to its own overlays.
    struct Box {
        std::uint32_t left = 0, right = 0, top = 0, bottom = 0; // [left, right) x [top, bottom)
    };
    std::array<Box, kDigitCount> digitBoxes{};
    bool byDigit = false;
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
    const auto forEachPixel = [width](const ScaledPicture& slot, auto&& f) {
        for (int j = 0; j < slot.h; ++j)
            for (int i = slot.rowFrom[static_cast<std::size_t>(j)];
                 i < slot.rowTo[static_cast<std::size_t>(j)]; ++i) {
                const std::uint32_t p = slot.pixels[static_cast<std::size_t>(j) * slot.w + i];
                if (p >> 24) {
                    const auto x = static_cast<std::uint32_t>(slot.x0 + i);
                    const auto y = static_cast<std::uint32_t>(slot.y0 + j);
                    f(y * static_cast<std::uint32_t>(width) + x, p, x, y);
                }
            }
    };

    base.assign(n, 0u);
    const unsigned backdrops = key.visibleBackdrops;
    if (backdrops != 0 && (backdrops & (backdrops - 1)) == 0) {
        // One backdrop over nothing: its pixels as they are (a pixel over a transparent one is
        // itself).
        const ScaledPicture& slot = *slots[static_cast<std::size_t>(__builtin_ctz(backdrops))];
        for (int j = 0; j < slot.h; ++j)
            std::memcpy(base.data() + static_cast<std::size_t>(slot.y0 + j) * width + slot.x0,
                        slot.pixels.data() + static_cast<std::size_t>(j) * slot.w,
                        slot.w * sizeof(std::uint32_t));
    } else {
        for (std::size_t b = 0; b < kColourCount; ++b)
            if (backdrops & (1u << b))
                forEachPixel(*slots[b], [&](std::uint32_t index, std::uint32_t p, std::uint32_t,
                                            std::uint32_t) { base[index] = over(p, base[index]); });
    }
    dark = base;
    std::vector<std::uint8_t> coverers(n, 0);
    for (std::size_t k = 0; k < kOverlays; ++k)
        forEachPixel(*slots[kColourCount + k],
                     [&](std::uint32_t index, std::uint32_t p, std::uint32_t, std::uint32_t) {
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
        forEachPixel(*slots[kColourCount + k],
                     [&](std::uint32_t index, std::uint32_t p, std::uint32_t x, std::uint32_t y) {
                         if (coverers[index] > 1) {
                             pile.push_back({index, {static_cast<std::uint32_t>(k), p}});
                             return;
                         }
                         if (!own.empty() && own.back().index + own.back().length == index)
                             ++own.back().length;
                         else
                             own.push_back({index, 1});
                         box = {std::min(box.left, x), std::max(box.right, x + 1), std::min(box.top, y),
                                std::max(box.bottom, y + 1)};
                     });
    }
    byDigit = true;
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        Box& box = digitBoxes[d];
        if (box.left >= box.right) box = {}; // no own pixel: nothing to start
        for (std::size_t e = 0; e < d; ++e) {
            const Box& other = digitBoxes[e];
            if (box.left < other.right && other.left < box.right && box.top < other.bottom &&
                other.top < box.bottom)
                byDigit = false;
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

void Compositor::draw(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                      float twipsPerPixelY, Frame& frame) {
    checkFrameSize(width, height);
    if (!(twipsPerPixelX > 0) || !(twipsPerPixelY > 0)) raise(hr::InvalidArgument);
    resizeFrame(frame, width, height);

    SetKey key;
    for (std::size_t i = 0; i < kLayers; ++i) {
        const bool isBackdrop = i < kColourCount;
        const Layer& layer = isBackdrop ? layers.backdrops[i] : layers.overlays[i - kColourCount];
        if (isBackdrop && !layer.visible) continue; // not drawn: its key stays empty
        if (isBackdrop) key.visibleBackdrops |= 1u << i;
        key.layers[i] = {layer.left,     layer.top,   layer.width,  layer.height, twipsPerPixelX,
                         twipsPerPixelY, frame.width, frame.height, layer.opacity};
    }
    if (!prepared_ || !(key == key_)) {
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
            for (std::size_t i = 0; i < kLayers; ++i) {
                const bool isBackdrop = i < kColourCount;
                if (isBackdrop && !(key.visibleBackdrops & (1u << i))) continue;
                if (prepared_ && prepared_->slots[i] && prepared_->key.layers[i] == key.layers[i]) {
                    built->slots[i] = prepared_->slots[i];
                    continue;
                }
                const Key& k = key.layers[i];
                const Frame& source =
                    isBackdrop
                        ? picture(PictureKind::Backdrop, static_cast<int>(i))
                        : picture(PictureKind::Overlay, static_cast<int>((i - kColourCount) % kSegmentCount));
                Mapped m{i,
                         mapAxis(double{k.left} / k.twipsPerPixelX, double{k.width} / k.twipsPerPixelX,
                                 source.width, k.frameWidth),
                         {}};
                // The overlays share their row: one vertical map serves them all.
                const auto sameRows = [&](const Mapped& done) {
                    const Key& d = key.layers[done.slot];
                    return (done.slot < kColourCount) == isBackdrop && d.top == k.top &&
                           d.height == k.height && d.twipsPerPixelY == k.twipsPerPixelY &&
                           d.frameHeight == k.frameHeight;
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
                        auto moved = std::make_shared<ScaledPicture>(*built->slots[done.slot]);
                        moved->x0 = m.across.begin;
                        moved->y0 = m.down.begin;
                        built->slots[i] = std::move(moved);
                        break;
                    }
                if (built->slots[i]) continue;
                built->slots[i] =
                    std::make_shared<const ScaledPicture>(resample(source, m.across, m.down, k.opacity));
                ++scaled_;
                mapped.push_back(std::move(m));
            }
            built->build(frame.width, frame.height);
            std::lock_guard lock(cache.mutex);
            found = cache.find(key, hash); // another thread may have been quicker
            if (!found) {
                cache.sets.emplace_back(built, ++cache.clock);
                found = std::move(built);
            }
        }
        prepared_ = std::move(found);
        key_ = key;
        std::lock_guard lock(cache.mutex);
        cache.trim(SharedSets::kSpare);
    }
    const Prepared& p = *prepared_;
    if (p.base.empty()) return;

    // One more entry than overlays: the unused overlay places of a shared group name it.
    std::array<std::uint32_t, kOverlays + 1> shown{};
    std::size_t shownCount = 0;
    for (std::size_t k = 0; k < kOverlays; ++k) shownCount += shown[k] = layers.overlays[k].visible;

    // Start from the frame nearer to what shows, then copy the overlays that differ from it. When
    // the digits' own pixels lie in boxes apart, each digit starts from the frame nearer to its
    // own overlays.
    const bool fromDark = 2 * shownCount > kOverlays;
    std::uint32_t* out = frame.pixels.data();
    std::memcpy(out, fromDark ? p.dark.data() : p.base.data(), p.base.size() * sizeof(std::uint32_t));
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        const std::size_t first = d * kSegmentCount;
        bool digitDark = fromDark;
        if (p.byDigit) {
            std::uint32_t digitShown = 0;
            for (std::size_t k = first; k < first + kSegmentCount; ++k) digitShown += shown[k];
            digitDark = 2 * digitShown > kSegmentCount;
            if (digitDark != fromDark) {
                const Prepared::Box box = p.digitBoxes[d];
                const std::uint32_t* from = digitDark ? p.dark.data() : p.base.data();
                for (std::uint32_t y = box.top; y < box.bottom; ++y) {
                    const std::size_t row = std::size_t{y} * p.frameWidth;
                    for (std::uint32_t x = box.left; x < box.right; ++x) out[row + x] = from[row + x];
                }
            }
        }
        const std::uint32_t* other = digitDark ? p.base.data() : p.dark.data();
        for (std::size_t k = first; k < first + kSegmentCount; ++k) {
            if ((shown[k] != 0) == digitDark) continue;
            for (const Run& r : p.runs[k]) {
                // Mostly a few pixels each: a plain loop beats a call. The length is read once
                // (the stores could change it, for all the compiler knows).
                const std::uint32_t* from = other + r.index;
                std::uint32_t* to = out + r.index;
                const std::uint32_t length = r.length;
                for (std::uint32_t i = 0; i < length; ++i) to[i] = from[i];
            }
        }
    }
    for (const SharedGroup& g : p.sharedGroups) {
        const std::uint32_t bits = shown[g.overlays[0]] | shown[g.overlays[1]] << 1 |
                                   shown[g.overlays[2]] << 2 | shown[g.overlays[3]] << 3;
        const std::uint32_t* values = p.sharedValues.data() + bits;
        for (const Shared *s = p.shared.data() + g.begin, *end = p.shared.data() + g.end; s != end; ++s)
            out[s->index] = values[s->values];
    }
    for (const Many& m : p.many) {
        std::uint32_t px = p.base[m.index];
        for (std::uint32_t l = m.begin; l < m.end; ++l)
            if (shown[p.manyLayers[l].overlay]) px = over(p.manyLayers[l].pixel, px);
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
