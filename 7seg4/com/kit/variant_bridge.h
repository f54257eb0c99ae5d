// The one place where automation VARIANTs and SAFEARRAYs become the core's Variant and back.
//
// Every VARTYPE the core knows crosses (arrays of one dimension with their bounds, by-reference
// values, an array type that holds no array); anything else is the core's type-mismatch error.
#pragma once

#include "automation/variant.h"

#include <oaidl.h>

#include <deque>

namespace seg4::com {

/// The caller's by-reference locations met while converting arguments. A by-reference VARIANT
/// becomes a core reference to a holder kept here, a typed one (Variant::typedRef) unless it
/// refers to a VARIANT; writeBack() stores the holders' values (converted to the referenced
/// type) back where the caller's references point.
class ByRefTargets {
public:
    ByRefTargets() = default;
    ByRefTargets(const ByRefTargets&) = delete;
    ByRefTargets& operator=(const ByRefTargets&) = delete;

    /// The value of `v`. Throws ComError(hr::TypeMismatch) for a type the core does not know.
    Variant convertIn(const VARIANT& v);
    /// Writes every holder back through its reference. Throws like the core's conversions when
    /// a holder no longer fits the referenced type.
    void writeBack();
    /// Whether the core changed the value of any holder.
    bool changed() const;

private:
    struct Target {
        VARTYPE vt; // the referenced type, without VT_BYREF
        void* location;
        Variant value;
        Variant original;
    };
    std::deque<Target> targets_; // a deque: holders never move, the core keeps pointers to them
};

/// Fills `out` (whose previous content is ignored, not freed) with `value`; a core reference is
/// written as the value it refers to. Throws ComError(hr::TypeMismatch) for a value that has no
/// VARIANT form and std::bad_alloc when memory runs out; `out` is VT_EMPTY after a failure.
void toVariant(const Variant& value, VARIANT& out);

/// An [in, out] VARIANT argument: the core works on `get()`, commit() stores the result in the
/// caller's VARIANT (freeing what it held) and writes by-reference targets back.
class InOutVariant {
public:
    explicit InOutVariant(VARIANT* p);
    Variant& get() { return value_; }
    void commit();
    /// Whether the core wrote the argument (replaced it or changed what it refers to).
    bool written() const { return value_ != original_ || refs_.changed(); }

private:
    VARIANT* p_;
    ByRefTargets refs_;
    Variant value_;
    Variant original_; // to see whether the core replaced a by-reference value
};

} // namespace seg4::com
