#include "dispatch_call.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "com_kit.h"

#include <oleauto.h>

#include <string>

namespace qhost {

using seg4::ComError;
using seg4::MemberInfo;
using seg4::MemberKind;
using seg4::ValueKind;
using seg4::Variant;
using seg4::com::Bstr;
using seg4::com::VariantHolder;

namespace {

VARTYPE comType(ValueKind kind) {
    switch (kind) {
    case ValueKind::Short:
    case ValueKind::ShortRef: return VT_I2;
    case ValueKind::Long:
    case ValueKind::LongRef: return VT_I4;
    case ValueKind::String:
    case ValueKind::StringRef: return VT_BSTR;
    default: return VT_VARIANT;
    }
}

bool isByReference(ValueKind kind) {
    return kind == ValueKind::ShortRef || kind == ValueKind::LongRef || kind == ValueKind::StringRef ||
           kind == ValueKind::VariantRef;
}

/// The arguments of one Invoke, right to left as DISPPARAMS holds them, with the storage that
/// by-reference arguments point into. Everything is freed when the call is over.
class Arguments {
public:
    explicit Arguments(std::size_t count) : values_(count), slots_(count) {
        for (VARIANTARG& v : values_) VariantInit(&v);
        for (Slot& s : slots_) VariantInit(&s.variant);
    }
    ~Arguments() {
        for (VARIANTARG& v : values_) VariantClear(&v);
        for (Slot& s : slots_) {
            VariantClear(&s.variant);
            SysFreeString(s.text);
        }
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    /// Argument `i` from the left.
    VARIANTARG& value(std::size_t i) { return values_[values_.size() - 1 - i]; }
    VARIANTARG* data() { return values_.empty() ? nullptr : values_.data(); }

    struct Slot {
        SHORT shortValue = 0;
        LONG longValue = 0;
        BSTR text = nullptr;
        VARIANT variant;
    };
    Slot& slot(std::size_t i) { return slots_[i]; }

private:
    std::vector<VARIANTARG> values_;
    std::vector<Slot> slots_; // sized once: by-reference arguments point into it
};

/// The member's argument `i` of a by-reference kind, converted as the caller's runtime converts
/// a variable it passes by reference. A value that does not convert fails the call as Invoke
/// would: with the first argument from the left that does not convert.
template <typename F>
auto coerceByReference(Arguments& args, const MemberInfo& member, std::size_t i, F convert) {
    try {
        return convert();
    } catch (const ComError& e) {
        // Invoke converts the by-value arguments, left to right, before it calls; one of them
        // further left that does not convert is the error the caller sees.
        for (std::size_t j = 0; j < i; ++j) {
            if (isByReference(member.args[j]) || comType(member.args[j]) == VT_VARIANT) continue;
            VariantHolder converted;
            const HRESULT hr = VariantChangeType(converted.get(), &args.value(j), 0, comType(member.args[j]));
            if (FAILED(hr)) seg4::raise(hr);
        }
        seg4::raise(e.code() == seg4::hr::Overflow ? seg4::hr::DispOverflow : seg4::hr::DispTypeMismatch);
    }
}

void prepareArgument(Arguments& args, const MemberInfo& member, std::size_t i, const Variant& value) {
    VARIANTARG& arg = args.value(i);
    Arguments::Slot& slot = args.slot(i);
    switch (member.args[i]) {
    case ValueKind::ShortRef:
        slot.shortValue = coerceByReference(args, member, i, [&] { return seg4::toInteger(value); });
        V_VT(&arg) = VT_I2 | VT_BYREF;
        V_I2REF(&arg) = &slot.shortValue;
        break;
    case ValueKind::LongRef:
        slot.longValue = coerceByReference(args, member, i, [&] { return seg4::toLong(value); });
        V_VT(&arg) = VT_I4 | VT_BYREF;
        V_I4REF(&arg) = &slot.longValue;
        break;
    case ValueKind::StringRef:
        slot.text = Bstr::allocate(coerceByReference(args, member, i, [&] { return seg4::toString(value); }));
        V_VT(&arg) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&arg) = &slot.text;
        break;
    case ValueKind::VariantRef:
        seg4::com::toVariant(value, slot.variant);
        V_VT(&arg) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&arg) = &slot.variant;
        break;
    default: seg4::com::toVariant(value, arg); break; // Invoke converts it to the member's type
    }
}

/// The caller's variable after the member wrote through its reference.
Variant writtenBack(ValueKind kind, Arguments::Slot& slot) {
    switch (kind) {
    case ValueKind::ShortRef: return Variant::i2(slot.shortValue);
    case ValueKind::LongRef: return Variant::i4(slot.longValue);
    case ValueKind::StringRef: return Variant::string(Bstr::text(slot.text));
    default: {
        seg4::com::ByRefTargets refs;
        return refs.convertIn(slot.variant).deref();
    }
    }
}

DISPID dispatchId(Shared& shared, IDispatch* target, bool hostInterface, std::string_view name) {
    const auto key = std::make_pair(hostInterface, name);
    if (auto it = shared.ids.find(key); it != shared.ids.end()) return it->second;
    std::wstring text(name.begin(), name.end());
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) seg4::raise(hr);
    shared.ids.emplace(key, id);
    return id;
}

/// A failed Invoke as the caller's runtime reports it: the member's own error from EXCEPINFO,
/// any other result with its usual text.
[[noreturn]] void raiseInvokeFailure(HRESULT hr, EXCEPINFO& exception) {
    if (hr != DISP_E_EXCEPTION) seg4::raise(hr);
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    const Bstr source = Bstr::adopt(exception.bstrSource);
    const Bstr helpFile = Bstr::adopt(exception.bstrHelpFile);
    const Bstr description = Bstr::adopt(exception.bstrDescription);
    const seg4::HResult code = exception.scode != 0 ? exception.scode : seg4::hr::DispException;
    std::u16string text = description.text();
    if (text.empty()) text = seg4::describeHResult(code);
    seg4::raise(code, std::move(text));
}

} // namespace

Variant callByName(Shared& shared, IDispatch* target, bool hostInterface, const MemberInfo& member,
                   std::vector<Variant*>& args) {
    if (args.size() != member.args.size()) seg4::raise(seg4::hr::InvalidArgument);
    const DISPID id = dispatchId(shared, target, hostInterface, member.name);

    Arguments list(args.size());
    std::vector<Variant> passed(args.size()); // what each by-reference argument held before
    for (std::size_t i = 0; i < args.size(); ++i) {
        prepareArgument(list, member, i, args[i]->deref());
        if (isByReference(member.args[i])) passed[i] = writtenBack(member.args[i], list.slot(i));
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{list.data(), nullptr, static_cast<UINT>(args.size()), 0};
    WORD flags = DISPATCH_METHOD;
    if (member.kind == MemberKind::Get) flags = DISPATCH_PROPERTYGET;
    if (member.kind == MemberKind::Put) {
        flags = DISPATCH_PROPERTYPUT;
        params.rgdispidNamedArgs = &named; // the value, the last argument
        params.cNamedArgs = 1;
    }

    VariantHolder result;
    EXCEPINFO exception{};
    UINT wrongArgument = 0;
    HRESULT hr = S_OK;
    {
        CallScope scope(shared);
        hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &exception,
                            &wrongArgument);
    }
    if (FAILED(hr)) {
        // A member that failed part-way keeps what it wrote before (SHOW_DIGIT's cycle count).
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (!isByReference(member.args[i])) continue;
            Variant after = writtenBack(member.args[i], list.slot(i));
            if (after != passed[i]) args[i]->deref() = std::move(after);
        }
        raiseInvokeFailure(hr, exception);
    }

    for (std::size_t i = 0; i < args.size(); ++i)
        if (isByReference(member.args[i])) args[i]->deref() = writtenBack(member.args[i], list.slot(i));
    if (member.result == ValueKind::Void) return Variant();
    seg4::com::ByRefTargets refs;
    return refs.convertIn(*result.get()).deref();
}

} // namespace qhost
