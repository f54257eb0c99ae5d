// A port model for running a display's generated C code on the build machine: port latches
// that behave like the target's port variables and report every write, and the checks made
// on each write (one anode at a time, segments changed only while every anode is off, bits
// that are not wired to the display never touched, each port written once per step).
//
// The generated program is compiled as C++ against this header, inside a namespace per
// wiring, so that each of its port variables is a Latch.
#pragma once

#include <array>
#include <string>

namespace portmodel {

inline constexpr int kPorts = 8; // porta .. porth
inline constexpr int kPins = 12; // anodes of DIGIT 0..3, segments A..G, decimal point
inline constexpr int kAnodes = 4;

/// Where one pin is wired; -1 for a pin that is not wired.
struct Wire {
    int port;
    int bit;
};

class Latch;

/// Told about every write to a latch, after it happened.
class WriteObserver {
public:
    virtual void written(const Latch& latch, unsigned long before) = 0;

protected:
    ~WriteObserver() = default;
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

    static inline WriteObserver* observer = nullptr;

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
