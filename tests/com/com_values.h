// The tests' own view of automation values: sample values of the core, and a comparison of a
// VARIANT with a core Variant written apart from the module's bridge, so that a fault in the
// bridge shows up as a difference.
#pragma once

#include "automation/variant.h"

#include <oaidl.h>

#include <gtest/gtest.h>

#include <vector>

namespace seg4::wine {

/// Values the host passes: nothing, numbers, text, pin levels, macro parameters, arrays with a
/// lower bound other than 0 and a typed array that holds no array.
const std::vector<Variant>& sampleValues();

/// Whether a VARIANT holds the same value as a core Variant (type bits, bounds, elements).
testing::AssertionResult sameValue(const VARIANT& com, const Variant& core);

/// A one-dimensional SAFEARRAY of `vt` with `lower` bound, filled by `fill(element pointer, i)`.
SAFEARRAY* makeArray(VARTYPE vt, LONG lower, ULONG count, void (*fill)(void* element, ULONG index));

} // namespace seg4::wine
