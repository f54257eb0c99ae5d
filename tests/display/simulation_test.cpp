// Pin levels as the host writes them: every shape of argument gives the same levels, the same
// answer and the same error as converting each element on its own, whichever way it is read.
#include "display/simulation.h"

#include "automation/conversions.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace seg4 {
namespace {

using test::failureOf;

/// The levels the way the host's conversions give them: element by element, each converted to
/// Boolean, the table checked after the first conversion.
bool referenceWrite(display::PinTable& pins, const Variant& levels) {
    bool changed = false;
    for (std::int32_t i = 0; i < 12; ++i) {
        const bool level = toBoolean(arrayElement(levels, i));
        if (!pins) raise(hr::SubscriptOutOfRange);
        if (static_cast<std::size_t>(i) >= pins->size()) raise(hr::SubscriptOutOfRange);
        changed |= (*pins)[static_cast<std::size_t>(i)].SimValue != level;
        (*pins)[static_cast<std::size_t>(i)].SimValue = level;
    }
    return changed;
}

std::vector<Variant> twelve(const std::function<Variant(int)>& element, int count = 12) {
    std::vector<Variant> v;
    for (int i = 0; i < count; ++i) v.push_back(element(i));
    return v;
}

TEST(WriteLevels, EveryArgumentActsAsElementByElementConversion) {
    Variant target =
        Variant::array(VarType::Bool, 0, twelve([](int i) { return Variant::boolean(i % 3 == 0); }));
    Variant chain = Variant::byRef(&target);
    struct Case {
        std::string what;
        Variant levels;
        std::size_t pinCount = 12;
        bool noTable = false;
    };
    const Case cases[] = {
        {"Boolean array",
         Variant::array(VarType::Bool, 0, twelve([](int i) { return Variant::boolean(i & 1); }))},
        {"variant array of integers", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                                         return Variant::i2(static_cast<std::int16_t>(i - 5));
                                                     }))},
        {"Long array", Variant::array(VarType::I4, 0, twelve([](int i) { return Variant::i4(i * 1000); }))},
        {"mixed kinds", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                           return i == 3   ? Variant::string(u"True")
                                                  : i == 5 ? Variant::r8(2.5)
                                                  : i == 7 ? Variant()
                                                           : Variant::boolean(true);
                                       }))},
        {"by reference", Variant::byRef(&chain)},
        {"more than twelve",
         Variant::array(VarType::Bool, 0, twelve([](int) { return Variant::boolean(true); }, 20))},
        {"lower bound 1",
         Variant::array(VarType::Bool, 1, twelve([](int) { return Variant::boolean(true); }))},
        {"lower bound -2",
         Variant::array(VarType::Bool, -2, twelve([](int) { return Variant::boolean(true); }, 14))},
        {"eleven elements",
         Variant::array(VarType::Bool, 0, twelve([](int) { return Variant::boolean(true); }, 11))},
        {"a string element", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                                return i == 4 ? Variant::string(u"yes")
                                                              : Variant::boolean(true);
                                            }))},
        {"a Null element", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                              return i == 9 ? Variant::null() : Variant::i4(1);
                                          }))},
        {"an array element", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                                return i == 0 ? Variant::emptyArray(VarType::I4)
                                                              : Variant::i4(0);
                                            }))},
        {"a reference element", Variant::array(VarType::Variant, 0, twelve([&](int i) {
                                                   return i == 2 ? Variant::byRef(&target) : Variant::i4(1);
                                               }))},
        // Booleans with one element of another kind: the Boolean check must notice its type or
        // its array flag, or it reads a Long, an array or an error code as a level.
        {"Booleans and a Long", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                                   return i == 11 ? Variant::i4(2) : Variant::boolean(i & 1);
                                               }))},
        {"Booleans and a Boolean array", Variant::array(VarType::Variant, 0, twelve([](int i) {
                                                            return i == 6 ? Variant::noArray(VarType::Bool)
                                                                          : Variant::boolean(true);
                                                        }))},
        {"Booleans and an error code",
         Variant::array(VarType::Variant, 0,
                        twelve([](int i) { return i == 0 ? Variant::error(11) : Variant::boolean(false); }))},
        // Booleans equal to the levels 0x555 but for the last one: only pin 11 differs.
        {"Booleans, the last one flipped",
         Variant::array(VarType::Bool, 0,
                        twelve([](int i) { return Variant::boolean(((0xD55 >> i) & 1) != 0); }))},
        {"a scalar", Variant::i4(7)},
        {"no array in an array type", Variant::noArray(VarType::Bool)},
        {"short table", Variant::array(VarType::Bool, 0, twelve([](int) { return Variant::boolean(true); })),
         8},
        {"no table", Variant::array(VarType::Bool, 0, twelve([](int) { return Variant::boolean(true); })), 12,
         true},
        {"no table, bad first element",
         Variant::array(VarType::Variant, 0, twelve([](int) { return Variant::string(u"x"); })), 12, true},
    };
    for (const Case& c : cases)
        for (unsigned before : {0x000u, 0xFFFu, 0x555u}) {
            SCOPED_TRACE(c.what + " over " + std::to_string(before));
            display::PinTable pins, expected;
            if (!c.noTable) {
                pins.emplace(c.pinCount);
                for (std::size_t p = 0; p < c.pinCount; ++p) (*pins)[p].SimValue = (before >> p) & 1;
                expected = pins;
            }
            bool changed = false, expectedChanged = false;
            EXPECT_EQ(failureOf([&] { changed = display::writeLevels(pins, c.levels); }),
                      failureOf([&] { expectedChanged = referenceWrite(expected, c.levels); }));
            EXPECT_EQ(changed, expectedChanged);
            ASSERT_EQ(pins.has_value(), expected.has_value());
            for (std::size_t p = 0; pins && p < pins->size(); ++p)
                EXPECT_EQ((*pins)[p].SimValue, (*expected)[p].SimValue) << p;
        }
}

} // namespace
} // namespace seg4
