// The control's one connection point, for its default source interface (which has no events),
// and the enumerator over it.
#pragma once

#include <ocidl.h>

namespace seg4::com {

class ControlObject;

HRESULT createEventPoint(ControlObject* control, IConnectionPoint** point);
HRESULT createEventPointEnumerator(ControlObject* control, IEnumConnectionPoints** points);

} // namespace seg4::com
