// A container or client that passes a null pointer where the module expects one gets an error
// code back, never an access violation: every interface of the display and of its page, the
// dispatch paths the system's type information would read through unchecked included.
#include "wine_support.h"

#include <docobj.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace seg4::wine {
namespace {

/// The display's interfaces, each queried once from one new control.
struct Faces {
    Ref<IQuorvaneComponentV4> host;
    Ref<_led7seg4> control;
    Ref<IOleObject> ole;
    Ref<IOleInPlaceObject> inPlace;
    Ref<IOleControl> oleControl;
    Ref<IViewObject2> view;
    Ref<IPersistStreamInit> stream;
    Ref<IPersistPropertyBag> bag;
    Ref<IProvideClassInfo2> classInfo;
    Ref<IConnectionPointContainer> points;
    Ref<IConnectionPoint> point;
    Ref<ISpecifyPropertyPages> pages;
    Ref<IPropertyPage2> page;
    Ref<IDispatch> pageDispatch;

    Faces() {
        createControl(host);
        EXPECT_EQ(host.query(control), S_OK);
        EXPECT_EQ(host.query(ole), S_OK);
        EXPECT_EQ(host.query(inPlace), S_OK);
        EXPECT_EQ(host.query(oleControl), S_OK);
        EXPECT_EQ(host.query(view), S_OK);
        EXPECT_EQ(host.query(stream), S_OK);
        EXPECT_EQ(host.query(bag), S_OK);
        EXPECT_EQ(host.query(classInfo), S_OK);
        EXPECT_EQ(host.query(points), S_OK);
        EXPECT_EQ(host.query(pages), S_OK);
        if (points.get()) {
            EXPECT_EQ(points->FindConnectionPoint(DIID___led7seg4, point.put()), S_OK);
        }
        EXPECT_EQ(CoCreateInstance(CLSID_ppg7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage2,
                                   page.putVoid()),
                  S_OK);
        if (page.get()) {
            EXPECT_EQ(page.query(pageDispatch), S_OK);
        }
    }
};

TEST(NullArguments, EveryInterfaceAnswersWithAnErrorCode) {
    Faces f;
    ASSERT_TRUE(f.host.get() && f.point.get() && f.pageDispatch.get());
    std::wstring known = L"PinCount";
    LPOLESTR names[] = {known.data()};
    LPOLESTR missingName[] = {nullptr};
    DISPID id = 0;
    auto* hostDispatch = static_cast<IDispatch*>(f.host.get());
    auto* controlDispatch = static_cast<IDispatch*>(f.control.get());

    struct Row {
        const char* what;
        std::function<HRESULT()> call;
    };
    const Row rows[] = {
        // Name lookup and Invoke on the host's, the control's and the page's dispatch interface.
        {"host GetIDsOfNames, no names",
         [&] { return hostDispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id); }},
        {"host GetIDsOfNames, no ids",
         [&] { return hostDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr); }},
        {"host GetIDsOfNames, a null name",
         [&] { return hostDispatch->GetIDsOfNames(IID_NULL, missingName, 1, 0, &id); }},
        {"control GetIDsOfNames, no names",
         [&] { return controlDispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id); }},
        {"control GetIDsOfNames, no ids",
         [&] { return controlDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr); }},
        {"page GetIDsOfNames, no names",
         [&] { return f.pageDispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id); }},
        {"page GetIDsOfNames, no ids",
         [&] { return f.pageDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr); }},
        {"host Invoke, no parameters",
         [&] {
             return hostDispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr);
         }},
        {"control Invoke, arguments counted but missing",
         [&] {
             DISPPARAMS params{nullptr, nullptr, 2, 0};
             return controlDispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                            nullptr);
         }},
        {"page Invoke, named arguments counted but missing",
         [&] {
             VARIANTARG arg;
             VariantInit(&arg);
             DISPPARAMS params{&arg, nullptr, 1, 1};
             return f.pageDispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                           nullptr);
         }},
        {"GetTypeInfoCount", [&] { return hostDispatch->GetTypeInfoCount(nullptr); }},
        {"GetTypeInfo", [&] { return controlDispatch->GetTypeInfo(0, 0, nullptr); }},
        // The OLE object in its container.
        {"GetClientSite", [&] { return f.ole->GetClientSite(nullptr); }},
        {"GetUserClassID", [&] { return f.ole->GetUserClassID(nullptr); }},
        {"GetUserType", [&] { return f.ole->GetUserType(USERCLASSTYPE_FULL, nullptr); }},
        {"GetExtent", [&] { return f.ole->GetExtent(DVASPECT_CONTENT, nullptr); }},
        {"SetExtent", [&] { return f.ole->SetExtent(DVASPECT_CONTENT, nullptr); }},
        {"Advise", [&] { return f.ole->Advise(nullptr, nullptr); }},
        {"EnumAdvise", [&] { return f.ole->EnumAdvise(nullptr); }},
        {"EnumVerbs", [&] { return f.ole->EnumVerbs(nullptr); }},
        {"GetMiscStatus", [&] { return f.ole->GetMiscStatus(DVASPECT_CONTENT, nullptr); }},
        {"GetWindow", [&] { return f.inPlace->GetWindow(nullptr); }},
        {"SetObjectRects", [&] { return f.inPlace->SetObjectRects(nullptr, nullptr); }},
        {"GetControlInfo", [&] { return f.oleControl->GetControlInfo(nullptr); }},
        // Drawing.
        {"Draw without a DC",
         [&] {
             const RECTL bounds{0, 0, 10, 10};
             return f.view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr,
                                 nullptr, 0);
         }},
        {"view GetExtent", [&] { return f.view->GetExtent(DVASPECT_CONTENT, -1, nullptr, nullptr); }},
        // Storage.
        {"GetClassID", [&] { return f.stream->GetClassID(nullptr); }},
        {"stream Load", [&] { return f.stream->Load(nullptr); }},
        {"stream Save", [&] { return f.stream->Save(nullptr, TRUE); }},
        {"GetSizeMax", [&] { return f.stream->GetSizeMax(nullptr); }},
        {"bag Load", [&] { return f.bag->Load(nullptr, nullptr); }},
        {"bag Save", [&] { return f.bag->Save(nullptr, TRUE, TRUE); }},
        // Class information, events and pages.
        {"GetClassInfo", [&] { return f.classInfo->GetClassInfo(nullptr); }},
        {"GetGUID", [&] { return f.classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr); }},
        {"FindConnectionPoint", [&] { return f.points->FindConnectionPoint(DIID___led7seg4, nullptr); }},
        {"EnumConnectionPoints", [&] { return f.points->EnumConnectionPoints(nullptr); }},
        {"point GetConnectionInterface", [&] { return f.point->GetConnectionInterface(nullptr); }},
        {"point GetConnectionPointContainer", [&] { return f.point->GetConnectionPointContainer(nullptr); }},
        {"point Advise without a cookie", [&] { return f.point->Advise(hostDispatch, nullptr); }},
        {"point Advise without a sink",
         [&] {
             DWORD cookie = 7;
             return f.point->Advise(nullptr, &cookie);
         }},
        {"GetPages", [&] { return f.pages->GetPages(nullptr); }},
        {"page GetPageInfo", [&] { return f.page->GetPageInfo(nullptr); }},
        {"page SetObjects", [&] { return f.page->SetObjects(1, nullptr); }},
        {"page Activate", [&] { return f.page->Activate(nullptr, nullptr, FALSE); }},
        {"page Move", [&] { return f.page->Move(nullptr); }},
    };
    for (const Row& r : rows) {
        const HRESULT hr = r.call();
        EXPECT_TRUE(hr == E_POINTER || hr == E_INVALIDARG) << r.what << ": 0x" << std::hex << hr;
    }
    // The ids of a lookup without names are set to unknown, not left as they were.
    DISPID ids[2] = {5, 6};
    EXPECT_EQ(hostDispatch->GetIDsOfNames(IID_NULL, nullptr, 2, 0, ids), E_INVALIDARG);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    // And after all that, the control still answers.
    LONG count = 0;
    EXPECT_EQ(f.host->get_PinCount(&count), S_OK);
    EXPECT_EQ(count, 12);
}

} // namespace
} // namespace seg4::wine
