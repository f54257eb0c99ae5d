// Storing the control: IPersistPropertyBag over the container's bag, and IPersistStreamInit
// over a small stream format of the same named entries.
//
// Stream format (little-endian): "S4PB", a 16-bit version (1), a 32-bit entry count, then per
// entry a 32-bit name length, the name in UTF-16, and the value as VARIANT type (16 bits) plus
// payload: nothing for Empty and Null, 8 bytes for every number, date and currency, 2 bytes for
// a Boolean, a 32-bit length and UTF-16 text for a string. Arrays are not stored (the control
// writes numbers only). A malformed stream fails the load before anything is applied; Load
// reads no further than the control's data, where a container may store its own after it.
#include "control_object.h"

#include "automation/errors.h"
#include "persistence/property_bag.h"
#include "variant_bridge.h"

#include <ARM_7seg4.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace seg4::com {

namespace {

/// The container's IPropertyBag as the core sees a property bag.
class ContainerBag : public PropertyBag {
public:
    ContainerBag(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}

    Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
        VariantHolder value;
        const std::wstring key(name.begin(), name.end());
        const HRESULT hr = bag_->Read(key.c_str(), value.get(), log_);
        // E_INVALIDARG is the bag's "no such property"; anything else is a failure of the bag.
        if (hr == E_INVALIDARG) return defaultValue;
        if (FAILED(hr)) raise(hr);
        ByRefTargets refs;
        const Variant v = refs.convertIn(*value.get());
        return v.deref();
    }

    void WriteProperty(const std::u16string& name, const Variant& value) override {
        VariantHolder v;
        toVariant(value, *v.put());
        const std::wstring key(name.begin(), name.end());
        const HRESULT hr = bag_->Write(key.c_str(), v.get());
        if (FAILED(hr)) raise(hr);
    }

private:
    IPropertyBag* bag_;
    IErrorLog* log_;
};

/// Entries in the order the control wrote them (or the stream held them).
class MemoryBag : public PropertyBag {
public:
    Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
        for (const auto& [key, value] : entries)
            if (key == name) return value;
        return defaultValue;
    }
    void WriteProperty(const std::u16string& name, const Variant& value) override {
        entries.emplace_back(name, value.deref());
    }
    std::vector<std::pair<std::u16string, Variant>> entries;
};

constexpr char kMagic[4] = {'S', '4', 'P', 'B'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint32_t kMaxText = 1u << 20; // longer names or strings mean a damaged stream

class Writer {
public:
    template <class T>
    void put(T v) {
        const std::size_t at = bytes.size();
        bytes.resize(at + sizeof v);
        std::memcpy(bytes.data() + at, &v, sizeof v);
    }
    void text(const std::u16string& s) {
        put(static_cast<std::uint32_t>(s.size()));
        for (char16_t c : s) put(static_cast<std::uint16_t>(c));
    }
    std::vector<unsigned char> bytes;
};

/// Reads the stream exactly as far as the control's data goes: a container may keep its own
/// data after the control's in the same stream, and reads on from where Load stops.
class Reader {
public:
    explicit Reader(IStream* stream) : stream_(stream) {}
    template <class T>
    T get() {
        T v;
        read(&v, sizeof v);
        return v;
    }
    std::u16string text() {
        const auto n = get<std::uint32_t>();
        if (n > kMaxText) raise(STG_E_READFAULT);
        std::vector<std::uint16_t> units(n);
        read(units.data(), units.size() * sizeof(std::uint16_t));
        return std::u16string(units.begin(), units.end());
    }

private:
    void read(void* into, std::size_t size) {
        auto* at = static_cast<unsigned char*>(into);
        while (size > 0) {
            const ULONG ask = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 20));
            ULONG got = 0;
            const HRESULT hr = stream_->Read(at, ask, &got);
            if (FAILED(hr)) raise(hr);
            if (got == 0) raise(STG_E_READFAULT); // the stream ends inside the control's data
            at += got;
            size -= got;
        }
    }
    IStream* stream_;
};

std::vector<unsigned char> serialise(const MemoryBag& bag) {
    Writer w;
    for (char c : kMagic) w.put(c);
    w.put(kVersion);
    w.put(static_cast<std::uint32_t>(bag.entries.size()));
    for (const auto& [name, value] : bag.entries) {
        w.text(name);
        if (value.isArray()) raise(hr::TypeMismatch);
        w.put(static_cast<std::uint16_t>(value.type()));
        switch (value.type()) {
        case VarType::Empty:
        case VarType::Null: break;
        case VarType::String: w.text(value.asString()); break;
        case VarType::Bool: w.put(static_cast<std::int16_t>(value.asBool() ? -1 : 0)); break;
        case VarType::R4:
        case VarType::R8:
        case VarType::Date: w.put(value.asDouble()); break;
        case VarType::Currency: w.put(value.asCurrencyScaled()); break;
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8: w.put(value.asUnsigned()); break;
        default: w.put(value.asSigned()); break;
        }
    }
    return std::move(w.bytes);
}

Variant readValue(Reader& r) {
    const auto type = static_cast<VarType>(r.get<std::uint16_t>());
    switch (type) {
    case VarType::Empty: return Variant();
    case VarType::Null: return Variant::null();
    case VarType::String: return Variant::string(r.text());
    case VarType::Bool: return Variant::boolean(r.get<std::int16_t>() != 0);
    case VarType::R4: return Variant::r4(static_cast<float>(r.get<double>()));
    case VarType::R8: return Variant::r8(r.get<double>());
    case VarType::Date: return Variant::date(r.get<double>());
    case VarType::Currency: return Variant::currency(r.get<std::int64_t>());
    case VarType::UI1: return Variant::ui1(static_cast<std::uint8_t>(r.get<std::uint64_t>()));
    case VarType::UI2: return Variant::ui2(static_cast<std::uint16_t>(r.get<std::uint64_t>()));
    case VarType::UI4: return Variant::ui4(static_cast<std::uint32_t>(r.get<std::uint64_t>()));
    case VarType::UI8: return Variant::ui8(r.get<std::uint64_t>());
    case VarType::I1: return Variant::i1(static_cast<std::int8_t>(r.get<std::int64_t>()));
    case VarType::I2: return Variant::i2(static_cast<std::int16_t>(r.get<std::int64_t>()));
    case VarType::I4: return Variant::i4(static_cast<std::int32_t>(r.get<std::int64_t>()));
    case VarType::I8: return Variant::i8(r.get<std::int64_t>());
    case VarType::Error: return Variant::error(static_cast<std::int32_t>(r.get<std::int64_t>()));
    default: raise(STG_E_INVALIDHEADER);
    }
}

MemoryBag deserialise(IStream* stream) {
    Reader r(stream);
    for (char c : kMagic)
        if (r.get<char>() != c) raise(STG_E_INVALIDHEADER);
    if (r.get<std::uint16_t>() != kVersion) raise(STG_E_OLDFORMAT);
    const auto count = r.get<std::uint32_t>();
    MemoryBag bag;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::u16string name = r.text();
        bag.entries.emplace_back(std::move(name), readValue(r));
    }
    return bag;
}

} // namespace

HRESULT ControlObject::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_led7seg4;
    return S_OK;
}

// No setter reports a change to the container, so the control is never dirty.
HRESULT ControlObject::IsDirty() { return S_FALSE; }

// A new control: InitProperties, then the first Resize, with which the framework gives a new
// control its size (the host reads it through GetExtent).
HRESULT ControlObject::InitNew() {
    if (initialised_) return E_UNEXPECTED;
    const HRESULT hr = guarded(IID_IPersistStreamInit, [this] {
        core_.InitProperties();
        core_.Resize();
    });
    if (SUCCEEDED(hr)) initialised_ = true;
    return hr;
}

HRESULT ControlObject::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    return guarded(IID_IPersistStreamInit, [this, stream] {
        MemoryBag bag = deserialise(stream);
        initialised_ = true;
        core_.ReadProperties(bag);
    });
}

HRESULT ControlObject::Save(LPSTREAM stream, BOOL) {
    if (!stream) return E_POINTER;
    return guarded(IID_IPersistStreamInit, [this, stream] {
        MemoryBag bag;
        core_.WriteProperties(bag);
        const std::vector<unsigned char> bytes = serialise(bag);
        ULONG written = 0;
        const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        if (FAILED(hr)) raise(hr);
        if (written != bytes.size()) raise(STG_E_WRITEFAULT);
    });
}

HRESULT ControlObject::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    return guarded(IID_IPersistStreamInit, [this, size] {
        MemoryBag bag;
        core_.WriteProperties(bag);
        size->QuadPart = serialise(bag).size();
    });
}

HRESULT ControlObject::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    return guarded(IID_IPersistPropertyBag, [this, bag, log] {
        ContainerBag adapter(bag, log);
        initialised_ = true;
        core_.ReadProperties(adapter);
    });
}

HRESULT ControlObject::Save(IPropertyBag* bag, BOOL, BOOL) {
    if (!bag) return E_POINTER;
    return guarded(IID_IPersistPropertyBag, [this, bag] {
        ContainerBag adapter(bag, nullptr);
        core_.WriteProperties(adapter);
    });
}

} // namespace seg4::com
