// Storing the control: IPersistPropertyBag over the container's bag, and IPersistStreamInit
// over the settings stream of persistence/stream_format.h.
#include "control_object.h"

#include "automation/errors.h"
#include "persistence/property_bag.h"
#include "persistence/stream_format.h"
#include "variant_bridge.h"

#include <ARM_7seg4.h>

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

/// The stream's bytes as the settings stream reads them: exactly as far as the control's data
/// goes, since a container may keep its own data after it and read on from where Load stops.
StoredEntries readFrom(IStream* stream) {
    return readSettingsStream([stream](unsigned char* into, std::size_t size) -> std::size_t {
        ULONG got = 0;
        const HRESULT hr = stream->Read(into, static_cast<ULONG>(size), &got);
        if (FAILED(hr)) raise(hr);
        return got;
    });
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
        StoredEntries bag = readFrom(stream);
        initialised_ = true;
        core_.ReadProperties(bag);
    });
}

HRESULT ControlObject::Save(LPSTREAM stream, BOOL) {
    if (!stream) return E_POINTER;
    return guarded(IID_IPersistStreamInit, [this, stream] {
        StoredEntries bag;
        core_.WriteProperties(bag);
        const std::vector<unsigned char> bytes = writeSettingsStream(bag);
        ULONG written = 0;
        const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        if (FAILED(hr)) raise(hr);
        if (written != bytes.size()) raise(seg4::hr::StreamWriteFault);
    });
}

HRESULT ControlObject::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    return guarded(IID_IPersistStreamInit, [this, size] {
        StoredEntries bag;
        core_.WriteProperties(bag);
        size->QuadPart = writeSettingsStream(bag).size();
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
