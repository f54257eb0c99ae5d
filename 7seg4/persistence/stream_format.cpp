// The control's settings stream (see stream_format.h).
#include "persistence/stream_format.h"

#include "automation/errors.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace seg4 {

namespace {

constexpr char kMagic[4] = {'S', '4', 'P', 'B'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint32_t kMaxText = 1u << 20; // longer names or strings mean a damaged stream
constexpr std::size_t kLargestRead = 1u << 20;

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
        const std::size_t at = bytes.size();
        bytes.resize(at + s.size() * sizeof(char16_t));
        std::memcpy(bytes.data() + at, s.data(), s.size() * sizeof(char16_t));
    }
    std::vector<unsigned char> bytes;
};

/// Reads exactly as far as the control's data goes: a container may keep its own data after the
/// control's in the same stream, and reads on from where the control stops.
class Reader {
public:
    explicit Reader(const StreamRead& read) : read_(read) {}
    template <class T>
    T get() {
        T v;
        read(&v, sizeof v);
        return v;
    }
    std::u16string text() {
        const auto n = get<std::uint32_t>();
        if (n > kMaxText) raise(hr::StreamReadFault);
        std::u16string s(n, u'\0');
        read(s.data(), s.size() * sizeof(char16_t));
        return s;
    }

private:
    void read(void* into, std::size_t size) {
        auto* at = static_cast<unsigned char*>(into);
        while (size > 0) {
            const std::size_t got = read_(at, std::min(size, kLargestRead));
            if (got == 0) raise(hr::StreamReadFault); // the stream ends inside the control's data
            at += got;
            size -= got;
        }
    }
    const StreamRead& read_;
};

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
    default: raise(hr::StreamInvalidHeader);
    }
}

} // namespace

Variant StoredEntries::ReadProperty(const std::u16string& name, const Variant& defaultValue) {
    for (const auto& [key, value] : entries)
        if (key == name) return value;
    return defaultValue;
}

void StoredEntries::WriteProperty(const std::u16string& name, const Variant& value) {
    entries.emplace_back(name, value.deref());
}

std::vector<unsigned char> writeSettingsStream(const StoredEntries& stored) {
    Writer w;
    for (char c : kMagic) w.put(c);
    w.put(kVersion);
    w.put(static_cast<std::uint32_t>(stored.entries.size()));
    for (const auto& [name, value] : stored.entries) {
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

StoredEntries readSettingsStream(const StreamRead& read) {
    Reader r(read);
    for (char c : kMagic)
        if (r.get<char>() != c) raise(hr::StreamInvalidHeader);
    if (r.get<std::uint16_t>() != kVersion) raise(hr::StreamOldFormat);
    const auto count = r.get<std::uint32_t>();
    StoredEntries stored;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::u16string name = r.text();
        stored.entries.emplace_back(std::move(name), readValue(r));
    }
    return stored;
}

} // namespace seg4
