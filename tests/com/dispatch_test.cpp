// Late binding: both dual interfaces by name (names found in any letter case, arguments coerced
// as on Windows), and errors of the core as DISP_E_EXCEPTION with EXCEPINFO, or as the result
// code with an error info when called through the vtable.
#include "wine_support.h"

#include "component/member_table.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace seg4::wine {
namespace {

constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kSubscript = static_cast<HRESULT>(0x800A0009);

DISPID idOf(IDispatch* dispatch, const std::wstring& name) {
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK)
        << "name not found";
    return id;
}

/// Invoke with positional arguments given in natural order (they travel reversed).
HRESULT invoke(IDispatch* dispatch, const std::wstring& name, WORD flags, std::vector<VARIANT> args,
               VARIANT* result, EXCEPINFO* exception = nullptr) {
    const DISPID id = idOf(dispatch, name);
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argError = 0;
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, exception, &argError);
}

VARIANT longValue(LONG v) {
    VARIANT x;
    VariantInit(&x);
    V_VT(&x) = VT_I4;
    V_I4(&x) = v;
    return x;
}

VARIANT textValue(const wchar_t* s) {
    VARIANT x;
    VariantInit(&x);
    V_VT(&x) = VT_BSTR;
    V_BSTR(&x) = SysAllocString(s);
    return x;
}

std::wstring lower(std::string_view name) {
    std::wstring s(name.begin(), name.end());
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

struct Dispatchers {
    Ref<IQuorvaneComponentV4> host;
    Ref<IDispatch> hostDispatch;    // IDispatch of IQuorvaneComponentV4 itself
    Ref<IDispatch> defaultDispatch; // the object's IDispatch: _led7seg4
};

void open(Dispatchers& d) {
    createControl(d.host);
    ASSERT_TRUE(d.host.get());
    d.host->AddRef();
    d.hostDispatch.p = static_cast<IDispatch*>(d.host.get());
    ASSERT_EQ(d.host.query(d.defaultDispatch), S_OK);
}

TEST(Dispatch, EveryMemberNameIsKnownInAnyLetterCase) {
    Dispatchers d;
    open(d);
    for (const MemberInfo& m : kHostMembers) {
        SCOPED_TRACE(std::string(m.name));
        EXPECT_GT(idOf(d.hostDispatch.get(), lower(m.name)), 0);
    }
    for (const MemberInfo& m : kControlMembers) {
        SCOPED_TRACE(std::string(m.name));
        EXPECT_GT(idOf(d.defaultDispatch.get(), lower(m.name)), 0);
    }
    // The object's own IDispatch is the control's interface, not the host's.
    std::wstring hostOnly = L"PinCount";
    LPOLESTR names[] = {hostOnly.data()};
    DISPID id = 0;
    EXPECT_EQ(d.defaultDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

TEST(Dispatch, PropertiesReadAndWriteByName) {
    Dispatchers d;
    open(d);
    struct Step {
        IDispatch* dispatch;
        const wchar_t* name;
        std::vector<LONG> index; // arguments before the value
        LONG put;                // value written
        LONG expected;           // value read back afterwards
    };
    const Step steps[] = {
        {d.hostDispatch.get(), L"Port", {5}, 2, 2},
        {d.hostDispatch.get(), L"bit", {5}, 6, 6},
        {d.defaultDispatch.get(), L"LEDColour", {}, 3, 3},
        {d.defaultDispatch.get(), L"ledcolour", {}, 4, 3}, // out of range: ignored
        {d.defaultDispatch.get(), L"CommonAnode", {}, 1, 1},
        {d.defaultDispatch.get(), L"iVersionMajor", {}, 7, 7},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(s.name)));
        std::vector<VARIANT> args;
        for (LONG i : s.index) args.push_back(longValue(i));
        std::vector<VARIANT> putArgs = args;
        putArgs.push_back(longValue(s.put));
        ASSERT_EQ(invoke(s.dispatch, s.name, DISPATCH_PROPERTYPUT, putArgs, nullptr), S_OK);
        Var result;
        ASSERT_EQ(invoke(s.dispatch, s.name, DISPATCH_PROPERTYGET, args, result.get()), S_OK);
        ASSERT_EQ(VariantChangeType(result.get(), result.get(), 0, VT_I4), S_OK);
        EXPECT_EQ(V_I4(result.get()), s.expected);
    }
    // Text arguments are coerced to the declared long by the dispatch layer.
    Var pinName;
    VARIANT pin = textValue(L"3");
    ASSERT_EQ(invoke(d.hostDispatch.get(), L"PinName", DISPATCH_PROPERTYGET, {pin}, pinName.get()), S_OK);
    VariantClear(&pin);
    ASSERT_EQ(V_VT(pinName.get()), VT_BSTR);
    EXPECT_STREQ(V_BSTR(pinName.get()), L"Anode 0");
}

TEST(Dispatch, CoreErrorsBecomeExceptionsWithTheirCode) {
    Dispatchers d;
    open(d);
    struct Row {
        const char* what;
        IDispatch* dispatch;
        const wchar_t* name;
        WORD flags;
        std::vector<LONG> args;
        HRESULT code;
        const wchar_t* description;
    };
    const Row rows[] = {
        {"host version too large",
         d.hostDispatch.get(),
         L"QuorvaneVersion",
         DISPATCH_PROPERTYPUT,
         {8388608},
         kOverflow,
         L"Overflow"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<VARIANT> args;
        for (LONG a : r.args) args.push_back(longValue(a));
        EXCEPINFO info{};
        Var result;
        EXPECT_EQ(invoke(r.dispatch, r.name, r.flags, args, result.get(), &info), DISP_E_EXCEPTION);
        EXPECT_EQ(info.scode, r.code);
        EXPECT_STREQ(info.bstrDescription, r.description);
        EXPECT_STREQ(info.bstrSource, L"Quorvane_ARM_7seg4.led7seg4");
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
    }
}

TEST(Dispatch, VtableErrorsCarryAnErrorInfo) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<ISupportErrorInfo> support;
    ASSERT_EQ(host.query(support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IQuorvaneComponentV4), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__led7seg4), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IPersistStreamInit), S_FALSE);

    struct Row {
        const char* what;
        HRESULT (*call)(IQuorvaneComponentV4*);
        HRESULT code;
        const wchar_t* description;
    };
    const Row rows[] = {
        {"overflow", [](IQuorvaneComponentV4* h) { return h->put_QuorvaneVersion(8388608); }, kOverflow,
         L"Overflow"},
        {"null result", [](IQuorvaneComponentV4* h) { return h->get_PinCount(nullptr); }, E_POINTER,
         L"Invalid pointer"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(r.call(host.get()), r.code);
        Ref<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
        BSTR description = nullptr;
        info->GetDescription(&description);
        EXPECT_STREQ(description, r.description);
        SysFreeString(description);
        GUID guid{};
        info->GetGUID(&guid);
        EXPECT_TRUE(IsEqualGUID(guid, IID_IQuorvaneComponentV4));
    }
}

TEST(Dispatch, ControlWithoutPinTableFailsPinMembersBySubscript) {
    // A control that never got InitNew (nor Load) has no pin table: every per-pin member fails
    // with the subscript error.
    Ref<IQuorvaneComponentV4> host;
    ASSERT_EQ(CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvaneComponentV4,
                               host.putVoid()),
              S_OK);
    LONG v = 0;
    EXPECT_EQ(host->get_PinCount(&v), S_OK);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(host->get_Port(0, &v), kSubscript);
    EXPECT_EQ(host->get_ConnectedOK(&v), kSubscript);
}

TEST(Dispatch, TypeInformationDescribesEachInterface) {
    Dispatchers d;
    open(d);
    struct Row {
        IDispatch* dispatch;
        const IID* iid;
        const wchar_t* name;
    };
    const Row rows[] = {{d.hostDispatch.get(), &IID_IQuorvaneComponentV4, L"IQuorvaneComponentV4"},
                        {d.defaultDispatch.get(), &IID__led7seg4, L"_led7seg4"}};
    for (const Row& r : rows) {
        UINT count = 0;
        EXPECT_EQ(r.dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        Ref<ITypeInfo> info;
        ASSERT_EQ(r.dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(IsEqualGUID(attr->guid, *r.iid));
        info->ReleaseTypeAttr(attr);
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(name, r.name);
        SysFreeString(name);
        Ref<ITypeInfo> none;
        EXPECT_EQ(r.dispatch->GetTypeInfo(1, 0, none.put()), DISP_E_BADINDEX);
    }
}

} // namespace
} // namespace seg4::wine
