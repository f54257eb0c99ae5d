// The layer sets of the process: found by their key or built (each layer's picture scaled to
// its box, shared between the digits where their boxes map it alike) and kept while some
// compositor uses them, plus a few spare ones for the next snapshot.
#include "display/pictures.h"
#include "display/prepared_layer_set.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

namespace seg4 {

using namespace compositing;

bool Compositor::Key::operator==(const Key& other) const {
    static_assert(sizeof(Key) == 9 * sizeof(std::uint32_t), "no padding in the key");
    return std::memcmp(this, &other, sizeof(Key)) == 0; // NOLINT(bugprone-suspicious-memory-comparison)
}

bool Compositor::SetKey::operator==(const SetKey& other) const {
    static_assert(sizeof(SetKey) == sizeof(layers) + sizeof(unsigned), "no padding in the key");
    // Bit-for-bit: two boxes that print alike but differ in a float's last bit draw differently.
    return std::memcmp(this, &other, sizeof(SetKey)) == 0; // NOLINT(bugprone-suspicious-memory-comparison)
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

} // namespace seg4
