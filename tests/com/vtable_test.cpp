// Every slot of IQuorvaneComponentV4 and _led7seg4, called through the function table a client
// compiled from the IDL header uses, answers what the core answers for the same call on a twin
// in the same state: result code, result and [in, out] arguments. A slot that is out of place, a
// conversion that loses something or a pointer that is not checked shows up here.
#include "com_values.h"
#include "wine_support.h"

#include "automation/errors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

namespace seg4::wine {
namespace {

// ---- sample arguments per core argument type ----

// Pin and macro identifiers inside and outside the tables, versions (one that overflows).
const std::vector<std::int32_t> kLongs = {0, 3, 11, -1, 12, 4, 1027, 8388608};
const std::vector<std::int16_t> kShorts = {0, 7, -1, 300};
const std::vector<std::u16string> kTexts = {u"", u"InitialisationCode", u"Code %a", u"ShowDigit"};

template <class A>
struct ArgTraits;

template <class T, class ComT, const std::vector<T>* Pool>
struct NumberArg {
    using Value = T;
    static const std::vector<T>& pool() { return *Pool; }
    struct Com {
        explicit Com(T x) : v(static_cast<ComT>(x)) {}
        ComT pass(bool) { return v; }
        ComT v;
    };
    struct Core {
        explicit Core(T x) : v(x) {}
        T& get() { return v; }
        T v;
    };
    static testing::AssertionResult same(const Com&, const Core&) { return testing::AssertionSuccess(); }
    static constexpr bool isPointer = false;
};

template <class T, class ComT, const std::vector<T>* Pool>
struct NumberRefArg : NumberArg<T, ComT, Pool> {
    struct Com {
        explicit Com(T x) : v(static_cast<ComT>(x)) {}
        ComT* pass(bool null) { return null ? nullptr : &v; }
        ComT v;
    };
    using Core = typename NumberArg<T, ComT, Pool>::Core;
    static testing::AssertionResult same(const Com& com, const Core& core) {
        if (com.v == core.v) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "in/out number " << com.v << " instead of " << core.v;
    }
    static constexpr bool isPointer = true;
};

template <>
struct ArgTraits<std::int32_t> : NumberArg<std::int32_t, LONG, &kLongs> {};
template <>
struct ArgTraits<std::int32_t&> : NumberRefArg<std::int32_t, LONG, &kLongs> {};
template <>
struct ArgTraits<std::int16_t> : NumberArg<std::int16_t, SHORT, &kShorts> {};
template <>
struct ArgTraits<std::int16_t&> : NumberRefArg<std::int16_t, SHORT, &kShorts> {};

struct TextArg {
    using Value = std::u16string;
    static const std::vector<std::u16string>& pool() { return kTexts; }
    struct Com {
        explicit Com(const std::u16string& s)
            : b(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()))) {}
        Com(const Com&) = delete;
        Com& operator=(const Com&) = delete;
        ~Com() { SysFreeString(b); }
        BSTR pass(bool) { return b; }
        BSTR b;
    };
    struct Core {
        explicit Core(std::u16string s) : v(std::move(s)) {}
        std::u16string& get() { return v; }
        std::u16string v;
    };
    static testing::AssertionResult same(const Com&, const Core&) { return testing::AssertionSuccess(); }
    static constexpr bool isPointer = false;
};
template <>
struct ArgTraits<std::u16string> : TextArg {};
template <>
struct ArgTraits<const std::u16string&> : TextArg {};
template <>
struct ArgTraits<std::u16string&> : TextArg {
    struct Com : TextArg::Com {
        using TextArg::Com::Com;
        BSTR* pass(bool null) { return null ? nullptr : &b; }
    };
    static testing::AssertionResult same(const Com& com, const Core& core) {
        const std::u16string text(reinterpret_cast<const char16_t*>(com.b), SysStringLen(com.b));
        if (text == core.v) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "in/out text differs";
    }
    static constexpr bool isPointer = true;
};

struct VariantArg {
    using Value = std::size_t; // index into valueCases()
    static const std::vector<std::size_t>& pool() {
        static const std::vector<std::size_t> indices = [] {
            std::vector<std::size_t> v;
            for (std::size_t i = 0; i < valueCases().size(); ++i) v.push_back(i);
            return v;
        }();
        return indices;
    }
    struct Com {
        explicit Com(std::size_t i) : v(valueCases()[i].makeCom()) {}
        Com(const Com&) = delete;
        Com& operator=(const Com&) = delete;
        ~Com() { VariantClear(&v); }
        VARIANT pass(bool) { return v; }
        VARIANT v;
    };
    struct Core {
        explicit Core(std::size_t i) : v(valueCases()[i].makeCore()) {}
        Variant& get() { return v; }
        Variant v;
    };
    static testing::AssertionResult same(const Com&, const Core&) { return testing::AssertionSuccess(); }
    static constexpr bool isPointer = false;
};
template <>
struct ArgTraits<const Variant&> : VariantArg {};
template <>
struct ArgTraits<Variant&> : VariantArg {
    struct Com : VariantArg::Com {
        using VariantArg::Com::Com;
        VARIANT* pass(bool null) { return null ? nullptr : &v; }
    };
    static testing::AssertionResult same(const Com& com, const Core& core) {
        return sameValue(com.v, core.v);
    }
    static constexpr bool isPointer = true;
};

// ---- results ----

template <class R>
struct ResultTraits;
template <>
struct ResultTraits<std::int32_t> {
    struct Com {
        LONG v = 0x5A5A5A5A;
    };
    static testing::AssertionResult same(const Com& com, std::int32_t core) {
        if (com.v == core) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "result " << com.v << " instead of " << core;
    }
};
template <>
struct ResultTraits<std::int16_t> {
    struct Com {
        SHORT v = 0x5A5A;
    };
    static testing::AssertionResult same(const Com& com, std::int16_t core) {
        if (com.v == core) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "result " << com.v << " instead of " << core;
    }
};
template <>
struct ResultTraits<std::u16string> {
    struct Com {
        Com() = default;
        Com(const Com&) = delete;
        Com& operator=(const Com&) = delete;
        ~Com() { SysFreeString(v); }
        BSTR v = nullptr;
    };
    static testing::AssertionResult same(const Com& com, const std::u16string& core) {
        const std::u16string text =
            com.v ? std::u16string(reinterpret_cast<const char16_t*>(com.v), SysStringLen(com.v))
                  : std::u16string();
        if (text == core) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "result text differs";
    }
};
template <>
struct ResultTraits<Variant> {
    struct Com {
        Com() { VariantInit(&v); }
        Com(const Com&) = delete;
        Com& operator=(const Com&) = delete;
        ~Com() { VariantClear(&v); }
        VARIANT v;
    };
    static testing::AssertionResult same(const Com& com, const Variant& core) {
        return sameValue(com.v, core);
    }
};

// ---- one call on both sides ----

template <class A>
typename ArgTraits<A>::Value sample(std::size_t call, std::size_t argIndex) {
    const auto& pool = ArgTraits<A>::pool();
    return pool[(call * (2 * argIndex + 1) + argIndex) % pool.size()];
}

template <class A>
std::size_t poolSize() {
    return ArgTraits<A>::pool().size();
}

template <class A>
void checkArgument(const typename ArgTraits<A>::Com& com, const typename ArgTraits<A>::Core& core,
                   std::size_t index, std::size_t call) {
    EXPECT_TRUE(ArgTraits<A>::same(com, core)) << "argument " << index << ", call " << call;
}

/// Calls the slot and the core member with the same sample arguments and compares everything.
template <class Iface, class Slot, class R, class... A, std::size_t... I>
void compareCall(std::size_t call, Iface* iface, Slot slot, R (Led7Seg4::*method)(A...), Led7Seg4& core,
                 std::index_sequence<I...>) {
    std::tuple<typename ArgTraits<A>::Com...> com(sample<A>(call, I)...);
    std::tuple<typename ArgTraits<A>::Core...> mine(sample<A>(call, I)...);

    HRESULT comResult = S_OK;
    HRESULT coreResult = S_OK;
    if constexpr (std::is_void_v<R>) {
        comResult = (iface->*slot)(std::get<I>(com).pass(false)...);
        try {
            (core.*method)(std::get<I>(mine).get()...);
        } catch (const ComError& e) {
            coreResult = e.code();
        }
        ASSERT_EQ(comResult, coreResult) << "call " << call;
    } else {
        typename ResultTraits<R>::Com out;
        comResult = (iface->*slot)(std::get<I>(com).pass(false)..., &out.v);
        R expected{};
        try {
            expected = (core.*method)(std::get<I>(mine).get()...);
        } catch (const ComError& e) {
            coreResult = e.code();
        }
        ASSERT_EQ(comResult, coreResult) << "call " << call;
        if (SUCCEEDED(comResult)) {
            EXPECT_TRUE(ResultTraits<R>::same(out, expected)) << "call " << call;
        }
    }
    if (SUCCEEDED(comResult)) (checkArgument<A>(std::get<I>(com), std::get<I>(mine), I, call), ...);
}

/// Every pointer of the slot, one at a time, given as null: E_POINTER and nothing else.
template <class Iface, class Slot, class R, class... A, std::size_t... I>
void checkNullPointers(Iface* iface, Slot slot, R (*)(A...), std::index_sequence<I...>) {
    constexpr std::size_t n = sizeof...(A);
    constexpr std::array<bool, n + 1> pointers{ArgTraits<A>::isPointer..., !std::is_void_v<R>};
    for (std::size_t nulled = 0; nulled <= n; ++nulled) {
        if (!pointers[nulled]) continue;
        std::tuple<typename ArgTraits<A>::Com...> com(sample<A>(0, I)...);
        HRESULT hr = S_OK;
        if constexpr (std::is_void_v<R>) {
            hr = (iface->*slot)(std::get<I>(com).pass(nulled == I)...);
        } else {
            typename ResultTraits<R>::Com out;
            hr = (iface->*slot)(std::get<I>(com).pass(nulled == I)..., nulled == n ? nullptr : &out.v);
        }
        EXPECT_EQ(hr, E_POINTER) << "null pointer at position " << nulled;
    }
}

template <class Iface, class Slot, class R, class... A>
void checkMember(Iface* iface, Slot slot, R (Led7Seg4::*method)(A...), Led7Seg4& core) {
    std::size_t calls = 2;
    ((calls = std::max(calls, 2 * poolSize<A>())), ...);
    for (std::size_t call = 0; call < calls; ++call) {
        compareCall(call, iface, slot, method, core, std::index_sequence_for<A...>{});
        if (testing::Test::HasFatalFailure()) return;
    }
    checkNullPointers(iface, slot, static_cast<R (*)(A...)>(nullptr), std::index_sequence_for<A...>{});
}

// ---- one test per member of each table ----

struct MemberCase {
    const char* name;
    int number;
    void (*run)(IQuorvaneComponentV4* host, _led7seg4* control, Led7Seg4& core);
};

const MemberCase kHostCases[] = {
#define HOST_MEMBER(no, member, kind, method)                                                                \
    {#method, no, [](IQuorvaneComponentV4* host, _led7seg4*, Led7Seg4& core) {                               \
         checkMember(host, &IQuorvaneComponentV4::method, &Led7Seg4::method, core);                          \
     }},
#include "component/host_members.def"
#undef HOST_MEMBER
};

const MemberCase kControlCases[] = {
#define CONTROL_MEMBER(no, member, kind, method)                                                             \
    {#method, no, [](IQuorvaneComponentV4*, _led7seg4* control, Led7Seg4& core) {                            \
         checkMember(control, &_led7seg4::method, &Led7Seg4::method, core);                                  \
     }},
#include "component/control_members.def"
#undef CONTROL_MEMBER
};

void PrintTo(const MemberCase& c, std::ostream* os) { *os << c.name; }

class SlotTest : public testing::TestWithParam<MemberCase> {};

TEST_P(SlotTest, AnswersAsTheCoreDoes) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    ASSERT_TRUE(host.get());
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(control), S_OK);
    CoreTwin twin;
    GetParam().run(host.get(), control.get(), twin.core());
    MessageBoxWatcher::instance().take(); // boxes of both sides (custom images, code file) are fine here
}

std::string caseName(const testing::TestParamInfo<MemberCase>& info) {
    return std::to_string(info.param.number) + "_" + info.param.name;
}

INSTANTIATE_TEST_SUITE_P(HostInterface, SlotTest, testing::ValuesIn(kHostCases), caseName);
INSTANTIATE_TEST_SUITE_P(ControlInterface, SlotTest, testing::ValuesIn(kControlCases), caseName);

// A few answers that do not depend on other parts of the core being finished: they pin down
// that the right core member sits behind the right slot, independently of the comparison.
TEST(SlotAnswers, NewControlDescribesItsPins) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    struct Row {
        LONG pin;
        LONG desiredPort, samePortAs, desiredBit;
    };
    const Row rows[] = {{0, 0, -1, 3}, {3, 0, 0, 0}, {4, 1, -1, 0}, {7, 1, 4, 3}, {11, 1, 4, 7}};
    LONG count = 0;
    ASSERT_EQ(host->get_PinCount(&count), S_OK);
    EXPECT_EQ(count, 12);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pin);
        LONG v = 0;
        EXPECT_EQ(host->get_DesiredPort(r.pin, &v), S_OK);
        EXPECT_EQ(v, r.desiredPort);
        EXPECT_EQ(host->get_SamePortAsID(r.pin, &v), S_OK);
        EXPECT_EQ(v, r.samePortAs);
        EXPECT_EQ(host->get_DesiredBit(r.pin, &v), S_OK);
        EXPECT_EQ(v, r.desiredBit);
        EXPECT_EQ(host->get_Port(r.pin, &v), S_OK);
        EXPECT_EQ(v, -1);
    }
    LONG version = 0;
    ASSERT_EQ(host->get_ComponentVersion(&version), S_OK);
    EXPECT_EQ(version, 1024) << "major and minor come from the module's version block";
}

TEST(SlotAnswers, OverflowOfTheHostVersionIsTheOverflowError) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(control), S_OK);
    ASSERT_EQ(host->put_QuorvaneVersion(1027), S_OK);
    EXPECT_EQ(host->put_QuorvaneVersion(8388608), static_cast<HRESULT>(0x800A0006));
    SHORT major = 0, minor = 0;
    EXPECT_EQ(control->get_iVersionMajor(&major), S_OK);
    EXPECT_EQ(control->get_iVersionMinor(&minor), S_OK);
    EXPECT_EQ(major, 4) << "a failed put stores nothing";
    EXPECT_EQ(minor, 3);
}

TEST(SlotAnswers, NoArrayIsAnArrayTypeWithoutArray) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Var v;
    ASSERT_EQ(host->get_ExclusiveInterrupts(v.get()), S_OK);
    EXPECT_EQ(V_VT(v.get()), VT_ARRAY | VT_I4);
    EXPECT_EQ(V_ARRAY(v.get()), nullptr);
}

} // namespace
} // namespace seg4::wine
