// The connection point of __led7seg4 and its enumerator. The point keeps the control alive; the
// control keeps the sinks, so that every point handed out sees the same connections.
#include "connection_points.h"

#include "com_base.h"
#include "com_holders.h"
#include "control_object.h"

#include <ARM_7seg4.h>

namespace seg4::com {

namespace {

class EventPoint final : public ComObject<EventPoint, IConnectionPoint> {
public:
    explicit EventPoint(ControlObject* control) : control_(control) {}

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = DIID___led7seg4;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (!container) return E_POINTER;
        *container = ComPtr<IConnectionPointContainer>(control_.get()).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        return control_->adviseEvents(sink, cookie);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return control_->unadviseEvents(cookie); }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
        if (connections) *connections = nullptr;
        return E_NOTIMPL; // allowed for a connection point; no events are ever sent anyway
    }

private:
    ComPtr<ControlObject> control_;
};

class PointEnumerator final : public ComObject<PointEnumerator, IEnumConnectionPoints> {
public:
    PointEnumerator(ControlObject* control, ULONG position) : control_(control), position_(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
        if (!points || (count > 1 && !fetched)) return E_POINTER;
        ULONG got = 0;
        if (count > 0 && position_ == 0) {
            const HRESULT hr = createEventPoint(control_.get(), &points[0]);
            if (FAILED(hr)) return hr;
            got = 1;
            position_ = 1;
        }
        if (fetched) *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        if (count == 0) return S_OK;
        const bool enough = position_ + count <= 1;
        position_ = 1;
        return enough ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
        if (!copy) return E_POINTER;
        *copy = PointEnumerator::create(control_.get(), position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    ComPtr<ControlObject> control_;
    ULONG position_;
};

} // namespace

HRESULT createEventPoint(ControlObject* control, IConnectionPoint** point) {
    *point = EventPoint::create(control);
    return *point ? S_OK : E_OUTOFMEMORY;
}

HRESULT createEventPointEnumerator(ControlObject* control, IEnumConnectionPoints** points) {
    *points = PointEnumerator::create(control, 0UL);
    return *points ? S_OK : E_OUTOFMEMORY;
}

} // namespace seg4::com
