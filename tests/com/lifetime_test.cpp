// Identity and lifetime: QueryInterface answers, reference counts, the class factory, and a
// module that can be unloaded exactly when no object and no lock is left.
#include "wine_support.h"

#include <docobj.h>
#include <olectl.h>

#include <gtest/gtest.h>

namespace seg4::wine {
namespace {

using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

CanUnloadNow canUnloadNow() {
    return reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(controlModule(), "DllCanUnloadNow")));
}

TEST(Lifetime, EveryInterfaceLeadsBackToOneIdentity) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IUnknown> identity;
    ASSERT_EQ(host.query(identity), S_OK);
    const IID* interfaces[] = {&IID_IQuorvaneComponentV4,
                               &IID__led7seg4,
                               &IID_IDispatch,
                               &IID_IOleObject,
                               &IID_IOleWindow,
                               &IID_IOleInPlaceObject,
                               &IID_IOleInPlaceActiveObject,
                               &IID_IOleControl,
                               &IID_IViewObject,
                               &IID_IViewObject2,
                               &IID_IPersist,
                               &IID_IPersistStreamInit,
                               &IID_IPersistPropertyBag,
                               &IID_IProvideClassInfo,
                               &IID_IProvideClassInfo2,
                               &IID_IConnectionPointContainer,
                               &IID_ISpecifyPropertyPages,
                               &IID_ISupportErrorInfo};
    for (const IID* iid : interfaces) {
        Ref<IUnknown> face;
        ASSERT_EQ(identity->QueryInterface(*iid, face.putVoid()), S_OK);
        Ref<IUnknown> back;
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, back.putVoid()), S_OK);
        EXPECT_EQ(back.get(), identity.get()) << "the same object behind every interface";
        Ref<IQuorvaneComponentV4> again;
        EXPECT_EQ(face.query(again), S_OK) << "each interface reaches the host interface";
    }
    const IID* absent[] = {&IID_IClassFactory, &IID_IOleDocument, &IID_IPersistStorage};
    for (const IID* iid : absent) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(identity->QueryInterface(*iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(identity->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(Lifetime, ReferencesAreCountedAcrossInterfaces) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(control), S_OK);
    // host and control: two references; each AddRef through any interface counts for the object.
    EXPECT_EQ(host->AddRef(), 3u);
    EXPECT_EQ(control->AddRef(), 4u);
    EXPECT_EQ(control->Release(), 3u);
    EXPECT_EQ(host->Release(), 2u);
}

TEST(Lifetime, ModuleUnloadsOnlyWhenNothingIsLeft) {
    CanUnloadNow unload = canUnloadNow();
    ASSERT_NE(unload, nullptr);
    {
        Ref<IQuorvaneComponentV4> host;
        createControl(host);
        EXPECT_EQ(unload(), S_FALSE) << "a control is alive";
        Ref<IConnectionPointContainer> container;
        ASSERT_EQ(host.query(container), S_OK);
        Ref<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(DIID___led7seg4, point.put()), S_OK);
        host.put();
        container.put();
        EXPECT_EQ(unload(), S_FALSE) << "the connection point keeps the control";
    }
    EXPECT_EQ(unload(), S_OK);

    Ref<IClassFactory> factory;
    ASSERT_EQ(
        CoGetClassObject(CLSID_led7seg4, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()),
        S_OK);
    EXPECT_EQ(unload(), S_FALSE) << "a factory is alive";
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.put();
    EXPECT_EQ(unload(), S_FALSE) << "the module is locked";
    Ref<IClassFactory> again;
    ASSERT_EQ(
        CoGetClassObject(CLSID_led7seg4, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, again.putVoid()),
        S_OK);
    ASSERT_EQ(again->LockServer(FALSE), S_OK);
    again.put();
    EXPECT_EQ(unload(), S_OK);
}

TEST(Lifetime, FactoryRefusesWhatItCannotMake) {
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(controlModule(), "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    Ref<IClassFactory> factory;
    EXPECT_EQ(getClassObject(CLSID_ppg7seg4, IID_IClassFactory, factory.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(CLSID_led7seg4, IID_IClassFactory, factory.putVoid()), S_OK);
    Ref<IUnknown> object;
    Ref<IUnknown> outer;
    ASSERT_EQ(factory.query(outer), S_OK); // any IUnknown will do as a would-be aggregator
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, object.putVoid()), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, object.putVoid()), E_NOINTERFACE);
    EXPECT_EQ(object.get(), nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST(Lifetime, ConnectionPointOfferedForTheEventInterfaceOnly) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IConnectionPointContainer> container;
    ASSERT_EQ(host.query(container), S_OK);
    Ref<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID___led7seg4, point.put()), S_OK);
    IID iid{};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID___led7seg4));

    // A sink that answers IDispatch connects; cookies are unique and disconnect once.
    Ref<IDispatch> sink;
    ASSERT_EQ(host.query(sink), S_OK); // any IDispatch will do as a sink that never hears events
    DWORD first = 0, second = 0;
    EXPECT_EQ(point->Advise(sink.get(), &first), S_OK);
    EXPECT_EQ(point->Advise(sink.get(), &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(point->Unadvise(first), S_OK);
    EXPECT_EQ(point->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(second), S_OK);

    Ref<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    got[0]->Release();
    EXPECT_EQ(points->Next(1, got, nullptr), S_FALSE) << "only one point";
}

} // namespace
} // namespace seg4::wine
