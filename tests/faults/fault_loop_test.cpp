// Every entry point of the core rerun with one platform service failing at its 1st, 2nd, 3rd ...
// call, once or from then on, until no fault fires; then with each allocation failing, and with
// the container's property bag failing. Each run must fail the way the component's rules say (the
// error code or the message box they name, else a clear error), must leave the stored settings as
// they were unless the call succeeded, and must leave nothing behind that spoils the next call.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "component/member_table.h"
#include "failing_new.h"
#include "fake_platform.h"
#include "helpers.h"
#include "localisation/language.h"
#include "memory_combo_window.h"
#include "persistence/property_bag.h"
#include "propertypage/ppg7seg4.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

namespace seg4::test {
namespace {

// [SECTION] Calling any member of the two interfaces by its row

std::u16string text(const Variant& v) {
    if (const SafeArray* a = v.arrayData()) {
        std::u16string out = u"[";
        for (const Variant& e : a->elements) out += text(e) + u",";
        return out + u"]";
    }
    try {
        return typeName(v) + u":" + toString(v);
    } catch (const ComError&) {
        return typeName(v);
    }
}

// Each argument as the member takes it, made from the caller's variant; an in/out argument is
// written back when the call ends, as far as it got.
template <typename T>
struct Slot;
template <>
struct Slot<std::int32_t> {
    std::int32_t v;
    explicit Slot(Variant& a) : v(toLong(a)) {}
    std::int32_t get() const { return v; }
};
template <>
struct Slot<std::int16_t> {
    std::int16_t v;
    explicit Slot(Variant& a) : v(toInteger(a)) {}
    std::int16_t get() const { return v; }
};
template <>
struct Slot<std::int32_t&> {
    Variant& a;
    std::int32_t v;
    explicit Slot(Variant& x) : a(x), v(toLong(x)) {}
    Slot(const Slot&) = delete;
    ~Slot() { a = Variant::i4(v); }
    std::int32_t& get() { return v; }
};
template <>
struct Slot<const std::u16string&> {
    std::u16string v;
    explicit Slot(Variant& a) : v(toString(a)) {}
    const std::u16string& get() const { return v; }
};
template <>
struct Slot<std::u16string&> {
    Variant& a;
    std::u16string v;
    explicit Slot(Variant& x) : a(x), v(toString(x)) {}
    Slot(const Slot&) = delete;
    ~Slot() { a = Variant::string(std::move(v)); } // moved: nothing to allocate while unwinding
    std::u16string& get() { return v; }
};
template <>
struct Slot<const Variant&> {
    Variant& a;
    explicit Slot(Variant& x) : a(x) {}
    const Variant& get() const { return a; }
};
template <>
struct Slot<Variant&> {
    Variant& a;
    explicit Slot(Variant& x) : a(x) {}
    Variant& get() { return a; }
};

std::u16string resultText(std::int32_t v) { return text(Variant::i4(v)); }
std::u16string resultText(std::int16_t v) { return text(Variant::i2(v)); }
std::u16string resultText(const std::u16string& v) { return text(Variant::string(v)); }
std::u16string resultText(const Variant& v) { return text(v); }

template <typename Sig, Sig M>
struct Call;
template <typename R, typename... A, R (Led7Seg4::*M)(A...)>
struct Call<R (Led7Seg4::*)(A...), M> {
    static std::u16string run(Led7Seg4& control, std::vector<Variant>& args) {
        return with(control, args, std::index_sequence_for<A...>{});
    }
    template <std::size_t... I>
    static std::u16string with(Led7Seg4& control, std::vector<Variant>& args, std::index_sequence<I...>) {
        std::tuple<Slot<A>...> slots(args[I]...); // each made in place, none copied
        if constexpr (std::is_void_v<R>) {
            (control.*M)(std::get<I>(slots).get()...);
            return u"";
        } else {
            return resultText((control.*M)(std::get<I>(slots).get()...));
        }
    }
};

using Invoker = std::u16string (*)(Led7Seg4&, std::vector<Variant>&);
#define SEG4_INVOKER(no, name, kind, method) &Call<decltype(&Led7Seg4::method), &Led7Seg4::method>::run,
constexpr Invoker kHostInvokers[] = {
#define HOST_MEMBER SEG4_INVOKER
#include "component/host_members.def"
#undef HOST_MEMBER
};
constexpr Invoker kControlInvokers[] = {
#define CONTROL_MEMBER SEG4_INVOKER
#include "component/control_members.def"
#undef CONTROL_MEMBER
};
#undef SEG4_INVOKER

/// Arguments that make a member do real work; every other member gets zeros and empty values.
std::vector<Variant> argumentsFor(const MemberInfo& m) {
    const Variant digitCall =
        Variant::array(VarType::Variant, 0, {Variant::i2(1), Variant::i2(7), Variant::boolean(true)});
    std::vector<Variant> levels;
    for (int pin = 0; pin < 12; ++pin) levels.push_back(Variant::boolean(pin % 3 == 0));
    const std::map<std::pair<std::string_view, MemberKind>, std::vector<Variant>> chosen{
        {{"Port", MemberKind::Put}, {Variant::i4(1), Variant::i4(5)}},
        {{"Bit", MemberKind::Put}, {Variant::i4(1), Variant::i4(6)}},
        {{"LEDColour", MemberKind::Put}, {Variant::i4(1)}},
        {{"LEDSize", MemberKind::Put}, {Variant::i4(70)}},
        {{"CommonAnode", MemberKind::Put}, {Variant::i4(1)}},
        {{"QuorvaneVersion", MemberKind::Put}, {Variant::i4(0x0801)}},
        {{"SimWritePins", MemberKind::Method}, {Variant::array(VarType::Variant, 0, levels)}},
        {{"SimMacroCall", MemberKind::Method},
         {Variant::i4(0), digitCall, Variant::i4(0), Variant(), Variant::i4(0)}},
        {{"SimMacroCall2", MemberKind::Method},
         {Variant::i4(0), digitCall, Variant(), Variant(), Variant::i4(0)}},
        {{"MacroCodeOverride", MemberKind::Method}, {Variant::string(u"%a=%b; %c %j %p %t")}},
        {{"GetIniKeyValue", MemberKind::Method},
         {Variant::string(u"MacroParameters_SHOW_DIGIT"), Variant::string(u"2"), Variant::string(u"none")}},
        {{"GetCodeFromFile", MemberKind::Method}, {Variant::string(u"Macro_SHOW_DIGIT")}},
        {{"WriteCustomImages", MemberKind::Put}, {Variant::i4(2), Variant::string(u"on.png")}},
    };
    if (auto it = chosen.find({m.name, m.kind}); it != chosen.end()) return it->second;
    std::vector<Variant> args;
    for (ValueKind k : m.args) {
        switch (k) {
        case ValueKind::Short:
        case ValueKind::ShortRef: args.push_back(Variant::i2(0)); break;
        case ValueKind::Long:
        case ValueKind::LongRef: args.push_back(Variant::i4(0)); break;
        case ValueKind::String:
        case ValueKind::StringRef: args.push_back(Variant::string(u"")); break;
        default: args.push_back(Variant()); break;
        }
    }
    return args;
}

// [SECTION] A display with everything it reads, and what it keeps

class MemoryBag : public PropertyBag {
public:
    Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override {
        countDown();
        auto it = std::find_if(entries.begin(), entries.end(), [&](auto& e) { return e.first == name; });
        return it == entries.end() ? defaultValue : it->second;
    }
    void WriteProperty(const std::u16string& name, const Variant& value) override {
        countDown();
        entries.emplace_back(name, value);
    }
    std::vector<std::pair<std::u16string, Variant>> entries;
    int failAt = 0; ///< this read or write fails the bag (0: none)

private:
    int calls_ = 0;
    void countDown() {
        if (++calls_ == failAt) raise(hr::DeviceIoError);
    }
};

/// The settings a display would store now, as "name=value" rows.
std::vector<std::string> storedSettings(Led7Seg4& control) {
    MemoryBag bag;
    try {
        control.WriteProperties(bag);
    } catch (const ComError& e) {
        return {"the settings cannot be saved: " + toUtf8(describeHResult(e.code()))};
    }
    std::vector<std::string> rows;
    for (const auto& [name, value] : bag.entries)
        rows.push_back(toUtf8(name) + "=" + toUtf8(toString(value)));
    return rows;
}

const std::u16string kFolder = u"C:\\Program Files\\Quorvane\\Components";
const std::u16string kCodeFile = kFolder + u"\\ARM_7seg4.c";

/// How far a display has come before the call under test.
enum class Stage { Bare, Created, Ready };

/// The page reaches the display by property name, as the frame hands it over.
class DisplayTarget : public PageTarget {
public:
    explicit DisplayTarget(Led7Seg4& control) : control_(control) {}
    Variant getProperty(const std::u16string& name) override {
        return Variant::i4(name == u"LEDColour" ? control_.get_LEDColour() : control_.get_LEDSize());
    }
    void putProperty(const std::u16string& name, const Variant& value) override {
        name == u"LEDColour" ? control_.put_LEDColour(toLong(value)) : control_.put_LEDSize(toLong(value));
    }

private:
    Led7Seg4& control_;
};

struct World {
    FakePlatform platform;
    MemoryComboWindowFactory windows;
    std::unique_ptr<Led7Seg4> control;
    std::unique_ptr<DisplayTarget> target;
    std::unique_ptr<Ppg7Seg4> page;
    std::unique_ptr<Language> language;
    std::vector<Variant> args; // the arguments of a member call, made before anything can fail

    explicit World(Stage stage) {
        platform.folder = kFolder;
        platform.setHostLanguage(u"dede");
        platform.setFile(kCodeFile, shippedCodeFile());
        platform.setFile(kFolder + u"\\help\\ARM_7seg4.chm", "help");
        platform.setFile(kFolder + u"\\Translations\\Lang_dede.rc", "[dede]\r\nTitle=Anzeige\r\n");
        platform.setFile(kFolder + u"\\Translations\\langFonts.txt",
                         "[1031]\r\nFont=Arial\r\nFontSize=9\r\nCharSet=0\r\n");
        control = std::make_unique<Led7Seg4>(platform);
        target = std::make_unique<DisplayTarget>(*control);
        language = std::make_unique<Language>(platform);
        if (stage >= Stage::Created) control->Initialize();
        if (stage == Stage::Ready) {
            control->InitProperties();
            control->put_QuorvaneVersion(0x0800);
            for (std::int32_t pin = 0; pin < 12; ++pin) {
                control->put_Port(pin, pin < 4 ? 0 : 1);
                control->put_Bit(pin, pin < 4 ? 3 - pin : pin - 4);
            }
            control->put_LEDColour(2);
            control->put_LEDSize(40);
            std::u16string code = u"DEDE";
            language->LoadResources(u"");
            language->SetLanguageId(code);
        }
        platform.messageBoxes.clear();
    }
    void openPage() {
        page = std::make_unique<Ppg7Seg4>(platform, windows);
        page->Initialize();
    }
};

/// One entry point: the stage it starts from, steps before it that are not under test, the call.
struct Entry {
    std::string name;
    Stage stage = Stage::Ready;
    std::function<void(World&)> prepare;
    std::function<std::u16string(World&)> call;
    /// A reader of the code file: a read that fails shows why and answers an empty text.
    bool codeFileReader = false;
};

std::vector<Entry> entryPoints() {
    std::vector<Entry> entries{
        {"Initialize", Stage::Bare, nullptr, [](World& w) { return w.control->Initialize(), u""; }},
        {"InitProperties", Stage::Created, nullptr,
         [](World& w) { return w.control->InitProperties(), u""; }},
        {"ReadProperties", Stage::Created, nullptr,
         [](World& w) {
             MemoryBag bag;
             bag.entries = {
                 {u"Port3", Variant::i4(2)}, {u"Bit3", Variant::i4(4)}, {u"LEDSize", Variant::i4(30)}};
             return w.control->ReadProperties(bag), u"";
         }},
        {"WriteProperties", Stage::Ready, nullptr,
         [](World& w) {
             MemoryBag bag;
             w.control->WriteProperties(bag);
             return decimal(static_cast<std::int32_t>(bag.entries.size()));
         }},
        {"Resize and Paint", Stage::Ready, nullptr,
         [](World& w) { return w.control->Resize(), w.control->Paint(), u""; }},
        {"page Initialize", Stage::Ready, nullptr,
         [](World& w) {
             w.openPage();
             return w.page->caption() + w.page->colourLabel().caption + w.page->colourLabel().fontFace;
         }},
        {"page SelectionChanged", Stage::Ready, [](World& w) { w.openPage(); },
         [](World& w) {
             w.page->SelectionChanged({w.target.get()});
             return w.page->sizeText() + decimal(w.page->colourList().get_ListIndex());
         }},
        {"page ApplyChanges", Stage::Ready,
         [](World& w) {
             w.openPage();
             w.page->SelectionChanged({w.target.get()});
             w.page->colourList().put_ListIndex(3);
             w.page->setSizeText(u"75");
         },
         [](World& w) { return w.page->ApplyChanges(), u""; }},
        {"Language start", Stage::Bare, nullptr,
         [](World& w) {
             w.language->LoadResources(u"");
             std::u16string code = w.language->GetLang();
             for (auto& c : code) c = static_cast<char16_t>(c >= u'a' && c <= u'z' ? c - 32 : c);
             w.language->SetLanguageId(code);
             return w.language->GetLangID();
         }},
        {"Language GetIniTranslation", Stage::Ready, nullptr,
         [](World& w) { return w.language->GetIniTranslation(u"Title"); }},
        {"Language FindHelpFile", Stage::Ready, nullptr, [](World& w) { return w.language->FindHelpFile(); }},
        {"Language GetInternalResource converted", Stage::Ready, nullptr,
         [](World& w) { return text(w.language->GetInternalResource(137, true)); }},
    };
    // Every member of both interfaces, in their tables' order, on a display that is ready.
    for (bool host : {true, false}) {
        const std::span<const MemberInfo> members =
            host ? std::span<const MemberInfo>(kHostMembers) : std::span<const MemberInfo>(kControlMembers);
        for (const MemberInfo& m : members) {
            const Invoker invoke = (host ? kHostInvokers : kControlInvokers)[m.number - 1];
            const char* kind = m.kind == MemberKind::Get ? " get" : m.kind == MemberKind::Put ? " put" : "";
            entries.push_back({std::string(host ? "host " : "control ") + std::string(m.name) + kind,
                               Stage::Ready, [&m](World& w) { w.args = argumentsFor(m); },
                               [invoke](World& w) {
                                   std::u16string answer = invoke(*w.control, w.args);
                                   for (const Variant& a : w.args) answer += u"; " + text(a);
                                   return answer;
                               },
                               m.name == "GetIniKeyValue" || m.name == "GetCodeFromFile"});
        }
    }
    return entries;
}

// [SECTION] One run and what it showed

struct Outcome {
    std::u16string answer;
    HResult error = hr::Ok;
    bool outOfMemory = false; // std::bad_alloc reached the caller
    std::vector<MessageBoxRequest> boxes;
    std::vector<std::string> before, after;
    std::string rerun; // the same call again, with nothing failing, as describe() tells it
};

std::string describe(const Outcome& o) {
    if (o.outOfMemory) return "std::bad_alloc";
    if (o.error != hr::Ok) return "error " + toUtf8(describeHResult(o.error));
    return "answer " + toUtf8(o.answer);
}

/// Runs `entry` on a fresh world with `arm` called just before the call and `disarm` after it.
Outcome run(const Entry& entry, const std::function<void(World&)>& arm,
            const std::function<void(World&)>& disarm) {
    World w(entry.stage);
    if (entry.prepare) entry.prepare(w);
    w.platform.messageBoxes.clear();
    Outcome o;
    o.before = storedSettings(*w.control);
    arm(w);
    try {
        o.answer = entry.call(w);
    } catch (const ComError& e) {
        o.error = e.code();
    } catch (const std::bad_alloc&) {
        o.outOfMemory = true;
    }
    disarm(w);
    o.boxes = w.platform.messageBoxes;
    o.after = storedSettings(*w.control);
    Outcome again;
    try {
        again.answer = entry.call(w);
    } catch (const ComError& e) {
        again.error = e.code();
    }
    o.rerun = describe(again);
    return o;
}

/// Boxes of `faulted` that the run without a fault did not show.
std::vector<MessageBoxRequest> newBoxes(const Outcome& clean, const Outcome& faulted) {
    std::multiset<std::u16string> seen;
    for (const auto& b : clean.boxes) seen.insert(b.text);
    std::vector<MessageBoxRequest> extra;
    for (const auto& b : faulted.boxes) {
        if (auto it = seen.find(b.text); it != seen.end())
            seen.erase(it);
        else
            extra.push_back(b);
    }
    return extra;
}

/// What a failing service may add to a call's outcome: the errors that may reach the caller and
/// the texts of the boxes that may be shown.
struct Allowed {
    std::set<HResult> errors;
    std::vector<std::u16string> boxes;
    bool boxPrefixes = false;                 // boxes are prefixes of the texts (numbered macro messages)
    std::optional<std::u16string> mustShow{}; // a box that has to be among them
    bool answersEmpty = false;                // and the call's answer is an empty text
};

Allowed allowedFor(const Fault& f, bool faultOutsideCodeFile) {
    const std::u16string cannotFind = u"Error - cannot find C code file:\r\n\r\n" + kCodeFile;
    // A reader of the code file that fails answers an empty text, which the macro build reports
    // as a missing name or, for a count, fails as no number.
    const std::u16string missingMacro = u"Error: Macro ", missingParameter = u"Error: Parameter ";
    if (f.outOfMemory)
        return {{hr::OutOfMemory, hr::TypeMismatch},
                {describeHResult(hr::OutOfMemory), missingMacro, missingParameter},
                true};
    switch (f.service) {
    case Service::FileCheck: return {{}, {cannotFind, u"Can't find ARM_7seg4 help file"}};
    case Service::FileRead: return {{}, {describeHResult(hr::DeviceIoError)}};
    case Service::ProfileRead: {
        // The code file's readers show why and answer nothing; an empty count is no number. A
        // failure in the page's font file or a translation file reaches the caller instead.
        Allowed a{
            {hr::TypeMismatch}, {describeHResult(hr::DeviceIoError), missingMacro, missingParameter}, true};
        if (faultOutsideCodeFile) a.errors.insert(hr::DeviceIoError);
        return a;
    }
    case Service::RegistryOpen: return {{}, {u"Error opening key: Software\\DelmarshSW\\QuorvaneV4\\Info"}};
    case Service::RegistryRead:
        return {{}, {u"Warning: could not determine component language: <<E>.  Defaulting to English."}};
    case Service::StringResource: return {{hr::ResourceNotFound}, {}};
    case Service::MessageBox: return {{}, {}};
    case Service::Encode:
    case Service::Decode: return {{hr::TypeMismatch}, {missingMacro, missingParameter}, true};
    }
    return {};
}

/// Checks one faulted run against the run without a fault.
void checkRun(const std::string& where, const Outcome& clean, const Outcome& got, const Allowed& allowed,
              bool memoryFault) {
    SCOPED_TRACE(where);
    if (allowed.mustShow) {
        const bool shown = std::any_of(got.boxes.begin(), got.boxes.end(), [&](const MessageBoxRequest& b) {
            return b.text == *allowed.mustShow;
        });
        EXPECT_TRUE(shown) << "no box saying \"" << toUtf8(*allowed.mustShow) << "\"";
        if (allowed.answersEmpty && got.error == hr::Ok) {
            EXPECT_EQ(toUtf8(got.answer.substr(0, got.answer.find(u';'))), "String:");
        }
    }
    // Failing cleanly: the call's own error, or one the failing service explains.
    EXPECT_TRUE(!got.outOfMemory || memoryFault) << "std::bad_alloc without a memory fault";
    EXPECT_TRUE(got.error == hr::Ok || got.error == clean.error || allowed.errors.count(got.error))
        << describe(got) << " instead of " << describe(clean);
    // Each new box is one of those the failing service explains, as the component shows boxes.
    for (const MessageBoxRequest& box : newBoxes(clean, got)) {
        const bool known =
            std::any_of(allowed.boxes.begin(), allowed.boxes.end(), [&](const std::u16string& t) {
                return allowed.boxPrefixes ? box.text.rfind(t, 0) == 0 : box.text == t;
            });
        EXPECT_TRUE(known) << "unexpected box \"" << toUtf8(box.text) << "\"";
        EXPECT_EQ(box.title, u"ARM_7seg4");
        EXPECT_EQ(box.buttons, msgbox::Ok);
    }
    // Nothing stored changes unless the call went through, and then as it does without a fault.
    const bool failed = got.error != hr::Ok || got.outOfMemory;
    EXPECT_EQ(got.after, failed ? got.before : clean.after) << describe(got);
    // Nothing is left behind: the same call, repeated, answers as without a fault.
    EXPECT_EQ(got.rerun, describe(clean));
}

// [SECTION] The loops

TEST(FaultLoop, EveryServiceFailingAtEveryCallOfEveryEntryPoint) {
    int runs = 0, fired = 0;
    std::map<std::string, int> perService;
    for (const Entry& entry : entryPoints()) {
        // The run without a fault counts the calls of each service; one that is never called
        // cannot fail (nothing before its first call changes), so it needs no runs.
        std::map<Service, int> called;
        const Outcome clean = run(
            entry,
            [](World& w) {
                w.platform.inject({Service::FileRead, 1 << 30});
            },
            [&](World& w) {
                for (Service s : kServices) called[s] = w.platform.callsOf(s);
                w.platform.clearFault();
            });
        ASSERT_FALSE(clean.outOfMemory) << entry.name;
        for (Service service : kServices) {
            if (called[service] == 0) continue;
            for (bool persistent : {false, true}) {
                for (bool memory : {false, true}) {
                    if (memory && service != Service::FileRead && service != Service::ProfileRead) continue;
                    for (int n = 1;; ++n) {
                        const Fault fault{service, n, persistent, memory};
                        int firedHere = 0;
                        std::vector<std::u16string> subjects;
                        const Outcome got = run(
                            entry, [&](World& w) { w.platform.inject(fault); },
                            [&](World& w) {
                                firedHere = w.platform.faultsFired();
                                subjects = w.platform.faultSubjects;
                                w.platform.clearFault();
                            });
                        if (firedHere == 0) break;
                        ++runs;
                        fired += firedHere;
                        ++perService[serviceName(service)];
                        const bool outside =
                            std::any_of(subjects.begin(), subjects.end(),
                                        [](const std::u16string& s) { return s != kCodeFile; });
                        Allowed allowed = allowedFor(fault, outside);
                        // A read of the code file that fails is told to the user in any case.
                        const bool codeFileRead =
                            (service == Service::FileRead || service == Service::ProfileRead) &&
                            std::find(subjects.begin(), subjects.end(), kCodeFile) != subjects.end();
                        if (codeFileRead) {
                            allowed.mustShow = describeHResult(memory ? hr::OutOfMemory : hr::DeviceIoError);
                            allowed.answersEmpty = entry.codeFileReader;
                        }
                        checkRun(entry.name + ", " + serviceName(service) + (memory ? " out of memory" : "") +
                                     " failing at call " + std::to_string(n) + (persistent ? " and on" : ""),
                                 clean, got, allowed, memory);
                        if (::testing::Test::HasFailure()) return; // the first bad run tells enough
                    }
                }
            }
        }
    }
    std::string summary;
    for (const auto& [service, count] : perService) summary += " " + service + ":" + std::to_string(count);
    std::printf("fault loop: %d runs, %d failed calls;%s\n", runs, fired, summary.c_str());
    EXPECT_GT(runs, 200) << "the entry points reach the platform";
}

TEST(FaultLoop, EveryAllocationOfTheCodeFileReadersFailing) {
    const std::set<std::string> readers{"InitProperties",         "host MacroCode get",
                                        "host DefinesCode get",   "host QuorvaneVersion put",
                                        "control GetIniKeyValue", "control GetCodeFromFile"};
    int runs = 0;
    for (const Entry& entry : entryPoints()) {
        if (!readers.count(entry.name)) continue;
        const Outcome clean = run(
            entry, [](World&) {}, [](World&) {});
        for (bool persistent : {false, true}) {
            for (long n = 1;; ++n) {
                long refused = 0;
                const Outcome got = run(
                    entry, [&](World&) { failing_new::arm(n, persistent); },
                    [&](World&) {
                        failing_new::disarm();
                        refused = failing_new::refused();
                    });
                if (refused == 0) break;
                ++runs;
                checkRun(entry.name + ", allocation " + std::to_string(n) + (persistent ? " and on" : "") +
                             " failing",
                         clean, got, allowedFor(Fault{Service::FileRead, 1, persistent, true}, false), true);
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
    std::printf("allocation loop: %d runs\n", runs);
    EXPECT_GT(runs, 100);
}

TEST(FaultLoop, ThePropertyBagFailingAtEachEntry) {
    // A load keeps the entries read before the failing one (they are stored as they are read)
    // and fails with the bag's error; a save fails the same way and changes nothing.
    MemoryBag stored;
    {
        World source(Stage::Ready);
        source.control->WriteProperties(stored);
    }
    for (int n = 1; n <= static_cast<int>(stored.entries.size()) + 1; ++n) {
        SCOPED_TRACE(n);
        World w(Stage::Created);
        w.control->InitProperties();
        const std::vector<std::string> before = storedSettings(*w.control);
        MemoryBag bag;
        bag.entries = stored.entries;
        bag.failAt = n;
        const HResult error = failureOf([&] { w.control->ReadProperties(bag); });
        const std::vector<std::string> after = storedSettings(*w.control);
        const std::size_t loaded = std::min<std::size_t>(static_cast<std::size_t>(n - 1), before.size());
        std::vector<std::string> expected = storedSettings(*World(Stage::Ready).control);
        std::copy(before.begin() + static_cast<std::ptrdiff_t>(loaded), before.end(),
                  expected.begin() + static_cast<std::ptrdiff_t>(loaded));
        EXPECT_EQ(error, n <= static_cast<int>(before.size()) ? hr::DeviceIoError : hr::Ok);
        EXPECT_EQ(after, expected);

        MemoryBag out;
        out.failAt = n;
        EXPECT_EQ(failureOf([&] { w.control->WriteProperties(out); }),
                  n <= static_cast<int>(before.size()) ? hr::DeviceIoError : hr::Ok);
        EXPECT_EQ(storedSettings(*w.control), after);
    }
}

} // namespace
} // namespace seg4::test
