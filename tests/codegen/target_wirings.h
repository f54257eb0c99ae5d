// The wirings the generated program is tried on, wherever it runs (a port model on the build
// machine, an emulated Cortex-M), and the component's own simulation of a call to compare with.
#pragma once

#include "codegen_fixture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace seg4::test {

constexpr int kTargetPorts = 8; // porta .. porth

struct TargetWiring {
    std::string name; // also names its program on the target
    Wiring pins;
    int portBits; // width of the port latches: 8 or 32
};

inline Wiring wiring(int anodePort, std::array<int, 4> anodeBits, int segmentPort,
                     std::array<int, 8> segmentBits) {
    Wiring w;
    for (int bit : anodeBits) w.push_back({anodePort, bit});
    for (int bit : segmentBits) w.push_back({segmentPort, bit});
    return w;
}

/// The seed of the random wirings: SEG4_WIRING_SEED when set, so that a failure can be replayed.
inline std::uint32_t wiringSeed() {
    const char* seedText = std::getenv("SEG4_WIRING_SEED");
    return static_cast<std::uint32_t>(seedText ? std::strtoul(seedText, nullptr, 10) : 20260611UL);
}

/// The proposed wiring, bits reversed, anodes and segments sharing a port, anodes high in a
/// 32-bit port, the point not wired, and random valid wirings: all anodes on one port, all
/// segments on one port, distinct bits on each port, masks that fit 16 bits.
inline std::vector<TargetWiring> targetWirings(std::uint32_t seed) {
    Wiring noPoint = proposedWiring();
    noPoint[11] = {-1, -1};
    std::vector<TargetWiring> out{
        {"proposed", proposedWiring(), 8},
        {"reversed", wiring(0, {0, 1, 2, 3}, 1, {7, 6, 5, 4, 3, 2, 1, 0}), 8},
        {"shared", wiring(2, {11, 10, 9, 8}, 2, {0, 1, 2, 3, 4, 5, 6, 7}), 32},
        {"interleaved", wiring(3, {14, 5, 9, 0}, 3, {1, 2, 3, 4, 6, 7, 8, 10}), 32},
        {"highbits", wiring(4, {11, 12, 13, 14}, 5, {3, 4, 5, 6, 7, 8, 9, 10}), 32},
        {"nopoint", noPoint, 8},
    };
    std::mt19937 rng(seed);
    auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int n = 0; n < 6; ++n) {
        const int anodePort = below(8);
        const bool shared = below(3) == 0;
        const int bits = shared || below(2) ? 32 : 8;
        std::vector<int> pool(bits == 8 ? 8 : 15), segmentPool(pool.size());
        for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = segmentPool[i] = static_cast<int>(i);
        std::shuffle(pool.begin(), pool.end(), rng);
        std::shuffle(segmentPool.begin(), segmentPool.end(), rng);
        if (shared) std::copy(pool.begin() + 4, pool.begin() + 12, segmentPool.begin()); // bits of their own
        std::array<int, 4> a{};
        std::array<int, 8> s{};
        std::copy_n(pool.begin(), 4, a.begin());
        std::copy_n(segmentPool.begin(), 8, s.begin());
        out.push_back({"random" + std::to_string(n),
                       wiring(anodePort, a, shared ? anodePort : (anodePort + 1 + below(7)) % 8, s), bits});
    }
    return out;
}

/// The levels the simulation sets for one call: one character per pin, 1 high, 0 low, - not wired.
inline std::string simulatedLevels(Led7Seg4& control, int digit, int value, int point, const Wiring& pins) {
    std::int32_t returned = 0, cycles = 0;
    Variant affected;
    const auto i2 = [](int v) { return Variant::i2(static_cast<std::int16_t>(v)); };
    control.SimMacroCall(0, Variant::array(VarType::Variant, 0, {i2(digit), i2(value), i2(point)}), returned,
                         affected, cycles);
    std::string levels;
    for (std::size_t i = 0; i < pins.size(); ++i)
        levels += pins[i].bit < 0 ? '-' : (*control.state().m_Pins)[i].SimValue ? '1' : '0';
    return levels;
}

/// "porta" .. "porth", each between `prefix` and `suffix`.
inline std::string portLetters(const std::string& prefix, const std::string& suffix) {
    std::string out;
    for (char p = 'a'; p < 'a' + kTargetPorts; ++p) out += prefix + p + suffix;
    return out;
}

} // namespace seg4::test
