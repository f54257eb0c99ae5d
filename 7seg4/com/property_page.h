// The display's property page ppg7seg4 as a COM object: the page's logic (Ppg7Seg4) behind
// IPropertyPage2, shown in a child window of the frame with one Windows control per model control.
//
// Life of a page: the class factory constructs it and runs the page's Initialize at once (the
// frame asks for the title before anything else). The frame hands over its page site, then the
// selected objects (SetObjects: each reached through IDispatch, by property name), then
// activates the page inside its own window. Every user action in a child window is passed to
// the model, and the windows are then brought up to date from the model's state, so the windows
// never show anything the model does not hold.
#pragma once

#include "com_base.h"
#include "com_holders.h"
#include "page_windows.h"
#include "platform/combo_window.h"
#include "propertypage/ppg7seg4.h"

#include <ocidl.h>

#include <ARM_7seg4.h>

#include <array>
#include <memory>
#include <type_traits>
#include <vector>

namespace seg4::com {

class DispatchTarget;

class PropertyPage final : public ComObject<PropertyPage, Expose<IPropertyPage2, IPropertyPage>,
                                            Expose<_ppg7seg4, IDispatch>, ISupportErrorInfo> {
public:
    /// CreateInstance of the class factory: a new page with Initialize done.
    static HRESULT create(REFIID riid, void** ppv);

    PropertyPage(); // through create()
    ~PropertyPage() override;

    // ---- IPropertyPage, IPropertyPage2 ----
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE EditProperty(DISPID id) override;

    // ---- IDispatch (_ppg7seg4 declares no members of its own) ----
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // ---- ISupportErrorInfo ----
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    /// The page behind `object` (any of its interfaces) when it is one of this module's pages,
    /// else null. Another object's interface is refused before anything of it is read as ours.
    static PropertyPage* ofObject(IUnknown* object);
    /// The page's logic, null when the page failed to start.
    Ppg7Seg4* model() { return model_.get(); }

    /// The page window's procedure and the preview's painting (window procedures call these).
    LRESULT onPageMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    /// Paints preview image `index` (0..3) into `dc`.
    void paintPreview(int index, HDC dc, const RECT& client);

private:
    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    HRESULT createChildren();
    HWND createChild(const wchar_t* cls, DWORD style, const PageBox& box, int id, const wchar_t* text);
    /// Brings every child window up to date with the model, and tells the site when the page
    /// became changed.
    void refreshFromModel();
    void applyLabel(HWND label, const PageLabel& model, Font& font);
    /// Draws a language label's caption as 8-bit text in the label's font.
    void drawLabel(const DRAWITEMSTRUCT& item, const PageLabel& label, const Font& font);
    void onScroll(WPARAM wParam);
    void onSizeTextChanged();
    /// Runs a user action on the model; a failure is shown to the user (the action came from a
    /// window, there is no caller to hand the error to).
    template <class Action>
    void userAction(Action&& action);
    void reportDirty();
    int pixelsX(float twips) const;
    int pixelsY(float twips) const;
    void releaseTargets();

    WindowHolder parking_; // hidden owner of the colour list's window while the page is not shown
    std::unique_ptr<ComboWindowFactory> comboWindows_;
    std::unique_ptr<Ppg7Seg4> model_;
    std::vector<std::unique_ptr<DispatchTarget>> targets_;

    ComPtr<IPropertyPageSite> site_;
    WindowHolder page_;
    HWND versionLabel_ = nullptr;
    HWND colourLabel_ = nullptr;
    HWND sizeLabel_ = nullptr;
    HWND sizeText_ = nullptr;
    HWND scroll_ = nullptr;
    std::array<HWND, 4> previews_{};
    Font versionFont_, colourFont_, sizeFont_, textFont_; // outlive the windows that use them
    bool refreshing_ = false;    // the windows are being set from the model: no user action
    bool reportedDirty_ = false; // the site has been told that the page is changed
    DISPID focusOnActivate_ = DISPID_UNKNOWN;
};

/// Unregisters the page's window classes (when the module goes idle).
void unregisterPageWindowClasses();

} // namespace seg4::com
