// The identity of the registered module, read as a host reads it: the class behind the control's
// ProgID, the member names of the registered type libraries in call-table order, and the module
// file's version block. Nothing here comes from qhost's own copy of the tables, so a module that
// disagrees with them shows it.
#include "com_backend.h"
#include "com_kit.h"
#include "com_session.h"

#include "automation/conversions.h"

#include <oleauto.h>
#include <winver.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include <algorithm>
#include <vector>

namespace qhost {

using seg4::com::ComPtr;

namespace {

/// The ProgID under which the module registers the display, as a host creates it by name.
constexpr wchar_t kDisplayProgId[] = L"Quorvane_ARM_7seg4.led7seg4";

/// IUnknown's three and IDispatch's four functions come before an interface's own.
constexpr UINT kDispatchSlots = 7;

/// The vtable side of an interface of a registered library (a dual interface is found by its
/// dispatch side first).
ComPtr<ITypeInfo> interfaceInfo(const GUID& library, WORD lcid, const IID& iid) {
    ComPtr<ITypeLib> lib;
    check(LoadRegTypeLib(library, 1, 0, lcid, lib.put()));
    ComPtr<ITypeInfo> info;
    check(lib->GetTypeInfoOfGuid(iid, info.put()));
    TYPEATTR* attr = nullptr;
    check(info->GetTypeAttr(&attr));
    const TYPEKIND kind = attr->typekind;
    info->ReleaseTypeAttr(attr);
    if (kind != TKIND_DISPATCH) return info;
    HREFTYPE vtableSide = 0;
    check(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableSide));
    ComPtr<ITypeInfo> side;
    check(info->GetRefTypeInfo(vtableSide, side.put()));
    return side;
}

} // namespace

std::string ComBackend::classId() {
    CLSID clsid{};
    check(CLSIDFromProgID(kDisplayProgId, &clsid));
    wchar_t text[40] = {};
    if (StringFromGUID2(clsid, text, 40) == 0) check(E_OUTOFMEMORY);
    return seg4::toUtf8(fromWide(text));
}

std::string ComBackend::memberName(bool hostInterface, std::int32_t position) {
    const ComPtr<ITypeInfo> info = hostInterface
                                       ? interfaceInfo(LIBID_QuorvaneCompV4Lib, 0, IID_IQuorvaneComponentV4)
                                       : interfaceInfo(LIBID_Quorvane_ARM_7seg4, 0x409, IID__led7seg4);
    if (position < 1) return {};
    TYPEATTR* attr = nullptr;
    check(info->GetTypeAttr(&attr));
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    // The function whose vtable slot is that position after IDispatch's.
    const auto slot = static_cast<std::size_t>(position) + kDispatchSlots - 1;
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        check(info->GetFuncDesc(i, &f));
        const auto at = static_cast<std::size_t>(f->oVft) / sizeof(void*);
        const MEMBERID id = f->memid;
        info->ReleaseFuncDesc(f);
        if (at != slot) continue;
        BSTR name = nullptr;
        check(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr));
        const std::string text = seg4::toUtf8(fromWide(std::wstring_view(name, SysStringLen(name))));
        SysFreeString(name);
        return text;
    }
    return {};
}

std::string ComBackend::fileVersion() {
    const std::wstring module = wide(registeredModulePath());
    if (module.empty()) check(REGDB_E_CLASSNOTREG);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(module.c_str(), &ignored);
    if (size == 0) check(HRESULT_FROM_WIN32(GetLastError()));
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(module.c_str(), 0, size, block.data()))
        check(HRESULT_FROM_WIN32(GetLastError()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        check(E_FAIL);
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

} // namespace qhost
