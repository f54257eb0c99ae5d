// RAII holders for what the COM shell acquires: interface pointers, BSTRs, SAFEARRAYs, VARIANTs,
// registry keys, kernel handles and GDI objects. Each owns exactly one thing and frees it once.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace seg4::com {

/// An owned interface pointer (one reference).
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    /// Takes a new reference to `p`.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    /// Adopts a reference the caller already owns.
    static ComPtr adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    /// For out-parameters: releases what is held and hands out the slot.
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    /// QueryInterface for another interface; empty when the object does not have it.
    template <class U>
    ComPtr<U> as() const {
        ComPtr<U> u;
        if (p_) p_->QueryInterface(__uuidof(U), u.putVoid());
        return u;
    }

private:
    T* p_ = nullptr;
};

/// An owned BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::u16string_view s) : b_(allocate(s)) {}
    explicit Bstr(const wchar_t* s) : b_(SysAllocString(s)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        std::swap(b_, o.b_);
        return *this;
    }
    ~Bstr() { SysFreeString(b_); }

    static Bstr adopt(BSTR b) {
        Bstr s;
        s.b_ = b;
        return s;
    }
    /// A BSTR of exactly these characters (embedded NULs kept); throws std::bad_alloc.
    static BSTR allocate(std::u16string_view s);
    /// The characters of a BSTR by its length prefix; a null BSTR is the empty string.
    static std::u16string text(BSTR b) {
        if (!b) return {};
        return std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
    }

    BSTR get() const { return b_; }
    BSTR* put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR detach() { return std::exchange(b_, nullptr); }
    std::u16string text() const { return text(b_); }

private:
    BSTR b_ = nullptr;
};

inline BSTR Bstr::allocate(std::u16string_view s) {
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

/// An owned SAFEARRAY.
class SafeArrayHolder {
public:
    SafeArrayHolder() = default;
    explicit SafeArrayHolder(SAFEARRAY* a) : a_(a) {}
    SafeArrayHolder(const SafeArrayHolder&) = delete;
    SafeArrayHolder& operator=(const SafeArrayHolder&) = delete;
    ~SafeArrayHolder() {
        if (a_) SafeArrayDestroy(a_);
    }
    SAFEARRAY* get() const { return a_; }
    SAFEARRAY* detach() { return std::exchange(a_, nullptr); }

private:
    SAFEARRAY* a_ = nullptr;
};

/// Keeps a SAFEARRAY's data locked for the holder's lifetime.
class SafeArrayAccess {
public:
    explicit SafeArrayAccess(SAFEARRAY* a) : a_(a), ok_(SUCCEEDED(::SafeArrayLock(a))) {}
    SafeArrayAccess(const SafeArrayAccess&) = delete;
    SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;
    ~SafeArrayAccess() {
        if (ok_) ::SafeArrayUnlock(a_);
    }
    bool ok() const { return ok_; }

private:
    SAFEARRAY* a_;
    bool ok_;
};

/// An owned VARIANT, cleared when the holder goes.
class VariantHolder {
public:
    VariantHolder() { VariantInit(&v_); }
    VariantHolder(const VariantHolder&) = delete;
    VariantHolder& operator=(const VariantHolder&) = delete;
    ~VariantHolder() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT* operator->() { return &v_; }
    const VARIANT* operator->() const { return &v_; }
    /// Clears and hands out the VARIANT for an out-parameter.
    VARIANT* put() {
        VariantClear(&v_);
        return &v_;
    }
    /// Moves the value out; the holder is left empty.
    VARIANT detach() {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

private:
    VARIANT v_;
};

/// An open registry key.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY k) : k_(k) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& o) noexcept : k_(std::exchange(o.k_, nullptr)) {}
    ~RegKey() {
        if (k_) RegCloseKey(k_);
    }
    HKEY get() const { return k_; }
    HKEY* put() {
        if (k_) RegCloseKey(std::exchange(k_, nullptr));
        return &k_;
    }
    explicit operator bool() const { return k_ != nullptr; }

private:
    HKEY k_ = nullptr;
};

/// A kernel handle (INVALID_HANDLE_VALUE and null both mean none).
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_ = nullptr;
};

/// A GDI object (bitmap, brush, font ...), deleted when the holder goes.
template <class H>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(H h) : h_(h) {}
    GdiObject(GdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() {
        if (h_) DeleteObject(h_);
    }
    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    H h_ = nullptr;
};

/// A memory device context, deleted when the holder goes.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        if (dc_) DeleteDC(dc_);
    }
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

/// Selects a GDI object into a DC and restores the previous one.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;
    ~SelectObjectScope() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

/// A window owned by the shell, destroyed when the holder goes.
class WindowHolder {
public:
    WindowHolder() = default;
    WindowHolder(const WindowHolder&) = delete;
    WindowHolder& operator=(const WindowHolder&) = delete;
    ~WindowHolder() { reset(); }
    void reset(HWND w = nullptr) {
        if (hwnd_) DestroyWindow(hwnd_);
        hwnd_ = w;
    }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

} // namespace seg4::com
