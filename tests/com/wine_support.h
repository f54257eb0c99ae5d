// What the Wine tests of ARM_7seg4.ocx share: creating the control through COM, a twin of the
// core driven directly for comparison, a watcher that reads and closes message boxes, and a
// host-side property bag.
#pragma once

// The tests implement COM interfaces (sinks, bags), which have no virtual destructor by design.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

#include "component/led7seg4.h"
#include "message_box_watcher.h"
#include "win32_platform.h"

#include <windows.h>

#include <ocidl.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace seg4::wine {

/// A 32-bit top-down DIB selected into a memory DC, filled with one BGRA value.
class Canvas {
public:
    Canvas(int width, int height, std::uint32_t fill) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        std::fill(bits_, bits_ + width * height, fill);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    std::uint32_t at(int x, int y) const { return bits_[y * width_ + x]; }

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

/// An owned interface pointer (the tests keep their own, independent of the module's holders).
template <class T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p) p->Release();
    }
    T** put() {
        if (p) p->Release();
        p = nullptr;
        return &p;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* operator->() const { return p; }
    T* get() const { return p; }
    template <class U>
    HRESULT query(Ref<U>& out) const {
        return p->QueryInterface(__uuidof(U), out.putVoid());
    }
};

/// A new control through the registered class, with InitNew done unless `initNew` is false.
void createControl(Ref<IQuorvaneComponentV4>& host, bool initNew = true);
/// The module the registered class lives in (loaded by a first creation).
HMODULE controlModule();

/// A function the control module exports.
template <class F>
F moduleEntry(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(controlModule(), name)));
}

/// The folder the test layout sits in (where the registered module is), without a separator.
std::wstring layoutFolder();

/// The core control driven directly, in the same process and over the same module: the
/// reference the COM shell's answers are compared with.
class CoreTwin {
public:
    CoreTwin();
    Led7Seg4& core() { return *core_; }
    Win32Platform& platform() { return platform_; }

private:
    Win32Platform platform_;
    std::unique_ptr<Led7Seg4> core_;
};

/// A message box the watcher found.
struct SeenBox {
    std::wstring title;
    std::wstring text;
};

/// The module's message boxes, found from another thread (qhost.exe's watcher), recorded with
/// title and text and answered with OK.
class SeenBoxes {
public:
    static SeenBoxes& instance();
    void start();
    /// The boxes seen since the last call, oldest first.
    std::vector<SeenBox> take();

private:
    std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::once_flag started_;
    std::unique_ptr<qhost::win32::MessageBoxWatcher> watcher_;
};

/// The host's language setting, put back as it was when the test ends.
class LanguageSetting {
public:
    static constexpr wchar_t kInfoKey[] = L"Software\\DelmarshSW\\QuorvaneV4\\Info";
    LanguageSetting() {
        wchar_t value[64] = {};
        DWORD size = sizeof value;
        had_ = RegGetValueW(HKEY_CURRENT_USER, kInfoKey, L"CurrentLanguage", RRF_RT_REG_SZ, nullptr, value,
                            &size) == ERROR_SUCCESS;
        old_ = value;
    }
    LanguageSetting(const LanguageSetting&) = delete;
    LanguageSetting& operator=(const LanguageSetting&) = delete;
    ~LanguageSetting() {
        if (had_)
            set(old_);
        else
            RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DelmarshSW");
    }
    static void set(const std::wstring& code) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kInfoKey, L"CurrentLanguage", REG_SZ, code.c_str(),
                        static_cast<DWORD>((code.size() + 1) * sizeof(wchar_t)));
    }

private:
    bool had_ = false;
    std::wstring old_;
};

/// A container's property bag in memory, remembering the order of reads and writes.
class TestPropertyBag : public IPropertyBag {
public:
    TestPropertyBag() = default;
    virtual ~TestPropertyBag();
    TestPropertyBag(const TestPropertyBag&) = delete;
    TestPropertyBag& operator=(const TestPropertyBag&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

    void set(const std::wstring& name, const VARIANT& value);
    /// Entries in the order they were written.
    std::vector<std::pair<std::wstring, VARIANT>> written;
    std::vector<std::wstring> reads;
    /// Read() fails with this result for every name (S_OK: no failure).
    HRESULT failReadsWith = S_OK;

private:
    std::map<std::wstring, VARIANT> stored_;
};

/// A VARIANT that frees itself.
struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&v); }
    VARIANT* get() { return &v; }
};

/// A VT_I4 VARIANT (nothing to free).
VARIANT longVariant(LONG value);

std::wstring wide(const std::u16string& s);
std::u16string narrowToU16(const wchar_t* s);

} // namespace seg4::wine
