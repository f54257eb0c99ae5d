// The container's property bag, as the control reads and writes its stored settings.
#pragma once

#include "automation/variant.h"

#include <string>

namespace seg4 {

class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    /// The stored value of `name`, or `defaultValue` when the bag holds no such entry.
    virtual Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) = 0;
    /// Stores `value` under `name`. Without a default the bag always keeps the entry.
    virtual void WriteProperty(const std::u16string& name, const Variant& value) = 0;
};

} // namespace seg4
