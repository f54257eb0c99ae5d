// The tests' own view of automation values: a set of sample values built both as VARIANTs and as
// core Variants, and a comparison of the two forms. Written apart from the module's bridge, so
// that a fault in the bridge shows up as a difference.
#pragma once

#include "automation/variant.h"

#include <oaidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace seg4::wine {

/// One sample value in both forms.
struct ValueCase {
    std::string name;
    VARIANT (*makeCom)(); // a fresh VARIANT the caller owns
    Variant (*makeCore)();
};

/// Values the host passes: nothing, numbers, text, pin levels, macro parameters, arrays with a
/// lower bound other than 0 and typed arrays.
const std::vector<ValueCase>& valueCases();

/// Whether a VARIANT holds the same value as a core Variant (type bits, bounds, elements).
testing::AssertionResult sameValue(const VARIANT& com, const Variant& core);

/// A one-dimensional SAFEARRAY of `vt` with `lower` bound, filled by `fill(element pointer, i)`.
SAFEARRAY* makeArray(VARTYPE vt, LONG lower, ULONG count, void (*fill)(void* element, ULONG index));

} // namespace seg4::wine
