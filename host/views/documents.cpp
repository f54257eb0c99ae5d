// Saving and loading host documents as JSON.
#include "views/documents.h"

#include "automation/conversions.h"
#include "automation/errors.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace qhost {

using nlohmann::json;
using seg4::Variant;
using seg4::VarType;

namespace {

bool sameKey(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

json valueToJson(const Variant& value) {
    const Variant& v = value.deref();
    if (v.isArray()) throw std::runtime_error("an array cannot be stored in a document entry");
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return nullptr;
    case VarType::Bool: return v.asBool();
    case VarType::String: return seg4::toUtf8(v.asString());
    case VarType::UI1:
    case VarType::UI2:
    case VarType::UI4:
    case VarType::UI8: return v.asUnsigned();
    case VarType::R4:
    case VarType::R8:
    case VarType::Date: return v.asDouble();
    case VarType::Currency: return static_cast<double>(v.asCurrencyScaled()) / 10000.0;
    default: return v.asSigned();
    }
}

/// The value an entry of `type` holding `j` stands for; a mismatch gives the nearest value and
/// a warning, so the control's own conversion decides whether the entry loads.
Variant valueFromJson(const std::string& type, const json& j, std::string& warning) {
    auto number = [&]() -> double {
        if (j.is_number()) return j.get<double>();
        warning = "a " + type + " entry holds " + j.dump();
        return std::nan("");
    };
    auto whole = [&](double lo, double hi) -> bool {
        const double d = number();
        if (!std::isfinite(d) || d != std::floor(d) || d < lo || d > hi) {
            if (warning.empty()) warning = "value " + j.dump() + " does not fit a " + type;
            return false;
        }
        return true;
    };
    auto nearest = [&]() -> Variant {
        if (j.is_string()) return Variant::string(seg4::fromUtf8(j.get<std::string>()));
        if (j.is_boolean()) return Variant::boolean(j.get<bool>());
        if (j.is_number()) return Variant::r8(j.get<double>());
        if (j.is_null()) return Variant::null();
        return Variant::string(seg4::fromUtf8(j.dump()));
    };
    if (type == "Empty") return Variant();
    if (type == "Null") return Variant::null();
    if (type == "Integer")
        return whole(-32768, 32767) ? Variant::i2(static_cast<std::int16_t>(j.get<double>())) : nearest();
    if (type == "Long")
        return whole(-2147483648.0, 2147483647.0) ? Variant::i4(static_cast<std::int32_t>(j.get<double>()))
                                                  : nearest();
    if (type == "Byte")
        return whole(0, 255) ? Variant::ui1(static_cast<std::uint8_t>(j.get<double>())) : nearest();
    if (type == "Single" || type == "Double" || type == "Currency") {
        const double d = number();
        if (!warning.empty()) return nearest();
        if (type == "Single") return Variant::r4(static_cast<float>(d));
        if (type == "Currency")
            return Variant::currency(static_cast<std::int64_t>(std::llround(d * 10000.0)));
        return Variant::r8(d);
    }
    if (type == "String") {
        if (j.is_string()) return Variant::string(seg4::fromUtf8(j.get<std::string>()));
        warning = "a String entry holds " + j.dump();
        return nearest();
    }
    if (type == "Boolean") {
        if (j.is_boolean()) return Variant::boolean(j.get<bool>());
        warning = "a Boolean entry holds " + j.dump();
        return nearest();
    }
    warning = "unknown type \"" + type + "\"";
    return nearest();
}

} // namespace

namespace {
std::vector<DocumentDisplay> readDocumentImpl(const std::string& text, std::vector<std::string>& warnings);
} // namespace

Variant OrderedBag::ReadProperty(const std::u16string& name, const Variant& defaultValue) {
    lastRead = name;
    for (const auto& [key, value] : entries)
        if (sameKey(key, name)) return value;
    return defaultValue;
}

void OrderedBag::WriteProperty(const std::u16string& name, const Variant& value) {
    for (auto& [key, stored] : entries) {
        if (sameKey(key, name)) {
            stored = value.deref();
            return;
        }
    }
    entries.emplace_back(name, value.deref());
}

std::string documentToJson(const std::vector<DocumentDisplay>& displays) {
    json doc;
    doc["format"] = "qhost-document";
    doc["version"] = 1;
    doc["displays"] = json::array();
    for (const auto& d : displays) {
        json entries = json::array();
        for (const auto& [key, value] : d.bag.entries) {
            entries.push_back({{"key", seg4::toUtf8(key)},
                               {"type", seg4::toUtf8(seg4::typeName(value))},
                               {"value", valueToJson(value)}});
        }
        doc["displays"].push_back({{"name", d.name}, {"properties", entries}});
    }
    return doc.dump(2) + "\n";
}

std::vector<DocumentDisplay> documentFromJson(const std::string& text, std::vector<std::string>& warnings) {
    try {
        return readDocumentImpl(text, warnings);
    } catch (const json::exception& e) {
        // Anything the checks below did not foresee is still a malformed document, not a crash.
        throw std::runtime_error(std::string("malformed document: ") + e.what());
    }
}

namespace {

std::vector<DocumentDisplay> readDocumentImpl(const std::string& text, std::vector<std::string>& warnings) {
    json doc;
    try {
        // A document is an object of display lists of entry objects: five levels with a value that
        // is itself a list or object. Anything deeper is refused while it is read, before a deep
        // tree exists that copying or printing would walk recursively.
        constexpr int kMaxDepth = 6;
        doc = json::parse(text, [](int depth, json::parse_event_t event, json&) {
            if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
                depth >= kMaxDepth)
                throw std::runtime_error("the document nests deeper than a qhost document does (" +
                                         std::to_string(kMaxDepth) + " levels at most)");
            return true;
        });
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("not a JSON document: ") + e.what());
    }
    if (!doc.is_object() || doc.value("format", json()) != "qhost-document")
        throw std::runtime_error("not a qhost document (\"format\": \"qhost-document\" is missing)");
    if (!doc.contains("displays") || !doc["displays"].is_array())
        throw std::runtime_error("the document has no \"displays\" list");
    std::vector<DocumentDisplay> displays;
    for (const json& d : doc["displays"]) {
        if (!d.is_object() || !d.contains("name") || !d["name"].is_string())
            throw std::runtime_error("a display without a \"name\"");
        DocumentDisplay out;
        out.name = d["name"].get<std::string>();
        if (d.contains("properties") && !d["properties"].is_array())
            throw std::runtime_error("display \"" + out.name + "\": \"properties\" is not a list");
        for (const json& p : d.value("properties", json::array())) {
            if (!p.is_object() || !p.contains("key") || !p["key"].is_string())
                throw std::runtime_error("display \"" + out.name + "\": an entry without a \"key\"");
            const std::string key = p["key"].get<std::string>();
            const json& typeField = p.contains("type") ? p["type"] : json("Variant");
            if (!typeField.is_string())
                throw std::runtime_error("display \"" + out.name + "\", key \"" + key +
                                         "\": \"type\" is not a name");
            const std::string type = typeField.get<std::string>();
            std::string warning;
            Variant value = valueFromJson(type, p.value("value", json()), warning);
            if (!warning.empty())
                warnings.push_back("display \"" + out.name + "\", key \"" + key + "\": " + warning);
            out.bag.entries.emplace_back(seg4::fromUtf8(key), std::move(value));
        }
        displays.push_back(std::move(out));
    }
    return displays;
}

} // namespace

} // namespace qhost
