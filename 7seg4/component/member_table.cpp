// Names of the automation types in the member tables, as the IDL spells them.
#include "component/member_table.h"

namespace seg4 {

std::string_view valueKindName(ValueKind kind) {
    switch (kind) {
    case ValueKind::Void: return "void";
    case ValueKind::Short: return "short";
    case ValueKind::Long: return "long";
    case ValueKind::String: return "BSTR";
    case ValueKind::Variant: return "VARIANT";
    case ValueKind::ShortRef: return "short*";
    case ValueKind::LongRef: return "long*";
    case ValueKind::StringRef: return "BSTR*";
    case ValueKind::VariantRef: return "VARIANT*";
    }
    return "?";
}

} // namespace seg4
