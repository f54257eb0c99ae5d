// What qhost relies on from a backend, checked with the same tables on the linked core and on
// the registered module under Wine: arguments converted and written back as the caller's
// IDispatch does it, the dispatch errors of arguments that do not convert, a stored display read
// through the host's bag, and message boxes reported in order while the call is still running.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "test_host.h"
#include "views/documents.h"
#include "views/value_format.h"

#include <gtest/gtest.h>

#include <string>

namespace qhost::testing {

using seg4::MemberKind;
using seg4::Variant;
using seg4::VarType;

Variant call(Display& display, std::string_view name, MemberKind kind, std::vector<Variant*> args) {
    for (bool host : {true, false}) {
        const std::span<const seg4::MemberInfo> table =
            host ? std::span<const seg4::MemberInfo>(seg4::kHostMembers)
                 : std::span<const seg4::MemberInfo>(seg4::kControlMembers);
        for (const seg4::MemberInfo& m : table)
            if (m.name == name && m.kind == kind) return display.invoke(host, m, args);
    }
    ADD_FAILURE() << "no member " << name;
    return {};
}

namespace {

constexpr auto Get = MemberKind::Get;
constexpr auto Put = MemberKind::Put;
constexpr auto Method = MemberKind::Method;

std::unique_ptr<Display> placed() {
    std::unique_ptr<Display> d = testBackend().create();
    d->initProperties();
    d->show();
    return d;
}

Variant variants(std::vector<Variant> elements) {
    return Variant::array(VarType::Variant, 0, std::move(elements));
}

std::string typeOf(const Variant& v) { return seg4::toUtf8(seg4::typeName(v)); }
std::string describe(const Variant& v) { return typeOf(v) + " " + seg4::toUtf8(seg4::toString(v)); }

TEST(BackendContract, ByReferenceArgumentsComeBackAsTheMembersType) {
    struct Row {
        const char* what;
        std::string_view member;
        MemberKind kind;
        std::vector<Variant> args;
        std::size_t checked; // the argument looked at afterwards
        const char* typeAfter;
        Variant valueAfter;
    };
    const Row rows[] = {
        {"a Long the member sets",
         "VNodeMsgRead",
         Get,
         {Variant::i4(0), Variant::string(u"7")},
         1,
         "Long",
         Variant::i4(0)},
        {"a String the member only reads",
         "GetIniKeyValue",
         Method,
         {Variant::string(u"MacroNames"), Variant::string(u"Count"), Variant::i4(5)},
         2,
         "String",
         Variant::string(u"5")},
        {"a Variant the member fills", "SimReadPins", Method, {Variant::r8(3)}, 0, "Boolean()", Variant()},
        {"a Long rounded on the way in",
         "SimMacroCall",
         Method,
         {Variant::i4(0), variants({Variant::i4(0), Variant::i4(7), Variant::i4(0)}), Variant::r8(2.5),
          Variant(), Variant::string(u"9")},
         2,
         "Long",
         Variant::i4(2)},
        {"cycles written by the macro",
         "SimMacroCall",
         Method,
         {Variant::i4(0), variants({Variant::i4(0), Variant::i4(7), Variant::i4(0)}), Variant::r8(2.5),
          Variant(), Variant::string(u"9")},
         4,
         "Long",
         Variant::i4(32)},
        {"the lines a macro affected",
         "SimMacroCall",
         Method,
         {Variant::i4(0), variants({Variant::i4(1), Variant::i4(8), Variant::i4(0)}), Variant(), Variant(),
          Variant()},
         3,
         "Long()",
         Variant()},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::unique_ptr<Display> d = placed();
        Variant version = Variant::i4(1026);
        call(*d, "QuorvaneVersion", Put, {&version});
        call(*d, "StartSimulation", Method, {});
        std::vector<Variant> args = r.args;
        std::vector<Variant*> pointers;
        for (Variant& a : args) pointers.push_back(&a);
        call(*d, r.member, r.kind, pointers);
        const Variant& after = args[r.checked];
        EXPECT_EQ(typeOf(after), r.typeAfter);
        if (r.valueAfter.type() != VarType::Empty) {
            EXPECT_TRUE(seg4::automationEquals(after, r.valueAfter)) << describe(after);
        } else {
            EXPECT_EQ(after.arrayData() ? after.arrayData()->elements.size() : 0u, 12u);
        }
    }
}

TEST(BackendContract, ArgumentsThatDoNotConvertFailAsInvokeFailsThem) {
    using namespace seg4::hr;
    struct Row {
        const char* what;
        std::string_view member;
        MemberKind kind;
        std::vector<Variant> args;
        seg4::HResult code;
    };
    const Variant big = Variant::r8(1e20), text = Variant::string(u"x"), three = variants({Variant::i4(0)});
    const Row rows[] = {
        {"text for a Long", "Port", Put, {Variant::i4(0), Variant::string(u"abc")}, DispTypeMismatch},
        {"a Long out of range", "Port", Put, {Variant::i4(0), Variant::r8(3e10)}, DispOverflow},
        {"an Integer out of range", "iVersionMajor", Put, {Variant::i4(40000)}, DispOverflow},
        {"Null for a Long", "PinName", Get, {Variant::null()}, DispTypeMismatch},
        {"an array for a String", "ADCCaptureCode", Put, {three}, DispTypeMismatch},
        {"text for a Long by reference", "VNodeMsgRead", Get, {Variant::i4(0), text}, DispTypeMismatch},
        {"a Long by reference out of range", "VNodeMsgRead", Get, {Variant::i4(0), big}, DispOverflow},
        {"the leftmost argument first", "VNodeMsgRead", Get, {text, big}, DispTypeMismatch},
        {"an array for a String by reference",
         "GetIniKeyValue",
         Method,
         {three, text, text},
         DispTypeMismatch},
        {"a by-reference Long after arguments that convert",
         "SimMacroCall",
         Method,
         {Variant::i4(0), three, big, Variant(), Variant()},
         DispOverflow},
    };
    std::unique_ptr<Display> d = placed();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<Variant> args = r.args;
        std::vector<Variant*> pointers;
        for (Variant& a : args) pointers.push_back(&a);
        try {
            call(*d, r.member, r.kind, pointers);
            ADD_FAILURE() << "the call succeeded";
        } catch (const seg4::ComError& e) {
            EXPECT_EQ(static_cast<std::uint32_t>(e.code()), static_cast<std::uint32_t>(r.code));
            EXPECT_EQ(e.description(), seg4::describeHResult(r.code));
        }
        for (std::size_t i = 0; i < args.size(); ++i)
            EXPECT_EQ(formatValue(args[i]), formatValue(r.args[i])) << "argument " << i << " was changed";
    }
}

TEST(BackendContract, MessageBoxesArriveInOrderWhileTheirCallRuns) {
    std::vector<std::string> log;
    testBackend().onMessageBox(
        [&log](const std::u16string& text) { log.push_back("box " + seg4::toUtf8(text)); });
    std::unique_ptr<Display> d = placed();
    // A Boolean for a String becomes the text of its number, as Invoke converts it.
    const Variant values[] = {Variant::string(u"a.bmp"), Variant::boolean(true), Variant::r8(2.5)};
    for (int i = 0; i < 3; ++i) {
        Variant id = Variant::i4(i + 1), value = values[i];
        call(*d, "WriteCustomImages", Put, {&id, &value});
        log.push_back("returned " + std::to_string(i + 1));
    }
    Variant missing = Variant::string(u"NoSuchSection");
    Variant key = Variant::string(u"k"), fallback = Variant::string(u"fallback");
    EXPECT_EQ(seg4::toString(call(*d, "GetIniKeyValue", Method, {&missing, &key, &fallback})), u"fallback");
    testBackend().onMessageBox([](const std::u16string&) {});
    const std::vector<std::string> expected = {"box id=1  and filename = \r\na.bmp", "returned 1",
                                               "box id=2  and filename = \r\n-1",    "returned 2",
                                               "box id=3  and filename = \r\n2.5",   "returned 3"};
    EXPECT_EQ(log, expected);
}

TEST(BackendContract, AStoredDisplayIsReadThroughTheHostsBag) {
    using namespace seg4::hr;
    struct Row {
        const char* what;
        std::vector<std::pair<std::u16string, Variant>> entries;
        seg4::HResult code; // Ok: the load succeeds
        std::u16string lastRead;
        std::int32_t port0, port1, size;
    };
    const Row rows[] = {
        {"entries of every type the bag holds, the rest by default",
         {{u"Port0", Variant::i4(3)}, {u"Bit0", Variant::string(u"2")}, {u"LEDSize", Variant::i2(85)}},
         Ok,
         u"LEDSize",
         3,
         -1,
         85},
        {"a key that does not convert stops the load there",
         {{u"Port0", Variant::i4(3)}, {u"Port1", Variant::string(u"abc")}, {u"Port2", Variant::i4(5)}},
         TypeMismatch,
         u"Port1",
         3,
         -1,
         0},
        {"a size too large for a Long", {{u"LEDSize", Variant::r8(1e10)}}, Overflow, u"LEDSize", -1, -1, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        OrderedBag bag;
        bag.entries = r.entries;
        std::unique_ptr<Display> d = testBackend().create();
        try {
            d->readProperties(bag);
            EXPECT_EQ(r.code, Ok);
        } catch (const seg4::ComError& e) {
            EXPECT_EQ(static_cast<std::uint32_t>(e.code()), static_cast<std::uint32_t>(r.code));
        }
        EXPECT_EQ(seg4::toUtf8(bag.lastRead), seg4::toUtf8(r.lastRead));
        Variant zero = Variant::i4(0), one = Variant::i4(1);
        EXPECT_EQ(seg4::toLong(call(*d, "Port", Get, {&zero})), r.port0);
        EXPECT_EQ(seg4::toLong(call(*d, "Port", Get, {&one})), r.port1);
        if (r.code == Ok) {
            EXPECT_EQ(seg4::toLong(call(*d, "LEDSize", Get, {})), r.size);
        }
    }
}

} // namespace
} // namespace qhost::testing
