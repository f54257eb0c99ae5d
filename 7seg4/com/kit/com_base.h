// The CRTP base of every COM object of the module: QueryInterface, AddRef and Release from a
// list of interfaces, and the module-wide count of live objects and server locks that
// DllCanUnloadNow answers from.
#pragma once

#include <objbase.h>
#include <unknwn.h>

#include <atomic>
#include <new>

namespace seg4::com {

/// Live objects and LockServer locks of the module.
class ModuleCount {
public:
    static void objectCreated() noexcept { objects_.fetch_add(1); }
    static void objectDestroyed() noexcept { objects_.fetch_sub(1); }
    static void lock() noexcept { locks_.fetch_add(1); }
    /// An unlock without its lock is ignored: the count never goes below zero, or the module
    /// could never be unloaded again.
    static void unlock() noexcept {
        long held = locks_.load();
        while (held > 0 && !locks_.compare_exchange_weak(held, held - 1)) {
        }
    }
    static bool idle() noexcept { return objects_.load() == 0 && locks_.load() == 0; }
    static long objects() noexcept { return objects_.load(); }

private:
    static inline std::atomic<long> objects_{0};
    static inline std::atomic<long> locks_{0};
};

/// `Expose<I, Bases...>` in a ComObject's list answers QueryInterface for I and also for the
/// interfaces I derives from (IViewObject for IViewObject2, IPersist for IPersistStreamInit ...),
/// all with the same pointer. An interface that several entries derive from answers with the
/// first entry that names it.
template <class I, class... Bases>
struct Expose {
    using Interface = I;
    static bool matches(REFIID riid) {
        return IsEqualIID(riid, __uuidof(I)) || (IsEqualIID(riid, __uuidof(Bases)) || ...);
    }
};

template <class E>
struct ExposeOf {
    using type = Expose<E>;
};
template <class I, class... Bases>
struct ExposeOf<Expose<I, Bases...>> {
    using type = Expose<I, Bases...>;
};

template <class E>
using InterfaceOf = typename ExposeOf<E>::type::Interface;

/// QueryInterface/AddRef/Release for `Derived`, which implements every listed interface.
/// `Derived` may define `HRESULT queryOther(REFIID, void**)` for interfaces that are not C++
/// bases (the table-built dispatch interfaces); the default answers E_NOINTERFACE.
// COM interfaces have no virtual destructor; an object is deleted only by its own Release, through
// the derived type, so the warning about deleting through a base does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <class Derived, class... Entries>
class ComObject : public InterfaceOf<Entries>... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = identity();
        } else if (!(findEntry<Entries>(riid, ppv) || ...)) {
            const HRESULT hr = static_cast<Derived*>(this)->queryOther(riid, ppv);
            if (FAILED(hr)) return hr;
            return S_OK; // queryOther took its own reference
        }
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(refs_.fetch_add(1) + 1); }

    ULONG STDMETHODCALLTYPE Release() override {
        const long left = refs_.fetch_sub(1) - 1;
        if (left == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(left);
    }

    /// The one IUnknown pointer of the object (COM identity).
    IUnknown* identity() {
        using First = InterfaceOf<typename FirstOf<Entries...>::type>;
        return static_cast<First*>(static_cast<Derived*>(this));
    }

    /// Creates an object with one reference, or nullptr when memory runs out.
    template <class... Args>
    static Derived* create(Args&&... args) {
        return new (std::nothrow) Derived(static_cast<Args&&>(args)...);
    }

protected:
    ComObject() { ModuleCount::objectCreated(); }
    virtual ~ComObject() { ModuleCount::objectDestroyed(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT queryOther(REFIID, void**) { return E_NOINTERFACE; }

private:
    template <class F, class...>
    struct FirstOf {
        using type = F;
    };

    template <class E>
    bool findEntry(REFIID riid, void** ppv) {
        if (!ExposeOf<E>::type::matches(riid)) return false;
        *ppv = static_cast<InterfaceOf<E>*>(static_cast<Derived*>(this));
        return true;
    }

    std::atomic<long> refs_{1};
};
#pragma GCC diagnostic pop

} // namespace seg4::com
