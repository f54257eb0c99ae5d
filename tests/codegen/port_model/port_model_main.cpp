// Runs SHOW_DIGIT of every generated program for DIGIT 0..4, VALUE 0..255 and DECIMAL_PT 0 and
// 1, and prints per call the twelve pin levels read back through the wiring and the rules the
// writes broke:
//   <model> <digit> <value> <point> <levels> <flags>
// levels: one character per pin, 1 high, 0 low, - not wired. flags: "-" when every write kept
// the rules, otherwise A (two anodes high), S (a segment line changed while an anode was
// high), U (a bit not wired to the display changed), W (a port written more often than its
// steps need).
#include "port_model.h"

#include <cstdio>

#include "models.inc" // generated: the programs in their namespaces and kModels

namespace {

using portmodel::kAnodes;
using portmodel::kPins;
using portmodel::kPorts;
using portmodel::Latch;
using portmodel::Model;

class Checker : public portmodel::WriteObserver {
public:
    explicit Checker(const Model& model) : model_(model) {
        for (int i = 0; i < kPins; ++i) {
            const portmodel::Wire w = model.wires[static_cast<std::size_t>(i)];
            if (w.port < 0 || w.bit < 0) continue;
            const auto p = static_cast<std::size_t>(w.port);
            wired_[p] |= 1UL << w.bit;
            // A port is written twice for its anodes (all off, one on) and once for its segments.
            (i < kAnodes ? anodeSteps_[p] : segmentSteps_[p]) = i < kAnodes ? 2 : 1;
        }
    }

    void beginCall() {
        flags_.clear();
        writes_.fill(0);
    }

    std::string endCall(const std::array<unsigned long, kPorts>& background) {
        for (int p = 0; p < kPorts; ++p) {
            const unsigned long now = model_.latches[static_cast<std::size_t>(p)]->value();
            if ((now ^ background[static_cast<std::size_t>(p)]) & ~wired_[static_cast<std::size_t>(p)])
                flag('U');
        }
        return flags_.empty() ? "-" : flags_;
    }

    void written(const Latch& latch, unsigned long before) override {
        const auto p = static_cast<std::size_t>(latch.index());
        if (++writes_[p] > anodeSteps_[p] + segmentSteps_[p]) flag('W');
        if ((before ^ latch.value()) & ~wired_[p]) flag('U');

        const int anodesNow = anodesHigh(p, latch.value());
        if (anodesNow > 1) flag('A');
        bool segmentChanged = false;
        for (int i = kAnodes; i < kPins; ++i) {
            const portmodel::Wire w = model_.wires[static_cast<std::size_t>(i)];
            if (w.port == latch.index() && w.bit >= 0 && (((before ^ latch.value()) >> w.bit) & 1UL))
                segmentChanged = true;
        }
        if (segmentChanged && (anodesNow > 0 || anodesHigh(p, before) > 0)) flag('S');
    }

private:
    /// Anodes high with port `p` at `value` and every other port as it is now.
    int anodesHigh(std::size_t p, unsigned long value) const {
        int high = 0;
        for (int i = 0; i < kAnodes; ++i) {
            const portmodel::Wire w = model_.wires[static_cast<std::size_t>(i)];
            if (w.port < 0 || w.bit < 0) continue;
            const unsigned long latch = static_cast<std::size_t>(w.port) == p
                                            ? value
                                            : model_.latches[static_cast<std::size_t>(w.port)]->value();
            high += static_cast<int>((latch >> w.bit) & 1UL);
        }
        return high;
    }

    void flag(char f) {
        if (flags_.find(f) == std::string::npos) flags_ += f;
    }

    const Model& model_;
    std::array<unsigned long, kPorts> wired_{};
    std::array<int, kPorts> anodeSteps_{}, segmentSteps_{};
    std::array<int, kPorts> writes_{};
    std::string flags_;
};

void run(const Model& model) {
    Checker checker(model);
    Latch::observer = &checker;
    // A different pattern on every port, so that a bit the program must not touch is as
    // likely to be 1 as 0.
    std::array<unsigned long, kPorts> background{};
    for (int p = 0; p < kPorts; ++p) {
        background[static_cast<std::size_t>(p)] =
            0x96A5C35AUL ^ (0x11111111UL * static_cast<unsigned long>(p));
        model.latches[static_cast<std::size_t>(p)]->preset(background[static_cast<std::size_t>(p)]);
        background[static_cast<std::size_t>(p)] = model.latches[static_cast<std::size_t>(p)]->value();
    }
    for (int digit = 0; digit <= 4; ++digit) {
        for (int value = 0; value <= 255; ++value) {
            for (int point = 0; point <= 1; ++point) {
                checker.beginCall();
                model.showDigit(static_cast<char>(digit), static_cast<char>(value), static_cast<char>(point));
                char levels[kPins + 1] = {};
                for (int i = 0; i < kPins; ++i) {
                    const portmodel::Wire w = model.wires[static_cast<std::size_t>(i)];
                    levels[i] =
                        (w.port < 0 || w.bit < 0)
                            ? '-'
                            : (((model.latches[static_cast<std::size_t>(w.port)]->value() >> w.bit) & 1UL)
                                   ? '1'
                                   : '0');
                }
                std::printf("%s %d %d %d %s %s\n", model.name, digit, value, point, levels,
                            checker.endCall(background).c_str());
            }
        }
    }
    Latch::observer = nullptr;
}

} // namespace

int main() {
    for (const Model& model : kModels) run(model);
    return 0;
}
