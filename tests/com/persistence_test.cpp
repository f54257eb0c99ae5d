// Storing the control through a stream (the format is the module's own) and loading it back
// without reading past its own data, and a failing container's bag or a damaged stream failing the load
// clearly without applying anything it should not. (Documents saved and loaded through a container's bag are
// compared with the native build's by the stage's qhost.exe run.)
#include "com_values.h"
#include "wine_support.h"

#include "persistence/property_bag.h"

#include <gtest/gtest.h>

#include <string>

namespace seg4::wine {
namespace {

LONG portOf(IQuorvaneComponentV4* host, LONG pin) {
    LONG v = 0;
    EXPECT_EQ(host->get_Port(pin, &v), S_OK);
    return v;
}

/// The core twin's entries, in the order written.
struct CoreBag : PropertyBag {
    std::vector<std::pair<std::u16string, Variant>> entries;
    Variant ReadProperty(const std::u16string&, const Variant& defaultValue) override { return defaultValue; }
    void WriteProperty(const std::u16string& name, const Variant& value) override {
        entries.emplace_back(name, value);
    }
};

void save(IQuorvaneComponentV4* host, TestPropertyBag& bag) {
    Ref<IPersistPropertyBag> persist;
    ASSERT_EQ(host->QueryInterface(IID_IPersistPropertyBag, persist.putVoid()), S_OK);
    ASSERT_EQ(persist->Save(&bag, TRUE, FALSE), S_OK);
}

/// The entries of a container's bag are the twin's, in order, name by name and value by value.
void expectCoreEntries(const TestPropertyBag& bag, Led7Seg4& twin) {
    CoreBag core;
    twin.WriteProperties(core);
    ASSERT_EQ(bag.written.size(), core.entries.size());
    for (std::size_t i = 0; i < bag.written.size(); ++i) {
        EXPECT_EQ(bag.written[i].first, wide(core.entries[i].first));
        EXPECT_TRUE(sameValue(bag.written[i].second, core.entries[i].second)) << i;
    }
}

TEST(Persistence, StreamRoundTripKeepsTheCoreEntries) {
    // A control wired away from the defaults, through COM and on the twin alike.
    Ref<IQuorvaneComponentV4> original;
    createControl(original);
    Ref<_led7seg4> control;
    ASSERT_EQ(original.query(control), S_OK);
    CoreTwin twin;
    for (auto [pin, port] : {std::pair{0, 1}, std::pair{10, 5}}) {
        ASSERT_EQ(original->put_Port(pin, port), S_OK);
        twin.core().put_Port(pin, port);
    }
    ASSERT_EQ(original->put_Bit(11, 7), S_OK);
    ASSERT_EQ(control->put_LEDColour(3), S_OK);
    ASSERT_EQ(control->put_LEDSize(85), S_OK);
    twin.core().put_Bit(11, 7);
    twin.core().put_LEDColour(3);
    twin.core().put_LEDSize(85);
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
    // The container stores data of its own after the control's, and reads it after the load.
    const char trailer[] = "the container's own";
    ASSERT_EQ(stream->Write(trailer, sizeof trailer, nullptr), S_OK);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    Ref<IQuorvaneComponentV4> fromStream;
    createControl(fromStream, false);
    Ref<IPersistStreamInit> streamLoader;
    ASSERT_EQ(fromStream.query(streamLoader), S_OK);
    ASSERT_EQ(streamLoader->Load(stream.get()), S_OK);
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, sizeMax.QuadPart) << "Load stops where the control's data ends";
    char after[sizeof trailer] = {};
    ULONG got = 0;
    ASSERT_EQ(stream->Read(after, sizeof after, &got), S_OK);
    EXPECT_EQ(std::string(after, got), std::string(trailer, sizeof trailer));
    TestPropertyBag loaded;
    save(fromStream.get(), loaded);
    expectCoreEntries(loaded, twin.core());
    EXPECT_EQ(streamLoader->InitNew(), E_UNEXPECTED) << "a loaded control is not new";
}

TEST(Persistence, AFailingBagFailsTheLoadWithItsOwnError) {
    // An entry that does not convert is BackendContract.AStoredDisplayIsReadThroughTheHostsBag's.
    TestPropertyBag bag;
    bag.failReadsWith = STG_E_ACCESSDENIED;
    bag.set(L"Port0", longVariant(4));
    Ref<IQuorvaneComponentV4> host;
    createControl(host, false);
    Ref<IPersistPropertyBag> persist;
    ASSERT_EQ(host.query(persist), S_OK);
    EXPECT_EQ(persist->Load(&bag, nullptr), STG_E_ACCESSDENIED);
    EXPECT_EQ(portOf(host.get(), 0), -1);
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

    std::vector<unsigned char> badMagic = saved, badVersion = saved, hugeName = saved;
    badMagic[0] = 'X';
    badVersion[4] = 9;
    hugeName[10] = hugeName[11] = hugeName[12] = 0xFF; // the first name's length becomes enormous
    const std::pair<std::vector<unsigned char>, HRESULT> rows[] = {
        {badMagic, STG_E_INVALIDHEADER},
        {badVersion, STG_E_OLDFORMAT},
        {std::vector<unsigned char>(saved.begin(), saved.end() - 3), STG_E_READFAULT},
        {hugeName, STG_E_READFAULT}};
    for (const auto& [damaged, expected] : rows) {
        Ref<IQuorvaneComponentV4> target;
        createControl(target);
        Ref<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
        ULONG written = 0;
        stream->Write(damaged.data(), static_cast<ULONG>(damaged.size()), &written);
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
        Ref<IPersistStreamInit> loader;
        ASSERT_EQ(target.query(loader), S_OK);
        EXPECT_EQ(loader->Load(stream.get()), expected);
        EXPECT_EQ(portOf(target.get(), 0), -1) << "nothing of a damaged stream is applied";
    }
}

} // namespace
} // namespace seg4::wine
