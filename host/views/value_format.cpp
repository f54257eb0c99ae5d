// One-line literal printing of automation values.
#include "views/value_format.h"

#include "automation/conversions.h"

#include <vector>

namespace qhost {

using seg4::Variant;
using seg4::VarType;

std::string typeWord(VarType type) {
    switch (type) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::I1: return "SByte";
    case VarType::UI1: return "Byte";
    case VarType::I2: return "Integer";
    case VarType::UI2: return "UShort";
    case VarType::I4: return "Long";
    case VarType::UI4: return "ULong";
    case VarType::I8: return "LongLong";
    case VarType::UI8: return "ULongLong";
    case VarType::R4: return "Single";
    case VarType::R8: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Error: return "Error";
    case VarType::Object: return "Object";
    case VarType::Bool: return "Boolean";
    case VarType::Variant: return "Variant";
    }
    return "Unknown";
}

std::string formatString(const std::u16string& text) {
    // Control characters leave the quotes and join as named constants, so a literal never spans
    // lines: "a" & vbCrLf & "b".
    std::vector<std::string> parts;
    std::string chunk;
    bool inChunk = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0x20 && c != 0x7F) {
            inChunk = true;
            chunk += c == u'"' ? std::string("\"\"") : seg4::toUtf8(std::u16string_view(&text[i], 1));
            continue;
        }
        if (inChunk) parts.push_back("\"" + chunk + "\"");
        chunk.clear();
        inChunk = false;
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            parts.emplace_back("vbCrLf");
            ++i;
        } else if (c == u'\r') {
            parts.emplace_back("vbCr");
        } else if (c == u'\n') {
            parts.emplace_back("vbLf");
        } else if (c == u'\t') {
            parts.emplace_back("vbTab");
        } else {
            parts.push_back("Chr(" + std::to_string(static_cast<int>(c)) + ")");
        }
    }
    if (inChunk || parts.empty()) parts.push_back("\"" + chunk + "\"");
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? " & " : "") + parts[i];
    return out;
}

namespace {

std::string scalar(const Variant& v, bool inArray) {
    switch (v.type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::I2: return std::to_string(v.asSigned()) + (inArray ? "" : "%");
    case VarType::I4: return std::to_string(v.asSigned());
    case VarType::I8: return std::to_string(v.asSigned()) + "^";
    case VarType::I1: return "CSByte(" + std::to_string(v.asSigned()) + ")";
    case VarType::UI1:
        return inArray ? std::to_string(v.asUnsigned()) : "CByte(" + std::to_string(v.asUnsigned()) + ")";
    case VarType::UI2: return "CUShort(" + std::to_string(v.asUnsigned()) + ")";
    case VarType::UI4: return "CULong(" + std::to_string(v.asUnsigned()) + ")";
    case VarType::UI8: return "CULongLong(" + std::to_string(v.asUnsigned()) + ")";
    case VarType::R4: return seg4::toUtf8(seg4::toString(v)) + "!";
    case VarType::R8: {
        std::string s = seg4::toUtf8(seg4::toString(v));
        if (s.find_first_of(".E") == std::string::npos) s += "#";
        return s;
    }
    case VarType::Currency: return seg4::toUtf8(seg4::toString(v)) + "@";
    case VarType::Date: return "CDate(" + seg4::toUtf8(seg4::toString(Variant::r8(v.asDouble()))) + ")";
    case VarType::String: return formatString(v.asString());
    case VarType::Error: return "CVErr(" + std::to_string(v.asSigned()) + ")";
    case VarType::Object: return "Object"; // a caller's object: nothing of it is held to show
    case VarType::Bool:
        if (inArray) return v.asBool() ? "-1" : "0";
        return v.asBool() ? "True" : "False";
    case VarType::Variant: break;
    }
    return "?";
}

} // namespace

std::string formatValue(const Variant& value) {
    const Variant& v = value.deref();
    if (!v.isArray()) return scalar(v, false);
    const seg4::SafeArray* a = v.arrayData();
    const std::string type = typeWord(v.type());
    if (!a) return type + "() (no array)";
    // Elements of a typed array are shown bare; those of a Variant array keep their type marks.
    auto element = [&](const Variant& stored) {
        const Variant& e = stored.deref();
        return e.isArray() ? formatValue(e) : scalar(e, v.type() != VarType::Variant);
    };
    if (a->dimensionCount() == 2) {
        // Row by row: one brace per value of the first index, holding its row along the second.
        const seg4::ArrayDimension rows = a->dimensions[0], columns = a->dimensions[1];
        std::string out = type + "(" + std::to_string(a->lower(1)) + " To " + std::to_string(a->upper(1)) +
                          ", " + std::to_string(a->lower(2)) + " To " + std::to_string(a->upper(2)) + ") {";
        for (std::int32_t r = 0; r < rows.count; ++r) {
            out += r ? ", {" : "{";
            for (std::int32_t c = 0; c < columns.count; ++c) {
                if (c) out += ", ";
                out +=
                    element(a->elements[static_cast<std::size_t>(c) * static_cast<std::size_t>(rows.count) +
                                        static_cast<std::size_t>(r)]);
            }
            out += "}";
        }
        return out + "}";
    }
    std::string out =
        type + "(" + std::to_string(a->lowerBound) + " To " + std::to_string(a->upperBound()) + ") {";
    for (std::size_t i = 0; i < a->elements.size(); ++i) {
        if (i) out += ", ";
        out += element(a->elements[i]);
    }
    return out + "}";
}

} // namespace qhost
