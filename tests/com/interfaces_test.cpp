// The two dual interfaces. Every slot of IQuorvaneComponentV4 and _led7seg4, called through the
// function table a client compiled from the IDL header uses, answers what the core answers for
// the same call on a twin in the same state (result code, result, [in, out] arguments), and every
// pointer given as null is E_POINTER. Each interface's IDispatch knows its own members by name,
// and a failing call leaves an error info with the core's description.
#include "com_values.h"
#include "variant_bridge.h"
#include "wine_support.h"

#include "automation/errors.h"
#include "component/member_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <cwctype>
#include <tuple>
#include <utility>

namespace seg4::wine {
namespace {

// Sample arguments per core type: pin and macro identifiers inside and outside the tables,
// versions (one that overflows), texts, and the sample automation values.
const std::vector<std::int32_t> kLongs = {0, 3, 11, -1, 12, 4, 1027, 8388608};
const std::vector<std::int16_t> kShorts = {0, 7, -1, 300};
const std::vector<std::u16string> kTexts = {u"", u"InitialisationCode", u"Code %a", u"ShowDigit"};

template <class T>
const std::vector<T>& pool() {
    if constexpr (std::is_same_v<T, std::int32_t>)
        return kLongs;
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return kShorts;
    else if constexpr (std::is_same_v<T, std::u16string>)
        return kTexts;
    else
        return sampleValues();
}

Variant asVariant(std::int32_t x) { return Variant::i4(x); }
Variant asVariant(std::int16_t x) { return Variant::i2(x); }
Variant asVariant(const std::u16string& x) { return Variant::string(x); }
Variant asVariant(const Variant& x) { return x; }

/// An argument or result of core type T in its COM form, held in a VARIANT of the matching type.
template <class T>
struct ComValue {
    VARIANT v;
    explicit ComValue(const T& x) { com::toVariant(asVariant(x), v); }
    /// A result slot; a number holds a value no member answers, so a result never written shows.
    ComValue() {
        VariantInit(&v);
        if constexpr (std::is_integral_v<T>) com::toVariant(asVariant(static_cast<T>(0x5A5A5A5A)), v);
        if constexpr (std::is_same_v<T, std::u16string>) V_VT(&v) = VT_BSTR, V_BSTR(&v) = nullptr;
    }
    ComValue(const ComValue&) = delete;
    ComValue& operator=(const ComValue&) = delete;
    ~ComValue() { VariantClear(&v); }
    /// Where the slot's LONG, SHORT, BSTR or VARIANT lives.
    auto* field() {
        if constexpr (std::is_same_v<T, std::int32_t>)
            return &V_I4(&v);
        else if constexpr (std::is_same_v<T, std::int16_t>)
            return &V_I2(&v);
        else if constexpr (std::is_same_v<T, std::u16string>)
            return &V_BSTR(&v);
        else
            return &v;
    }
    testing::AssertionResult same(const T& core) const { return sameValue(v, asVariant(core)); }
};

template <class A>
using Bare = std::remove_cvref_t<A>;
/// A non-const reference of the core is an [in, out] pointer of the interface.
template <class A>
constexpr bool kInOut = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

template <class A>
auto pass(ComValue<Bare<A>>& c, bool null) {
    if constexpr (kInOut<A>)
        return null ? nullptr : c.field();
    else
        return *c.field();
}

template <class A>
Bare<A> sample(std::size_t call, std::size_t argIndex) {
    const auto& p = pool<Bare<A>>();
    return p[(call * (2 * argIndex + 1) + argIndex) % p.size()];
}

template <bool InOut, class C, class T>
void checkArgument(const C& com, const T& core, std::size_t index, std::size_t call) {
    if constexpr (InOut) {
        EXPECT_TRUE(com.same(core)) << "argument " << index << ", call " << call;
    }
}

/// Calls the slot and the core member with the same sample arguments and compares everything.
template <class Iface, class Slot, class R, class... A, std::size_t... I>
void compareCall(std::size_t call, Iface* iface, Slot slot, R (Led7Seg4::*method)(A...), Led7Seg4& core,
                 std::index_sequence<I...>) {
    std::tuple<ComValue<Bare<A>>...> com(sample<A>(call, I)...);
    std::tuple<Bare<A>...> mine(sample<A>(call, I)...);
    std::conditional_t<std::is_void_v<R>, int, ComValue<R>> out;
    std::conditional_t<std::is_void_v<R>, int, R> expected{};
    HRESULT comResult = S_OK, coreResult = S_OK;
    if constexpr (std::is_void_v<R>)
        comResult = (iface->*slot)(pass<A>(std::get<I>(com), false)...);
    else
        comResult = (iface->*slot)(pass<A>(std::get<I>(com), false)..., out.field());
    try {
        if constexpr (std::is_void_v<R>)
            (core.*method)(std::get<I>(mine)...);
        else
            expected = (core.*method)(std::get<I>(mine)...);
    } catch (const ComError& e) {
        coreResult = e.code();
    }
    ASSERT_EQ(comResult, coreResult) << "call " << call;
    if (FAILED(comResult)) return;
    if constexpr (!std::is_void_v<R>) {
        EXPECT_TRUE(out.same(expected)) << "result, call " << call;
    }
    (checkArgument<kInOut<A>>(std::get<I>(com), std::get<I>(mine), I, call), ...);
}

/// Every pointer of the slot, one at a time, given as null: E_POINTER and nothing else.
template <class Iface, class Slot, class R, class... A, std::size_t... I>
void checkNullPointers(Iface* iface, Slot slot, R (Led7Seg4::*)(A...), std::index_sequence<I...>) {
    constexpr std::size_t n = sizeof...(A);
    constexpr std::array<bool, n + 1> pointers{kInOut<A>..., !std::is_void_v<R>};
    for (std::size_t nulled = 0; nulled <= n; ++nulled) {
        if (!pointers[nulled]) continue;
        std::tuple<ComValue<Bare<A>>...> com(sample<A>(0, I)...);
        HRESULT hr = S_OK;
        if constexpr (std::is_void_v<R>) {
            hr = (iface->*slot)(pass<A>(std::get<I>(com), nulled == I)...);
        } else {
            ComValue<R> out;
            hr = (iface->*slot)(pass<A>(std::get<I>(com), nulled == I)...,
                                nulled == n ? nullptr : out.field());
        }
        EXPECT_EQ(hr, E_POINTER) << "null pointer at position " << nulled;
    }
}

template <class Iface, class Slot, class R, class... A>
void checkMember(Iface* iface, Slot slot, R (Led7Seg4::*method)(A...), Led7Seg4& core) {
    const std::size_t calls = std::max({std::size_t{2}, 2 * pool<Bare<A>>().size()...});
    for (std::size_t call = 0; call < calls && !testing::Test::HasFatalFailure(); ++call)
        compareCall(call, iface, slot, method, core, std::index_sequence_for<A...>{});
    checkNullPointers(iface, slot, method, std::index_sequence_for<A...>{});
}

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
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(control), S_OK);
    CoreTwin twin;
    GetParam().run(host.get(), control.get(), twin.core());
    SeenBoxes::instance().take(); // boxes of both sides (custom images, code file) are fine here
}

std::string caseName(const testing::TestParamInfo<MemberCase>& info) {
    return std::to_string(info.param.number) + "_" + info.param.name;
}

INSTANTIATE_TEST_SUITE_P(HostInterface, SlotTest, testing::ValuesIn(kHostCases), caseName);
INSTANTIATE_TEST_SUITE_P(ControlInterface, SlotTest, testing::ValuesIn(kControlCases), caseName);

constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);

DISPID idOf(IDispatch* dispatch, std::wstring name) {
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK)
        << "name not found";
    return id;
}

struct Dispatchers {
    Ref<IQuorvaneComponentV4> host;
    Ref<IDispatch> hostDispatch;    // IDispatch of IQuorvaneComponentV4 itself
    Ref<IDispatch> defaultDispatch; // the object's IDispatch: _led7seg4
    Dispatchers() {
        createControl(host);
        host->AddRef();
        hostDispatch.p = static_cast<IDispatch*>(host.get());
        host.query(defaultDispatch);
    }
};

TEST(Dispatch, EveryMemberNameIsKnownInAnyLetterCase) {
    Dispatchers d;
    struct Row {
        IDispatch* dispatch;
        std::span<const MemberInfo> members;
        const IID* iid;
    };
    for (const Row& r : {Row{d.hostDispatch.get(), kHostMembers, &IID_IQuorvaneComponentV4},
                         Row{d.defaultDispatch.get(), kControlMembers, &IID__led7seg4}}) {
        for (const MemberInfo& m : r.members) {
            std::wstring lower(m.name.begin(), m.name.end());
            for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
            EXPECT_GT(idOf(r.dispatch, lower), 0) << m.name;
        }
        Ref<ITypeInfo> info;
        ASSERT_EQ(r.dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(IsEqualGUID(attr->guid, *r.iid)) << "each interface has its own type information";
        info->ReleaseTypeAttr(attr);
        EXPECT_EQ(r.dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    }
    std::wstring hostOnly = L"PinCount";
    LPOLESTR names[] = {hostOnly.data()};
    DISPID id = 0;
    EXPECT_EQ(d.defaultDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME)
        << "the object's own IDispatch is the control's interface, not the host's";
}

TEST(Dispatch, AnArgumentInErrorIsNamedByItsIndex) {
    // rgvarg holds the arguments last first, named ones ahead of the positional ones; a client
    // learns from *argError which of them could not be converted, and a named argument that is
    // no parameter of the member is reported as such.
    Dispatchers d;
    IDispatch* host = d.hostDispatch.get();
    IDispatch* control = d.defaultDispatch.get();
    const auto i4 = [](LONG x) {
        VARIANT v{};
        V_VT(&v) = VT_I4, V_I4(&v) = x;
        return v;
    };
    const auto text = [](const wchar_t* x) {
        VARIANT v{};
        V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(x);
        return v;
    };
    LONG result = 0, cycles = 0;
    VARIANT affected{};
    VARIANT byRefLong{}, byRefVariant{}, byRefCycles{};
    V_VT(&byRefLong) = VT_I4 | VT_BYREF, V_I4REF(&byRefLong) = &result;
    V_VT(&byRefVariant) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&byRefVariant) = &affected;
    V_VT(&byRefCycles) = VT_I4 | VT_BYREF, V_I4REF(&byRefCycles) = &cycles;
    VARIANT nullLong{};
    V_VT(&nullLong) = VT_I4 | VT_BYREF, V_I4REF(&nullLong) = nullptr;
    VARIANT object{};
    V_VT(&object) = VT_UNKNOWN, V_UNKNOWN(&object) = d.host.get();
    const DISPID put = DISPID_PROPERTYPUT, noSuchParameter = 5;
    struct Row {
        const char* call;
        IDispatch* dispatch;
        const wchar_t* member;
        WORD flags;
        std::vector<VARIANT> args; // as in rgvarg: the last argument first
        std::vector<DISPID> named;
        HRESULT expected;
        UINT argError;
    };
    const UINT untouched = 77;
    const WORD G = DISPATCH_PROPERTYGET, P = DISPATCH_PROPERTYPUT, M = DISPATCH_METHOD;
    IDispatch* const h = host;
    IDispatch* const c = control;
    const Row rows[] = {
        {"PinName(\"x\")", h, L"PinName", G, {text(L"x")}, {}, DISP_E_TYPEMISMATCH, 0},
        // A reference to nothing is an argument in error too, and never read.
        {"Port(<null reference>) = \"x\"",
         h,
         L"Port",
         P,
         {text(L"x"), nullLong},
         {put},
         DISP_E_TYPEMISMATCH,
         1},
        {"Port(\"x\") = 4", h, L"Port", P, {i4(4), text(L"x")}, {put}, DISP_E_TYPEMISMATCH, 1},
        {"Port(2) = \"x\"", h, L"Port", P, {text(L"x"), i4(2)}, {put}, DISP_E_TYPEMISMATCH, 0},
        {"SimMacroCall(\"x\", ...)",
         h,
         L"SimMacroCall",
         M,
         {byRefCycles, byRefVariant, byRefLong, VARIANT{}, text(L"x")},
         {},
         DISP_E_TYPEMISMATCH,
         4},
        {"LEDSize = \"big\"", c, L"LEDSize", P, {text(L"big")}, {put}, DISP_E_TYPEMISMATCH, 0},
        {"GetIniKeyValue(\"a\", <object>, \"c\")",
         c,
         L"GetIniKeyValue",
         M,
         {text(L"c"), object, text(L"a")},
         {},
         DISP_E_TYPEMISMATCH,
         1},
        {"Port(lPinID:=2)", h, L"Port", G, {i4(2)}, {0}, S_OK, untouched},
        {"Port(<none>:=2)", h, L"Port", G, {i4(2)}, {noSuchParameter}, DISP_E_PARAMNOTFOUND, 0},
        {"Port(<none>:=2) = 4",
         h,
         L"Port",
         P,
         {i4(4), i4(2)},
         {put, noSuchParameter},
         DISP_E_PARAMNOTFOUND,
         1},
        // One argument too many is refused before anything is called, for a put as for a get.
        {"PinName(0, 1)", h, L"PinName", G, {i4(1), i4(0)}, {}, DISP_E_BADPARAMCOUNT, untouched},
        {"Port(2, 3) = 4", h, L"Port", P, {i4(4), i4(3), i4(2)}, {put}, DISP_E_BADPARAMCOUNT, untouched},
        {"VNodeMsgWrite(0, 1, 2) = 5",
         c,
         L"IQuorvaneComponentV4_VNodeMsgWrite",
         P,
         {i4(5), i4(2), i4(1), i4(0)},
         {put},
         DISP_E_BADPARAMCOUNT,
         untouched},
    };
    for (const Row& r : rows) {
        std::vector<VARIANT> args = r.args;
        std::vector<DISPID> named = r.named;
        DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()),
                          static_cast<UINT>(named.size())};
        VARIANT out{};
        UINT argError = untouched;
        EXPECT_EQ(r.dispatch->Invoke(idOf(r.dispatch, r.member), IID_NULL, 0, r.flags, &params, &out, nullptr,
                                     &argError),
                  r.expected)
            << r.call;
        EXPECT_EQ(argError, r.argError) << r.call;
        VariantClear(&out);
        for (VARIANT& v : args)
            if (V_VT(&v) == VT_BSTR) VariantClear(&v);
    }
}

TEST(Arguments, WhatAMemberDoesNotReadOrWriteStaysAsPassed) {
    // Members with no effect, a macro id with nothing to do, and SimMacroCall2, which only shows
    // its message: each succeeds whatever the VARIANT holds (an object, a decimal, a type the
    // core has no twin of) and leaves every bit of it as the caller passed it.
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    ASSERT_EQ(host->put_QuorvaneVersion(1026), S_OK);
    IQuorvaneComponentV4* h = host.get();
    using Fill = void (*)(VARIANT&, IQuorvaneComponentV4*);
    const std::pair<const char*, Fill> values[] = {
        {"object", [](VARIANT& v,
                      IQuorvaneComponentV4* o) { V_VT(&v) = VT_DISPATCH, V_DISPATCH(&v) = o, o->AddRef(); }},
        {"unknown",
         [](VARIANT& v, IQuorvaneComponentV4* o) { V_VT(&v) = VT_UNKNOWN, V_UNKNOWN(&v) = o, o->AddRef(); }},
        {"decimal",
         [](VARIANT& v, IQuorvaneComponentV4*) { VarDecFromI4(3, &V_DECIMAL(&v)), V_VT(&v) = VT_DECIMAL; }},
        {"machine int", [](VARIANT& v, IQuorvaneComponentV4*) { V_VT(&v) = VT_INT, V_INT(&v) = 5; }},
        {"Boolean 1", [](VARIANT& v, IQuorvaneComponentV4*) { V_VT(&v) = VT_BOOL, V_BOOL(&v) = 1; }},
        {"string",
         [](VARIANT& v, IQuorvaneComponentV4*) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(L"x"); }},
    };
    using Call = HRESULT (*)(IQuorvaneComponentV4*, VARIANT&);
    const std::pair<const char*, Call> calls[] = {
        {"GeneralMethod", [](IQuorvaneComponentV4* c, VARIANT& v) { return c->GeneralMethod(1, &v); }},
        {"GeneralPut", [](IQuorvaneComponentV4* c, VARIANT& v) { return c->put_GeneralPut(1, &v); }},
        {"VNodeMsgWrite", [](IQuorvaneComponentV4* c, VARIANT& v) { return c->put_VNodeMsgWrite(1, 0, &v); }},
        {"SimMacroCall 1 affected",
         [](IQuorvaneComponentV4* c, VARIANT& v) {
             VARIANT none{};
             LONG result = 0, cycles = 7;
             return c->SimMacroCall(1, none, &result, &v, &cycles);
         }},
        {"SimMacroCall 1 parameters",
         [](IQuorvaneComponentV4* c, VARIANT& v) {
             VARIANT affected{};
             LONG result = 0, cycles = 7;
             return c->SimMacroCall(1, v, &result, &affected, &cycles);
         }},
        {"SimMacroCall2 result",
         [](IQuorvaneComponentV4* c, VARIANT& v) {
             VARIANT none{}, affected{};
             LONG cycles = 7;
             return c->SimMacroCall2(0, none, &v, &affected, &cycles);
         }},
    };
    for (const auto& [member, call] : calls)
        for (const auto& [kind, fill] : values) {
            VARIANT v{};
            fill(v, h);
            const VARIANT passed = v;
            EXPECT_EQ(call(h, v), S_OK) << member << " with " << kind;
            EXPECT_EQ(std::memcmp(&v, &passed, sizeof v), 0) << member << " changed " << kind;
            VariantClear(&v);
        }
    SeenBoxes::instance().take(); // SimMacroCall2's messages
    // A decimal is a number like any other where a member reads one.
    SAFEARRAY* levels = SafeArrayCreateVector(VT_VARIANT, 0, 12);
    for (LONG i = 0; i < 12; ++i) {
        VARIANT level{};
        VarDecFromI4(i % 3 == 0 ? 5 : 0, &V_DECIMAL(&level));
        V_VT(&level) = VT_DECIMAL;
        SafeArrayPutElement(levels, &i, &level);
    }
    VARIANT written{};
    V_VT(&written) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&written) = levels;
    EXPECT_EQ(h->SimWritePins(written), S_OK);
    VariantClear(&written);
    VARIANT read{};
    ASSERT_EQ(h->SimReadPins(&read), S_OK);
    for (LONG i = 0; i < 12; ++i) {
        VARIANT_BOOL level = 0;
        SafeArrayGetElement(V_ARRAY(&read), &i, &level);
        EXPECT_EQ(level, i % 3 == 0 ? VARIANT_TRUE : VARIANT_FALSE) << "pin " << i;
    }
    VariantClear(&read);
}

TEST(Dispatch, ErrorsCarryAnErrorInfo) {
    // The result code, and an error info for the interface (Invoke makes DISP_E_EXCEPTION of it,
    // which qhost.exe's runs in the stage see).
    Dispatchers d;
    Ref<ISupportErrorInfo> support;
    ASSERT_EQ(d.host.query(support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__led7seg4), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPersistStreamInit), S_FALSE);
    using Call = HRESULT (*)(IQuorvaneComponentV4*);
    const std::tuple<Call, HRESULT, const wchar_t*> rows[] = {
        {[](IQuorvaneComponentV4* h) { return h->put_QuorvaneVersion(8388608); }, kOverflow, L"Overflow"},
        {[](IQuorvaneComponentV4* h) { return h->get_PinCount(nullptr); }, E_POINTER, L"Invalid pointer"}};
    for (const auto& [call, code, description] : rows) {
        EXPECT_EQ(call(d.host.get()), code);
        Ref<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
        BSTR text = nullptr, source = nullptr;
        info->GetDescription(&text);
        info->GetSource(&source);
        EXPECT_STREQ(text, description);
        EXPECT_STREQ(source, L"Quorvane_ARM_7seg4.led7seg4");
        SysFreeString(text);
        SysFreeString(source);
        GUID guid{};
        info->GetGUID(&guid);
        EXPECT_TRUE(IsEqualGUID(guid, IID_IQuorvaneComponentV4));
    }
}

} // namespace
} // namespace seg4::wine
