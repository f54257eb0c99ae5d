// Automation values drawn from a fuzzer's bytes, for the targets that fill property bags.
#pragma once

#include "automation/variant.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

/// Reads values from the fuzzer's bytes: a type tag, then what the type needs.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool more() const { return p_ < end_; }
    std::uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    std::int64_t number() {
        std::int64_t v = 0;
        for (int i = 0; i < 8; ++i) v = (v << 8) | byte();
        return v;
    }
    seg4::Variant value(int depth = 0) {
        switch (byte() % 12) {
        case 0: return {};
        case 1: return seg4::Variant::null();
        case 2: return seg4::Variant::i2(static_cast<std::int16_t>(number()));
        case 3: return seg4::Variant::i4(static_cast<std::int32_t>(number()));
        case 4: {
            const std::int64_t bits = number();
            double d;
            static_assert(sizeof d == sizeof bits);
            __builtin_memcpy(&d, &bits, sizeof d);
            return seg4::Variant::r8(d);
        }
        case 5: return seg4::Variant::boolean(byte() & 1);
        case 6: {
            std::u16string s;
            for (int n = byte() % 12; n > 0; --n) s += static_cast<char16_t>(byte() | byte() << 8);
            return seg4::Variant::string(s);
        }
        case 7: return seg4::Variant::currency(number());
        case 8: return seg4::Variant::error(static_cast<std::int32_t>(number()));
        case 9: return seg4::Variant::ui1(byte());
        default: {
            std::vector<seg4::Variant> elements;
            if (depth < 3)
                for (int n = byte() % 4; n > 0; --n) elements.push_back(value(depth + 1));
            return seg4::Variant::array(seg4::VarType::Variant, static_cast<std::int8_t>(byte()),
                                        std::move(elements));
        }
        }
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

} // namespace fuzz
