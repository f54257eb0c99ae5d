// Runs a display's generated C code on the build machine against a model of the port latches,
// compiled as C++ with each program in a namespace of its own (models.inc, written by
// target_code_test.cpp) so that its port variables are Latches that report every write.
//
// SHOW_DIGIT of every program runs for DIGIT 0..4, VALUE 0..255 and DECIMAL_PT 0 and 1; each
// call prints the twelve pin levels read back through the wiring and the rules its writes broke:
//   <model> <digit> <value> <point> <levels> <flags>
// levels: one character per pin, 1 high, 0 low, - not wired. flags: "-" when every write kept
// the rules, otherwise A (two anodes high), S (a segment line changed while an anode was
// high), U (a bit not wired to the display changed), W (a port written more often than its
// steps need).
#include <array>
#include <cstdio>
#include <string>

namespace portmodel {

constexpr int kPorts = 8; // porta .. porth
constexpr int kPins = 12; // anodes of DIGIT 0..3, segments A..G, decimal point
constexpr int kAnodes = 4;

/// Where one pin is wired; -1 for a pin that is not wired.
struct Wire {
    int port, bit;
};

class Latch;
struct Observer {
    virtual void written(const Latch& latch, unsigned long before) = 0;
};

/// One port output latch: reads give the value last written, cut to the port's width.
class Latch {
public:
    Latch(int index, unsigned long widthMask) : index_(index), widthMask_(widthMask) {}
    Latch(const Latch&) = delete;
    Latch& operator=(const Latch&) = delete;

    operator unsigned long() const { return value_; }
    Latch& operator=(unsigned long v) {
        const unsigned long before = value_;
        value_ = v & widthMask_;
        if (observer) observer->written(*this, before);
        return *this;
    }
    Latch& operator&=(unsigned long m) { return *this = value_ & m; }
    Latch& operator|=(unsigned long m) { return *this = value_ | m; }
    Latch& operator^=(unsigned long m) { return *this = value_ ^ m; }

    int index() const { return index_; }
    unsigned long value() const { return value_; }
    /// Sets the latch without counting it as a write of the program.
    void preset(unsigned long v) { value_ = v & widthMask_; }

    static inline Observer* observer = nullptr;

private:
    int index_;
    unsigned long widthMask_;
    unsigned long value_ = 0;
};

/// One generated program with the wiring it was generated for.
struct Model {
    const char* name;
    std::array<Wire, kPins> wires;
    std::array<Latch*, kPorts> latches;
    void (*showDigit)(char, char, char);
};

} // namespace portmodel

#include "models.inc" // generated: the programs in their namespaces and kModels

namespace {

using namespace portmodel;

class Checker : public Observer {
public:
    explicit Checker(const Model& model) : model_(model) {
        for (int i = 0; i < kPins; ++i) {
            const Wire w = model.wires[std::size_t(i)];
            if (w.port < 0 || w.bit < 0) continue;
            wired_[std::size_t(w.port)] |= 1UL << w.bit;
            // A port is written twice for its anodes (all off, one on) and once for its segments.
            (i < kAnodes ? anodeSteps_ : segmentSteps_)[std::size_t(w.port)] = i < kAnodes ? 2 : 1;
        }
    }

    void beginCall() {
        flags_.clear();
        writes_.fill(0);
    }

    std::string endCall(const std::array<unsigned long, kPorts>& background) {
        for (std::size_t p = 0; p < kPorts; ++p)
            if ((model_.latches[p]->value() ^ background[p]) & ~wired_[p]) flag('U');
        return flags_.empty() ? "-" : flags_;
    }

    void written(const Latch& latch, unsigned long before) override {
        const auto p = std::size_t(latch.index());
        if (++writes_[p] > anodeSteps_[p] + segmentSteps_[p]) flag('W');
        if ((before ^ latch.value()) & ~wired_[p]) flag('U');
        const int anodesNow = anodesHigh(p, latch.value());
        if (anodesNow > 1) flag('A');
        bool segmentChanged = false;
        for (int i = kAnodes; i < kPins; ++i) {
            const Wire w = model_.wires[std::size_t(i)];
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
            const Wire w = model_.wires[std::size_t(i)];
            if (w.port < 0 || w.bit < 0) continue;
            const unsigned long latch =
                std::size_t(w.port) == p ? value : model_.latches[std::size_t(w.port)]->value();
            high += int((latch >> w.bit) & 1UL);
        }
        return high;
    }

    void flag(char f) {
        if (flags_.find(f) == std::string::npos) flags_ += f;
    }

    const Model& model_;
    std::array<unsigned long, kPorts> wired_{};
    std::array<int, kPorts> anodeSteps_{}, segmentSteps_{}, writes_{};
    std::string flags_;
};

void run(const Model& model) {
    Checker checker(model);
    Latch::observer = &checker;
    // A different pattern on every port, so that a bit the program must not touch is as
    // likely to be 1 as 0.
    std::array<unsigned long, kPorts> background{};
    for (std::size_t p = 0; p < kPorts; ++p) {
        model.latches[p]->preset(0x96A5C35AUL ^ (0x11111111UL * p));
        background[p] = model.latches[p]->value();
    }
    for (int digit = 0; digit <= 4; ++digit)
        for (int value = 0; value <= 255; ++value)
            for (int point = 0; point <= 1; ++point) {
                checker.beginCall();
                model.showDigit(char(digit), char(value), char(point));
                char levels[kPins + 1] = {};
                for (std::size_t i = 0; i < kPins; ++i) {
                    const Wire w = model.wires[i];
                    levels[i] = w.port < 0 || w.bit < 0                                          ? '-'
                                : ((model.latches[std::size_t(w.port)]->value() >> w.bit) & 1UL) ? '1'
                                                                                                 : '0';
                }
                std::printf("%s %d %d %d %s %s\n", model.name, digit, value, point, levels,
                            checker.endCall(background).c_str());
            }
    Latch::observer = nullptr;
}

} // namespace

int main() {
    for (const Model& model : kModels) run(model);
    return 0;
}
