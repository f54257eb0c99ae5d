// Type information read from the module's embedded type libraries (see also facets.h).
#pragma once

#include <oaidl.h>

namespace seg4::com {

/// The type information of the coclass led7seg4 (a new reference).
HRESULT controlClassInfo(ITypeInfo** info);

/// The dispatch description of the property page's interface _ppg7seg4 (a new reference).
HRESULT pageInterfaceInfo(ITypeInfo** info);

/// What every IDispatch of the module checks before the system's type information sees the
/// arguments (which reads through them unchecked): E_INVALIDARG for a missing name array or
/// name, E_POINTER for a missing id array. Each id is DISPID_UNKNOWN until it is looked up.
HRESULT checkNameLookup(LPOLESTR* names, UINT count, DISPID* ids);

/// The same for Invoke: the parameter block and the arrays its counts promise.
HRESULT checkInvokeParameters(const DISPPARAMS* params);

/// Invoke through the interface's type information, with what a client of Windows' dispatcher
/// relies on: more arguments than the member has parameters is DISP_E_BADPARAMCOUNT, a named argument that
/// names no parameter of the member is DISP_E_PARAMNOTFOUND, and on DISP_E_TYPEMISMATCH *argError is the
/// index in rgvarg of the first argument (in the caller's order) that does not convert to its parameter.
/// Wine's dispatcher leaves both open.
HRESULT invokeThroughTypeInfo(void* self, ITypeInfo* info, DISPID member, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError);

/// Forgets the cached libraries; only when no object of the module is left.
void releaseTypeInformation();

} // namespace seg4::com
