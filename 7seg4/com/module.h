// The module ARM_7seg4.ocx itself: its handle, its path, the platform adapter all its objects
// share, and the names it registers.
#pragma once

#include "win32_platform.h"

#include <windows.h>

#include <string>

namespace seg4::com {

/// The ProgID under which the display control registers (and the source of its error infos).
inline constexpr wchar_t kControlProgId[] = L"Quorvane_ARM_7seg4.led7seg4";
// The page is a creatable class too: a script can make one by this name.
inline constexpr wchar_t kPageProgId[] = L"Quorvane_ARM_7seg4.ppg7seg4";
/// The control's readable name (the default value of its CLSID key).
inline constexpr wchar_t kControlName[] = L"led7seg4";
/// The property page's readable name (the default value of its CLSID key).
inline constexpr wchar_t kPageName[] = L"ppg7seg4";
/// MiscStatus of the control: recompose on resize, can't link inside, inside-out, activate when
/// visible, set client site first.
inline constexpr DWORD kControlMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                            OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                            OLEMISC_SETCLIENTSITEFIRST;
/// Resource identifier of the 16 x 15 toolbox bitmap.
inline constexpr int kToolboxBitmapId = 1;
/// Resource identifiers of the embedded type libraries.
inline constexpr int kControlTypeLibId = 1;
inline constexpr int kHostTypeLibId = 2;

HMODULE moduleHandle();
/// Full path of the module file.
std::wstring modulePath();
/// The platform adapter of the module, shared by every control object of the process.
Win32Platform& modulePlatform();

/// Releases what the module caches for its objects (type libraries, window class); called when
/// no object and no lock is left.
void releaseModuleCaches();

} // namespace seg4::com

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
/// Exported for hosts: the help file the control registered ("" when it found none). Copies at
/// most `capacity` - 1 characters and a NUL into `buffer`; returns the path's full length.
UINT WINAPI Seg4HelpFile(LPWSTR buffer, UINT capacity);
/// Exported for hosts that check a display: how many times the display `control` (any interface
/// of one of this module's displays) laid its pictures out again since it was created, a pass a
/// container cannot see from outside. E_INVALIDARG for an object that is not such a display.
HRESULT WINAPI Seg4LayoutPasses(IUnknown* control, ULONGLONG* passes);
/// Exported for hosts that check a property page: the events its colour list raised since the
/// last call (the page keeps the newest 256), one line each, oldest first, and forgets them.
/// `*length` gets the text's length without its NUL; a `buffer` of `capacity` characters that
/// cannot hold the text and a NUL gets nothing, the events are kept and the answer is
/// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER). E_INVALIDARG for an object that is not one of
/// this module's pages.
HRESULT WINAPI Seg4PageComboEvents(IUnknown* page, LPWSTR buffer, UINT capacity, UINT* length);
}
