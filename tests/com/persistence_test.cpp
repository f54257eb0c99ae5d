// Storing the control through a host-side property bag and through a stream: what is written,
// what loading restores, and that a bad bag or a damaged stream fails clearly without applying
// anything it should not.
#include "wine_support.h"

#include "persistence/property_bag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace seg4::wine {
namespace {

constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);

VARIANT longValue(LONG v) {
    VARIANT x;
    VariantInit(&x);
    V_VT(&x) = VT_I4;
    V_I4(&x) = v;
    return x;
}

/// A control created through the class, neither InitNew nor Load done yet.
void createBare(Ref<IQuorvaneComponentV4>& host) {
    ASSERT_EQ(CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvaneComponentV4,
                               host.putVoid()),
              S_OK);
}

LONG portOf(IQuorvaneComponentV4* host, LONG pin) {
    LONG v = 0;
    EXPECT_EQ(host->get_Port(pin, &v), S_OK);
    return v;
}

/// The same entries for the core twin.
class CoreBag : public PropertyBag {
public:
    std::map<std::u16string, Variant> entries;
    Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
        auto it = entries.find(name);
        return it == entries.end() ? defaultValue : it->second;
    }
    void WriteProperty(const std::u16string& name, const Variant& value) override { entries[name] = value; }
};

TEST(Persistence, NewControlWritesItsTwentySixEntriesInOrder) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IPersistPropertyBag> persist;
    ASSERT_EQ(host.query(persist), S_OK);
    TestPropertyBag bag;
    ASSERT_EQ(persist->Save(&bag, TRUE, FALSE), S_OK);

    ASSERT_EQ(bag.written.size(), 26u);
    for (int pin = 0; pin < 12; ++pin) {
        const auto& port = bag.written[static_cast<std::size_t>(2 * pin)];
        const auto& bit = bag.written[static_cast<std::size_t>(2 * pin + 1)];
        EXPECT_EQ(port.first, L"Port" + std::to_wstring(pin));
        EXPECT_EQ(bit.first, L"Bit" + std::to_wstring(pin));
        EXPECT_EQ(V_VT(&port.second), VT_I4);
        EXPECT_EQ(V_I4(&port.second), -1);
        EXPECT_EQ(V_I4(&bit.second), -1);
    }
    EXPECT_EQ(bag.written[24].first, L"LEDColour");
    EXPECT_EQ(V_I4(&bag.written[24].second), 0);
    EXPECT_EQ(bag.written[25].first, L"LEDSize");
    EXPECT_EQ(V_I4(&bag.written[25].second), 50);
}

TEST(Persistence, LoadingFillsWiringAndSizeAndTheExtentFollowsTheCore) {
    TestPropertyBag bag;
    CoreBag coreBag;
    const std::pair<const wchar_t*, LONG> stored[] = {
        {L"Port3", 2}, {L"Port10", 5}, {L"LEDSize", 100}, {L"LEDColour", 2}};
    for (const auto& [name, value] : stored) {
        bag.set(name, longValue(value));
        coreBag.entries[narrowToU16(name)] = Variant::i4(value);
    }

    Ref<IQuorvaneComponentV4> host;
    createBare(host);
    Ref<IPersistPropertyBag> persist;
    ASSERT_EQ(host.query(persist), S_OK);
    ASSERT_EQ(persist->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(portOf(host.get(), 3), 2);
    EXPECT_EQ(portOf(host.get(), 10), 5) << "Port10 belongs to pin 10, not pin 1";
    EXPECT_EQ(portOf(host.get(), 1), -1);
    LONG bit = 0;
    EXPECT_EQ(host->get_Bit(3, &bit), S_OK);
    EXPECT_EQ(bit, -1);
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(control), S_OK);
    LONG size = 0, colour = 0;
    EXPECT_EQ(control->get_LEDSize(&size), S_OK);
    EXPECT_EQ(size, 100) << "a stored size is taken without the setter's range";
    EXPECT_EQ(control->get_LEDColour(&colour), S_OK);
    EXPECT_EQ(colour, 2);

    Win32Platform platform(controlModule());
    Led7Seg4 twin(platform);
    twin.Initialize();
    twin.ReadProperties(coreBag);
    Ref<IOleObject> ole;
    ASSERT_EQ(host.query(ole), S_OK);
    SIZEL extent{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, std::lround(twin.extentWidthTwips() * 2540.0 / 1440.0));
    EXPECT_EQ(extent.cy, std::lround(twin.extentHeightTwips() * 2540.0 / 1440.0));
}

TEST(Persistence, BadEntriesAndFailingBagsFailTheLoad) {
    struct Row {
        const char* what;
        HRESULT bagFailure;    // Read() fails with this for every name
        const wchar_t* badKey; // or this entry holds text that is no number
        HRESULT expected;
        LONG port0AfterFailure; // entries before the bad one keep their values
    };
    const Row rows[] = {
        {"the bag cannot read", STG_E_ACCESSDENIED, nullptr, STG_E_ACCESSDENIED, -1},
        {"a port is text", S_OK, L"Port1", kTypeMismatch, 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TestPropertyBag bag;
        bag.failReadsWith = r.bagFailure;
        bag.set(L"Port0", longValue(4));
        if (r.badKey) {
            VARIANT text;
            VariantInit(&text);
            V_VT(&text) = VT_BSTR;
            V_BSTR(&text) = SysAllocString(L"two");
            bag.set(r.badKey, text);
            VariantClear(&text);
        }
        Ref<IQuorvaneComponentV4> host;
        createBare(host);
        Ref<IPersistPropertyBag> persist;
        ASSERT_EQ(host.query(persist), S_OK);
        EXPECT_EQ(persist->Load(&bag, nullptr), r.expected);
        LONG port = 0;
        if (host->get_Port(0, &port) == S_OK) {
            EXPECT_EQ(port, r.port0AfterFailure);
        }
    }
}

TEST(Persistence, StreamRoundTripKeepsWiringColourAndSize) {
    Ref<IQuorvaneComponentV4> original;
    createControl(original);
    Ref<_led7seg4> control;
    ASSERT_EQ(original.query(control), S_OK);
    ASSERT_EQ(original->put_Port(0, 1), S_OK);
    ASSERT_EQ(original->put_Bit(11, 7), S_OK);
    ASSERT_EQ(control->put_LEDColour(3), S_OK);
    ASSERT_EQ(control->put_LEDSize(85), S_OK);

    Ref<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    Ref<IPersistStreamInit> saver;
    ASSERT_EQ(original.query(saver), S_OK);
    ULARGE_INTEGER sizeMax{};
    ASSERT_EQ(saver->GetSizeMax(&sizeMax), S_OK);
    ASSERT_EQ(saver->Save(stream.get(), TRUE), S_OK);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, sizeMax.QuadPart);
    LARGE_INTEGER start{};
    ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);

    Ref<IQuorvaneComponentV4> copy;
    createBare(copy);
    Ref<IPersistStreamInit> loader;
    ASSERT_EQ(copy.query(loader), S_OK);
    ASSERT_EQ(loader->Load(stream.get()), S_OK);
    EXPECT_EQ(portOf(copy.get(), 0), 1);
    LONG bit = 0;
    EXPECT_EQ(copy->get_Bit(11, &bit), S_OK);
    EXPECT_EQ(bit, 7);
    Ref<_led7seg4> copyControl;
    ASSERT_EQ(copy.query(copyControl), S_OK);
    LONG colour = 0, size = 0;
    EXPECT_EQ(copyControl->get_LEDColour(&colour), S_OK);
    EXPECT_EQ(colour, 3);
    EXPECT_EQ(copyControl->get_LEDSize(&size), S_OK);
    EXPECT_EQ(size, 85);
    EXPECT_EQ(loader->InitNew(), E_UNEXPECTED) << "a loaded control is not new";
}

TEST(Persistence, DamagedStreamsAreRefusedBeforeAnythingIsApplied) {
    // A valid stream saved from a control with pin 0 on port 6, then damaged in several ways.
    Ref<IQuorvaneComponentV4> source;
    createControl(source);
    ASSERT_EQ(source->put_Port(0, 6), S_OK);
    Ref<IStream> good;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, good.put()), S_OK);
    Ref<IPersistStreamInit> saver;
    ASSERT_EQ(source.query(saver), S_OK);
    ASSERT_EQ(saver->Save(good.get(), TRUE), S_OK);
    HGLOBAL memory = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(good.get(), &memory), S_OK);
    STATSTG stat{};
    good->Stat(&stat, STATFLAG_NONAME);
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
    const std::vector<unsigned char> saved(bytes, bytes + stat.cbSize.QuadPart);
    GlobalUnlock(memory);

    struct Row {
        const char* what;
        std::vector<unsigned char> bytes;
        HRESULT expected;
    };
    std::vector<unsigned char> badMagic = saved;
    badMagic[0] = 'X';
    std::vector<unsigned char> badVersion = saved;
    badVersion[4] = 9;
    std::vector<unsigned char> truncated(saved.begin(), saved.end() - 3);
    std::vector<unsigned char> hugeName = saved;
    hugeName[10] = 0xFF; // the first name's length becomes enormous
    hugeName[11] = 0xFF;
    hugeName[12] = 0xFF;
    const Row rows[] = {{"bad magic", badMagic, STG_E_INVALIDHEADER},
                        {"unknown version", badVersion, STG_E_OLDFORMAT},
                        {"cut short", truncated, STG_E_READFAULT},
                        {"absurd name length", hugeName, STG_E_READFAULT},
                        {"empty", {}, STG_E_READFAULT}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Ref<IQuorvaneComponentV4> target;
        createControl(target);
        Ref<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
        ULONG written = 0;
        if (!r.bytes.empty()) stream->Write(r.bytes.data(), static_cast<ULONG>(r.bytes.size()), &written);
        LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        Ref<IPersistStreamInit> loader;
        ASSERT_EQ(target.query(loader), S_OK);
        EXPECT_EQ(loader->Load(stream.get()), r.expected);
        EXPECT_EQ(portOf(target.get(), 0), -1) << "nothing of a damaged stream is applied";
    }
}

} // namespace
} // namespace seg4::wine
