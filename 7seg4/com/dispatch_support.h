// Type information read from the module's embedded type libraries (see also facets.h).
#pragma once

#include <oaidl.h>

namespace seg4::com {

/// The type information of the coclass led7seg4 (a new reference).
HRESULT controlClassInfo(ITypeInfo** info);

/// The dispatch description of the property page's interface _ppg7seg4 (a new reference).
HRESULT pageInterfaceInfo(ITypeInfo** info);

/// Forgets the cached libraries; only when no object of the module is left.
void releaseTypeInformation();

} // namespace seg4::com
