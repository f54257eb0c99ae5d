// qhost's displays on Windows: the registered module driven through COM as a container drives it.
//
// [SECTION] The process: binary output and the watchdog
// [SECTION] The host's settings in the real registry
// [SECTION] Message boxes: a watcher thread reads, reports and answers them
// [SECTION] Container pieces: the client site and a property bag over the host's document
// [SECTION] Calls by name through IDispatch
// [SECTION] One display
// [SECTION] The property page: the module's page in a hidden frame, driven through its windows
// [SECTION] The backend
#include "com_backend.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "com_base.h"
#include "com_holders.h"
#include "display/compositor.h"
#include "frame_dib.h"
#include "registry.h"
#include "variant_bridge.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <initguid.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include "property_page.h" // after the identifiers are defined here

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace qhost {

using seg4::ComError;
using seg4::MemberInfo;
using seg4::MemberKind;
using seg4::ValueKind;
using seg4::Variant;
using seg4::com::Bstr;
using seg4::com::ComPtr;
using seg4::com::RegKey;
using seg4::com::VariantHolder;

namespace {

std::wstring wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
std::u16string fromWide(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

/// A window's text (a label's caption, an edit box's content).
std::u16string textOf(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return fromWide(text);
}

/// Text in the system's ANSI code page (command-line arguments, REGEDIT4 files) and back.
std::u16string decodeAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return fromWide(out);
}

std::string encodeAnsi(std::u16string_view text) {
    if (text.empty()) return {};
    const std::wstring w = wide(text);
    const int n =
        WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"error " + std::to_wstring(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return seg4::toUtf8(fromWide(message));
}

} // namespace

// [SECTION] The process: binary output and the watchdog

void prepareProcess() {
    // The interpreter writes UTF-8 lines ending in LF; text mode would add a CR to each.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    const char* limit = std::getenv("SEG4_WATCHDOG_SECONDS");
    if (!limit) return;
    char* end = nullptr;
    const unsigned long seconds = std::strtoul(limit, &end, 10);
    if (end == limit || *end != '\0' || seconds == 0) return;
    std::thread([seconds] {
        Sleep(static_cast<DWORD>(std::min(seconds, 4'000'000UL) * 1000UL));
        std::fprintf(stderr, "qhost: watchdog: the run did not end within %lu s\n", seconds);
        std::fflush(stderr);
        ExitProcess(3);
    }).detach();
}

// [SECTION] The host's settings in the real registry

namespace {

constexpr wchar_t kHostInfoKey[] = L"Software\\DelmarshSW\\QuorvaneV4\\Info";

RegKey createUserKey(const std::wstring& path) {
    RegKey key;
    const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot create HKEY_CURRENT_USER\\" + seg4::toUtf8(fromWide(path)) + ": " +
                                 systemMessage(static_cast<DWORD>(status)));
    return key;
}

void setValue(const RegKey& key, const std::wstring& keyPath, const std::wstring& name, DWORD type,
              const std::vector<std::uint8_t>& data) {
    const LSTATUS status =
        RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot set " + seg4::toUtf8(fromWide(name)) + " in HKEY_CURRENT_USER\\" +
                                 seg4::toUtf8(fromWide(keyPath)) + ": " +
                                 systemMessage(static_cast<DWORD>(status)));
}

std::vector<std::uint8_t> stringData(std::u16string_view text) {
    std::vector<std::uint8_t> data((text.size() + 1) * 2, 0);
    std::memcpy(data.data(), text.data(), text.size() * 2);
    return data;
}

/// The keys of the current user that a registry export file holds, copied into the registry
/// (keys of other hives are not the host's settings). The file is read whole before anything is
/// written: a malformed file changes nothing.
void importRegistryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot read the registry file");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error(path + ": cannot read the registry file");
    seg4::posix::Registry hive;
    hive.load(bytes, path, seg4::text::AnsiCodec{decodeAnsi, encodeAnsi}); // REGEDIT4 is ANSI text
    for (const auto& [keyPath, values] : hive.keys()) {
        const std::wstring where = wide(keyPath);
        const RegKey key = createUserKey(where);
        for (const seg4::posix::RegistryValue& v : values) setValue(key, where, wide(v.name), v.type, v.data);
    }
}

void writeLanguage(const std::u16string& code) {
    const RegKey key = createUserKey(kHostInfoKey);
    setValue(key, kHostInfoKey, L"CurrentProfile", REG_SZ, stringData(u"QuorvaneV4"));
    setValue(key, kHostInfoKey, L"CurrentLanguage", REG_SZ, stringData(code));
}

/// Twips per pixel of the screen, computed as the module computes them.
float screenTwips(int axis) {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, axis) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? 1440.0f / static_cast<float>(dpi) : 15.0f;
}

std::string number(float v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

std::u16string fullPath(const std::u16string& path) {
    const std::wstring w = wide(path);
    const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    const DWORD got = GetFullPathNameW(w.c_str(), n, out.data(), nullptr);
    out.resize(got < n ? got : 0);
    // A folder names the same place with or without its last separator (a drive's root keeps it).
    while (out.size() > 3 && (out.back() == L'\\' || out.back() == L'/')) out.pop_back();
    return fromWide(out);
}

void checkModuleFolder(const std::string& folder) {
    const std::u16string module = registeredModulePath();
    if (module.empty())
        throw std::runtime_error("--module-folder " + folder +
                                 ": no display module is registered, so there is no folder to compare");
    const std::u16string own = fullPath(module.substr(0, module.find_last_of(u"\\/")));
    const std::u16string given = fullPath(decodeAnsi(folder));
    const std::wstring a = wide(own), b = wide(given);
    if (CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                             TRUE) == CSTR_EQUAL)
        return;
    throw std::runtime_error("--module-folder " + folder +
                             ": the registered module reads its data from its own folder, " +
                             seg4::toUtf8(own) + ", and a Windows host cannot point it elsewhere");
}

} // namespace

std::u16string registeredModulePath() {
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_led7seg4, clsid, 40);
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                            path.data(), &bytes);
        if (status == ERROR_MORE_DATA) {
            path.resize(bytes / sizeof(wchar_t) + 1);
            continue;
        }
        if (status != ERROR_SUCCESS) return {};
        path.resize(bytes / sizeof(wchar_t));
        while (!path.empty() && path.back() == L'\0') path.pop_back();
        return fromWide(path);
    }
    return {};
}

void applyHostOptions(const HostOptions& o) {
    // What describes the system itself is checked before anything is written.
    if (o.twips) {
        const float x = screenTwips(LOGPIXELSX), y = screenTwips(LOGPIXELSY);
        if (*o.twips != x || *o.twips != y)
            throw std::runtime_error("--twips " + number(*o.twips) +
                                     ": a Windows host cannot change the screen, which has " + number(x) +
                                     " twips per pixel");
    }
    if (o.codePage && *o.codePage != GetACP())
        throw std::runtime_error("--code-page " + std::to_string(*o.codePage) +
                                 ": a Windows host cannot change the system's ANSI code page, which is " +
                                 std::to_string(GetACP()));
    if (!o.moduleFolder.empty()) checkModuleFolder(o.moduleFolder);

    if (!o.registryFile.empty()) {
        importRegistryFile(o.registryFile);
        if (o.language.empty()) return;
    }
    writeLanguage(decodeAnsi(o.language.empty() ? std::string(kDefaultLanguage) : o.language));
}

// [SECTION] Message boxes: a watcher thread reads, reports and answers them

namespace {

/// Finds the message boxes of this process from a thread of its own. While the script thread is
/// inside a control it is blocked in the box, so reporting the box from here keeps the order of
/// everything printed; the mutex hands the script's state between the threads at each call.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread_([this] { run(); }) {}
    ~MessageBoxWatcher() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    void setHandler(std::function<void(const std::u16string&)> handler) {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }
    /// The script thread calls into a control.
    void enter() {
        {
            std::lock_guard lock(mutex_);
            ++active_;
            ++calls_;
        }
        wake_.notify_one();
    }
    /// The call returned: what the handler did is visible to the script thread from here on.
    void leave() {
        std::lock_guard lock(mutex_);
        --active_;
    }

private:
    // A call that shows no box is over long before this; one that does waits in the box.
    static constexpr DWORD kCallGraceMs = 2;
    static constexpr auto kIdlePoll = std::chrono::milliseconds(250);

    void run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            const bool woken = wake_.wait_for(lock, kIdlePoll, [this] { return stop_ || active_ > 0; });
            if (stop_) return;
            const unsigned long call = calls_;
            lock.unlock();
            if (woken) Sleep(kCallGraceMs);
            lock.lock();
            // Without a call in progress there is seldom a box, but a slow look costs nothing.
            const bool sameCall = active_ > 0 && calls_ == call;
            if (!sameCall && woken) continue;
            lock.unlock();
            for (HWND box : findBoxes()) answer(box);
            lock.lock();
        }
    }

    static std::vector<HWND> findBoxes() {
        std::vector<HWND> boxes;
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                wchar_t cls[16] = {};
                GetClassNameW(hwnd, cls, 16);
                if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && std::wcscmp(cls, L"#32770") == 0)
                    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&boxes));
        return boxes;
    }

    void answer(HWND box) {
        HWND label = GetDlgItem(box, 0xFFFF); // the static control that shows a message box's text
        const std::u16string text = label ? textOf(label) : std::u16string();
        {
            std::lock_guard lock(mutex_);
            try {
                if (handler_) handler_(text);
            } catch (...) { // the box is answered all the same, or the script thread waits forever
            }
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        // The next box of the same call must not be taken for this one.
        for (int waited = 0; waited < 5000 && IsWindow(box) && IsWindowVisible(box); ++waited) Sleep(1);
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void(const std::u16string&)> handler_;
    int active_ = 0;
    unsigned long calls_ = 0;
    bool stop_ = false;
    std::thread thread_; // last: it starts once everything above is ready
};

} // namespace

struct ComBackend::Shared {
    MessageBoxWatcher watcher;
    /// Dispatch ids by interface (true: the host's) and member name, asked for once.
    std::map<std::pair<bool, std::string_view>, DISPID> ids;
};

namespace {

using Shared = ComBackend::Shared;

/// Marks a call into a control, during which a message box may block the script thread.
class CallScope {
public:
    explicit CallScope(Shared& shared) : watcher_(shared.watcher) {
        watcher_.enter();
        SetErrorInfo(0, nullptr); // an error info found after this call is this call's
    }
    ~CallScope() { watcher_.leave(); }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    MessageBoxWatcher& watcher_;
};

/// A failed call's error: the description the control published, else the runtime's text for
/// the code, as qhost prints it for the linked core.
[[noreturn]] void raiseFailure(HRESULT hr) {
    std::u16string description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = text.text();
    }
    if (description.empty()) description = seg4::describeHResult(hr);
    seg4::raise(hr, std::move(description));
}

void check(HRESULT hr) {
    if (FAILED(hr)) raiseFailure(hr);
}

// [SECTION] Container pieces: the client site and a property bag over the host's document

// COM interfaces have no virtual destructor; these objects are deleted by their own Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/// The container's side of a placed display. The control keeps no window of its own here (it is
/// drawn through its view), so the site only answers what every control may ask.
class ClientSite final : public seg4::com::ComObject<ClientSite, IOleClientSite> {
public:
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
};

/// The host document's bag as the control's IPropertyBag. Every read goes to the document's
/// bag, which so learns the key a failed load stopped at; an entry the bag does not hold is the
/// interface's "no such property".
class HostBag final : public seg4::com::ComObject<HostBag, IPropertyBag> {
public:
    explicit HostBag(seg4::PropertyBag& bag) : bag_(bag) {}

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        try {
            // Automation's own mark of a missing value; the bag hands it back for an absent entry.
            const Variant missing = Variant::error(DISP_E_PARAMNOTFOUND);
            const Variant v = bag_.ReadProperty(fromWide(name), missing).deref();
            if (v.type() == seg4::VarType::Error && !v.isArray() && v.asSigned() == DISP_E_PARAMNOTFOUND)
                return E_INVALIDARG;
            VARIANT out;
            seg4::com::toVariant(v, out);
            VariantClear(value);
            *value = out;
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        try {
            seg4::com::ByRefTargets refs;
            const Variant v = refs.convertIn(*value).deref();
            bag_.WriteProperty(fromWide(name), v);
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

private:
    seg4::PropertyBag& bag_;

    static HRESULT failure() noexcept {
        try {
            throw;
        } catch (const ComError& e) {
            return e.code();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
};

#pragma GCC diagnostic pop

// [SECTION] Calls by name through IDispatch

VARTYPE comType(ValueKind kind) {
    switch (kind) {
    case ValueKind::Short:
    case ValueKind::ShortRef: return VT_I2;
    case ValueKind::Long:
    case ValueKind::LongRef: return VT_I4;
    case ValueKind::String:
    case ValueKind::StringRef: return VT_BSTR;
    default: return VT_VARIANT;
    }
}

bool isByReference(ValueKind kind) {
    return kind == ValueKind::ShortRef || kind == ValueKind::LongRef || kind == ValueKind::StringRef ||
           kind == ValueKind::VariantRef;
}

/// The arguments of one Invoke, right to left as DISPPARAMS holds them, with the storage that
/// by-reference arguments point into. Everything is freed when the call is over.
class Arguments {
public:
    explicit Arguments(std::size_t count) : values_(count), slots_(count) {
        for (VARIANTARG& v : values_) VariantInit(&v);
        for (Slot& s : slots_) VariantInit(&s.variant);
    }
    ~Arguments() {
        for (VARIANTARG& v : values_) VariantClear(&v);
        for (Slot& s : slots_) {
            VariantClear(&s.variant);
            SysFreeString(s.text);
        }
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    /// Argument `i` from the left.
    VARIANTARG& value(std::size_t i) { return values_[values_.size() - 1 - i]; }
    VARIANTARG* data() { return values_.empty() ? nullptr : values_.data(); }

    struct Slot {
        SHORT shortValue = 0;
        LONG longValue = 0;
        BSTR text = nullptr;
        VARIANT variant;
    };
    Slot& slot(std::size_t i) { return slots_[i]; }

private:
    std::vector<VARIANTARG> values_;
    std::vector<Slot> slots_; // sized once: by-reference arguments point into it
};

/// The member's argument `i` of a by-reference kind, converted as the caller's runtime converts
/// a variable it passes by reference. A value that does not convert fails the call as Invoke
/// would: with the first argument from the left that does not convert.
template <typename F>
auto coerceByReference(Arguments& args, const MemberInfo& member, std::size_t i, F convert) {
    try {
        return convert();
    } catch (const ComError& e) {
        // Invoke converts the by-value arguments, left to right, before it calls; one of them
        // further left that does not convert is the error the caller sees.
        for (std::size_t j = 0; j < i; ++j) {
            if (isByReference(member.args[j]) || comType(member.args[j]) == VT_VARIANT) continue;
            VariantHolder converted;
            const HRESULT hr = VariantChangeType(converted.get(), &args.value(j), 0, comType(member.args[j]));
            if (FAILED(hr)) seg4::raise(hr);
        }
        seg4::raise(e.code() == seg4::hr::Overflow ? seg4::hr::DispOverflow : seg4::hr::DispTypeMismatch);
    }
}

void prepareArgument(Arguments& args, const MemberInfo& member, std::size_t i, const Variant& value) {
    VARIANTARG& arg = args.value(i);
    Arguments::Slot& slot = args.slot(i);
    switch (member.args[i]) {
    case ValueKind::ShortRef:
        slot.shortValue = coerceByReference(args, member, i, [&] { return seg4::toInteger(value); });
        V_VT(&arg) = VT_I2 | VT_BYREF;
        V_I2REF(&arg) = &slot.shortValue;
        break;
    case ValueKind::LongRef:
        slot.longValue = coerceByReference(args, member, i, [&] { return seg4::toLong(value); });
        V_VT(&arg) = VT_I4 | VT_BYREF;
        V_I4REF(&arg) = &slot.longValue;
        break;
    case ValueKind::StringRef:
        slot.text = Bstr::allocate(coerceByReference(args, member, i, [&] { return seg4::toString(value); }));
        V_VT(&arg) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&arg) = &slot.text;
        break;
    case ValueKind::VariantRef:
        seg4::com::toVariant(value, slot.variant);
        V_VT(&arg) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&arg) = &slot.variant;
        break;
    default: seg4::com::toVariant(value, arg); break; // Invoke converts it to the member's type
    }
}

/// The caller's variable after the member wrote through its reference.
Variant writtenBack(ValueKind kind, Arguments::Slot& slot) {
    switch (kind) {
    case ValueKind::ShortRef: return Variant::i2(slot.shortValue);
    case ValueKind::LongRef: return Variant::i4(slot.longValue);
    case ValueKind::StringRef: return Variant::string(Bstr::text(slot.text));
    default: {
        seg4::com::ByRefTargets refs;
        return refs.convertIn(slot.variant).deref();
    }
    }
}

DISPID dispatchId(Shared& shared, IDispatch* target, bool hostInterface, std::string_view name) {
    const auto key = std::make_pair(hostInterface, name);
    if (auto it = shared.ids.find(key); it != shared.ids.end()) return it->second;
    std::wstring text(name.begin(), name.end());
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) seg4::raise(hr);
    shared.ids.emplace(key, id);
    return id;
}

/// A failed Invoke as the caller's runtime reports it: the member's own error from EXCEPINFO,
/// any other result with its usual text.
[[noreturn]] void raiseInvokeFailure(HRESULT hr, EXCEPINFO& exception) {
    if (hr != DISP_E_EXCEPTION) seg4::raise(hr);
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    const Bstr source = Bstr::adopt(exception.bstrSource);
    const Bstr helpFile = Bstr::adopt(exception.bstrHelpFile);
    const Bstr description = Bstr::adopt(exception.bstrDescription);
    const seg4::HResult code = exception.scode != 0 ? exception.scode : seg4::hr::DispException;
    std::u16string text = description.text();
    if (text.empty()) text = seg4::describeHResult(code);
    seg4::raise(code, std::move(text));
}

// [SECTION] One display

const MemberInfo& hostMember(std::string_view name) {
    for (const MemberInfo& m : seg4::kHostMembers)
        if (m.name == name) return m;
    throw std::logic_error("the host interface has no member " + std::string(name));
}

class ComDisplay final : public Display {
public:
    explicit ComDisplay(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {
        CallScope scope(*shared_);
        // The class factory runs the control's Initialize: the language, the code file, the help.
        check(
            CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object_.putVoid()));
        check(object_->QueryInterface(IID_IQuorvaneComponentV4, host_.putVoid()));
        check(object_->QueryInterface(IID__led7seg4, control_.putVoid()));
        check(object_->QueryInterface(IID_IOleObject, ole_.putVoid()));
        check(object_->QueryInterface(IID_IPersistPropertyBag, persist_.putVoid()));
        check(object_->QueryInterface(IID_IViewObject, view_.putVoid()));
        // The control asks for its site before it is initialised.
        site_ = ComPtr<IOleClientSite>::adopt(ClientSite::create());
        if (!site_) throw std::bad_alloc();
        check(ole_->SetClientSite(site_.get()));
    }

    ~ComDisplay() override {
        CallScope scope(*shared_);
        if (ole_) {
            ole_->Close(OLECLOSE_NOSAVE);
            ole_->SetClientSite(nullptr);
        }
    }

    Variant invoke(bool hostInterface, const MemberInfo& member, std::vector<Variant*>& args) override {
        if (args.size() != member.args.size()) seg4::raise(seg4::hr::InvalidArgument);
        IDispatch* target = hostInterface ? static_cast<IDispatch*>(host_.get()) : control_.get();
        const DISPID id = dispatchId(*shared_, target, hostInterface, member.name);

        Arguments list(args.size());
        std::vector<Variant> passed(args.size()); // what each by-reference argument held before
        for (std::size_t i = 0; i < args.size(); ++i) {
            prepareArgument(list, member, i, args[i]->deref());
            if (isByReference(member.args[i])) passed[i] = writtenBack(member.args[i], list.slot(i));
        }
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{list.data(), nullptr, static_cast<UINT>(args.size()), 0};
        WORD flags = DISPATCH_METHOD;
        if (member.kind == MemberKind::Get) flags = DISPATCH_PROPERTYGET;
        if (member.kind == MemberKind::Put) {
            flags = DISPATCH_PROPERTYPUT;
            params.rgdispidNamedArgs = &named; // the value, the last argument
            params.cNamedArgs = 1;
        }

        VariantHolder result;
        EXCEPINFO exception{};
        UINT wrongArgument = 0;
        HRESULT hr = S_OK;
        {
            CallScope scope(*shared_);
            hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), &exception,
                                &wrongArgument);
        }
        if (FAILED(hr)) {
            // A member that failed part-way keeps what it wrote before (SHOW_DIGIT's cycle count).
            for (std::size_t i = 0; i < args.size(); ++i) {
                if (!isByReference(member.args[i])) continue;
                Variant after = writtenBack(member.args[i], list.slot(i));
                if (after != passed[i]) args[i]->deref() = std::move(after);
            }
            raiseInvokeFailure(hr, exception);
        }

        for (std::size_t i = 0; i < args.size(); ++i)
            if (isByReference(member.args[i])) args[i]->deref() = writtenBack(member.args[i], list.slot(i));
        if (member.result == ValueKind::Void) return Variant();
        seg4::com::ByRefTargets refs;
        return refs.convertIn(*result.get()).deref();
    }

    void initProperties() override {
        CallScope scope(*shared_);
        check(persist_->InitNew());
    }

    // The container gives the control the size it asks for, then has it draw: the control draws
    // its picture when the host asks it to refresh.
    void show() override {
        {
            CallScope scope(*shared_);
            SIZEL size{};
            check(ole_->GetExtent(DVASPECT_CONTENT, &size));
            check(ole_->SetExtent(DVASPECT_CONTENT, &size));
        }
        std::vector<Variant*> none;
        invoke(true, hostMember("Refresh"), none);
    }

    void readProperties(seg4::PropertyBag& bag) override {
        ComPtr<IPropertyBag> adapter = ComPtr<IPropertyBag>::adopt(HostBag::create(bag));
        if (!adapter) throw std::bad_alloc();
        CallScope scope(*shared_);
        check(persist_->Load(adapter.get(), nullptr));
    }

    void writeProperties(seg4::PropertyBag& bag) override {
        ComPtr<IPropertyBag> adapter = ComPtr<IPropertyBag>::adopt(HostBag::create(bag));
        if (!adapter) throw std::bad_alloc();
        CallScope scope(*shared_);
        check(persist_->Save(adapter.get(), TRUE, TRUE));
    }

    Picture render() override {
        SIZEL extent{};
        {
            CallScope scope(*shared_);
            check(ole_->GetExtent(DVASPECT_CONTENT, &extent));
        }
        // The control's own size in pixels of this screen (its extent is in HIMETRIC).
        HDC screen = GetDC(nullptr);
        const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        Picture frame;
        const long width = std::lround(extent.cx * static_cast<double>(dpiX) / 2540.0);
        const long height = std::lround(extent.cy * static_cast<double>(dpiY) / 2540.0);
        if (width <= 0 || height <= 0) return frame;
        if (width > seg4::kMaxFrameSide || height > seg4::kMaxFrameSide)
            seg4::raise(seg4::hr::InvalidArgument);

        seg4::com::MemoryDc dc(nullptr);
        if (!dc.get()) throw std::bad_alloc();
        void* bits = nullptr;
        seg4::com::GdiObject<HBITMAP> bitmap = seg4::com::topDownDib(dc.get(), width, height, &bits);
        const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        // Transparent black under the control: its premultiplied pixels come out unchanged.
        std::memset(bits, 0, count * 4);
        {
            seg4::com::SelectObjectScope select(dc.get(), bitmap.get());
            const RECTL bounds{0, 0, width, height};
            CallScope scope(*shared_);
            check(view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, nullptr,
                              nullptr, 0));
            GdiFlush();
        }
        frame.width = static_cast<int>(width);
        frame.height = static_cast<int>(height);
        frame.pixels.resize(count);
        const auto* bgra = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < count; ++i) frame.pixels[i] = seg4::com::swapRedBlue(bgra[i]);
        return frame;
    }

    /// The control's identity, as a frame hands it to a property page.
    IUnknown* object() const { return object_.get(); }

    std::array<bool, 12> pinLevels() override {
        std::array<bool, 12> levels{};
        Variant pins;
        std::vector<Variant*> args{&pins};
        try {
            invoke(true, hostMember("SimReadPins"), args);
            const seg4::SafeArray* array = pins.arrayData();
            if (!array) return levels;
            for (std::size_t i = 0; i < levels.size() && i < array->elements.size(); ++i)
                levels[i] = seg4::toBoolean(array->elements[i]);
        } catch (const ComError&) {
            // A display loaded without its pins has no levels to read: all low.
        }
        return levels;
    }

private:
    std::shared_ptr<Shared> shared_;
    ComPtr<IUnknown> object_;
    ComPtr<IQuorvaneComponentV4> host_;
    ComPtr<_led7seg4> control_;
    ComPtr<IOleObject> ole_;
    ComPtr<IPersistPropertyBag> persist_;
    ComPtr<IViewObject> view_;
    ComPtr<IOleClientSite> site_;
};

// [SECTION] The property page: the module's page in a hidden frame, driven through its windows

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/// The frame's side of the page. The session reads the changed flag from the page itself.
class PageSite final : public seg4::com::ComObject<PageSite, IPropertyPageSite> {
public:
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = GetUserDefaultLCID();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
        if (container) *container = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

#pragma GCC diagnostic pop

/// The registered page as a frame shows it, in a hidden window of the session's own: what the
/// script reads comes from the page's child windows, and what the user does reaches them as the
/// messages a mouse or the keyboard would send.
class ComPage final : public PageSession {
public:
    ComPage(std::shared_ptr<Shared> shared, const std::vector<Display*>& selected)
        : shared_(std::move(shared)) {
        std::vector<IUnknown*> objects;
        for (Display* d : selected) {
            auto* display = dynamic_cast<ComDisplay*>(d);
            if (!display) throw std::logic_error("a display of another backend given to the Windows page");
            objects.push_back(display->object());
        }
        CallScope scope(*shared_);
        check(CoCreateInstance(CLSID_ppg7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               page_.putVoid()));
        site_ = ComPtr<IPropertyPageSite>::adopt(PageSite::create());
        if (!site_) throw std::bad_alloc();
        check(page_->SetPageSite(site_.get()));
        const SIZE size = pageInfo().size;
        frame_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, size.cx, size.cy, nullptr, nullptr,
                                 nullptr, nullptr);
        if (!frame_)
            throw std::runtime_error("cannot make a window for the property page: " +
                                     systemMessage(GetLastError()));
        check(page_->SetObjects(static_cast<ULONG>(objects.size()), objects.data()));
        const RECT rect{0, 0, size.cx, size.cy};
        check(page_->Activate(frame_, &rect, TRUE));
        check(page_->Show(SW_SHOW));
        window_ = FindWindowExW(frame_, nullptr, seg4::com::kPageWindowClass, nullptr);
        if (!window_) throw std::runtime_error("the property page made no window");
    }

    ~ComPage() override {
        CallScope scope(*shared_);
        if (page_) {
            page_->Deactivate();
            page_->SetObjects(0, nullptr);
            page_->SetPageSite(nullptr);
            page_.reset();
        }
        if (frame_) DestroyWindow(frame_);
    }
    ComPage(const ComPage&) = delete;
    ComPage& operator=(const ComPage&) = delete;

    PageState state() override {
        namespace ids = seg4::com::page_ids;
        PageState s;
        s.caption = pageInfo().caption;
        s.version = textOf(child(ids::VersionLabel));
        s.colourLabel = label(child(ids::ColourLabel));
        s.sizeLabel = label(child(ids::SizeLabel));
        HWND list = comboEx();
        const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            COMBOBOXEXITEMW item{};
            item.mask = CBEIF_TEXT;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = 256;
            SendMessageW(list, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            s.items.push_back(fromWide(text));
        }
        s.listIndex = static_cast<std::int32_t>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        s.sizeText = textOf(child(ids::SizeText));
        s.scrollValue = scrollValue();
        for (int i = 0; i < 4; ++i) {
            HWND image = child(ids::PreviewFirst + i);
            if (!(GetWindowLongW(image, GWL_STYLE) & WS_VISIBLE)) continue; // the frame is hidden
            RECT r{};
            GetClientRect(image, &r);
            s.preview = i;
            s.previewWidthPixels = r.right - r.left;
            s.previewHeightPixels = r.bottom - r.top;
        }
        s.changed = page_->IsPageDirty() == S_OK;
        return s;
    }

    // A mouse pick in the dropped list: the list's selection moves, and the combo box tells its
    // parent, which tells the control.
    void pick(std::int32_t index) override {
        HWND list = comboEx();
        HWND combo = reinterpret_cast<HWND>(SendMessageW(list, CBEM_GETCOMBOCONTROL, 0, 0));
        if (!combo) return;
        CallScope scope(*shared_);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(list, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
    void scrollArrows(std::int32_t clicks) override { click(clicks, SB_LINEUP, SB_LINEDOWN); }
    void scrollPages(std::int32_t clicks) override { click(clicks, SB_PAGEUP, SB_PAGEDOWN); }
    // The thumb dragged: it goes no further than the bar's ends.
    void scrollTo(std::int32_t value) override {
        int min = 0, max = 0;
        HWND bar = child(seg4::com::page_ids::SizeScroll);
        GetScrollRange(bar, SB_CTL, &min, &max);
        const int position = min + max - std::clamp(value, min, max); // the top holds the largest value
        CallScope scope(*shared_);
        SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, position), reinterpret_cast<LPARAM>(bar));
        SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(bar));
        SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
    }
    void typeSize(const std::u16string& text) override {
        CallScope scope(*shared_);
        SetWindowTextW(child(seg4::com::page_ids::SizeText), wide(text).c_str());
    }
    bool apply() override {
        if (page_->IsPageDirty() != S_OK) return false;
        HRESULT hr = S_OK;
        {
            CallScope scope(*shared_);
            hr = page_->Apply();
        }
        check(hr);
        return true;
    }

private:
    struct Info {
        std::u16string caption;
        SIZE size{};
    };

    Info pageInfo() {
        PROPPAGEINFO info{};
        info.cb = sizeof info;
        check(page_->GetPageInfo(&info));
        Info out{info.pszTitle ? fromWide(info.pszTitle) : std::u16string(), info.size};
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszDocString);
        CoTaskMemFree(info.pszHelpFile);
        return out;
    }

    HWND child(int id) const { return GetDlgItem(window_, id); }
    HWND comboEx() const {
        return FindWindowExW(child(seg4::com::page_ids::ColourList), nullptr, WC_COMBOBOXEXW, nullptr);
    }
    int scrollValue() const {
        HWND bar = child(seg4::com::page_ids::SizeScroll);
        int min = 0, max = 0;
        GetScrollRange(bar, SB_CTL, &min, &max);
        return min + max - GetScrollPos(bar, SB_CTL);
    }

    /// A label's caption and font: face and character set from the window's font, the size in
    /// points as the page gave it (the font itself holds it in whole pixels).
    static PageLabelState label(HWND hwnd) {
        PageLabelState l;
        l.caption = textOf(hwnd);
        LOGFONTW font{};
        if (auto handle = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
            handle && GetObjectW(handle, sizeof font, &font) == sizeof font) {
            l.fontFace = fromWide(font.lfFaceName);
            l.charset = font.lfCharSet;
        }
        const auto bits = reinterpret_cast<std::uintptr_t>(GetPropW(hwnd, seg4::com::kFontPointsProperty));
        static_assert(sizeof bits == sizeof l.fontPoints);
        std::memcpy(&l.fontPoints, &bits, sizeof bits);
        return l;
    }

    /// Clicks one after another; past the bar's span every further click does nothing.
    void click(std::int32_t clicks, WORD up, WORD down) {
        HWND bar = child(seg4::com::page_ids::SizeScroll);
        int min = 0, max = 0;
        GetScrollRange(bar, SB_CTL, &min, &max);
        const std::int64_t count =
            std::min<std::int64_t>(std::llabs(clicks), static_cast<std::int64_t>(max) - min + 1);
        CallScope scope(*shared_);
        for (std::int64_t i = 0; i < count; ++i) {
            SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(clicks > 0 ? up : down, 0),
                         reinterpret_cast<LPARAM>(bar));
            SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
        }
    }

    std::shared_ptr<Shared> shared_;
    ComPtr<IPropertyPage> page_;
    ComPtr<IPropertyPageSite> site_;
    HWND frame_ = nullptr;
    HWND window_ = nullptr;
};

} // namespace

// [SECTION] The backend

ComBackend::ComBackend() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
        throw std::runtime_error("cannot start COM: " + systemMessage(static_cast<DWORD>(hr)));
    uninitialise_ = SUCCEEDED(hr);
    shared_ = std::make_shared<Shared>();
}

ComBackend::~ComBackend() {
    shared_.reset(); // the watcher stops with the last display
    if (uninitialise_) CoUninitialize();
}

std::unique_ptr<Display> ComBackend::create() { return std::make_unique<ComDisplay>(shared_); }

std::unique_ptr<PageSession> ComBackend::openPage(std::vector<Display*> selected) {
    return std::make_unique<ComPage>(shared_, selected);
}

void ComBackend::onMessageBox(std::function<void(const std::u16string& text)> handler) {
    shared_->watcher.setHandler(std::move(handler));
}

} // namespace qhost
