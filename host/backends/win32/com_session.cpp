#include "com_session.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "com_kit.h"

#include <oleauto.h>

#include <algorithm>

namespace qhost {

CallScope::CallScope(Shared& shared) : watcher_(shared.watcher) {
    watcher_.enter();
    SetErrorInfo(0, nullptr); // an error info found after this call is this call's
}

CallScope::~CallScope() { watcher_.leave(); }

void raiseFailure(HRESULT hr) {
    std::u16string description;
    seg4::com::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        seg4::com::Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = text.text();
    }
    if (description.empty()) description = seg4::describeHResult(hr);
    seg4::raise(hr, std::move(description));
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

} // namespace qhost
