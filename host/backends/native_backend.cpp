// Calls into the linked core through the member tables, with the argument coercion a caller
// going through IDispatch gets.
#include "backends/native_backend.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/control_site.h"
#include "component/led7seg4.h"
#include "component/member_table.h"
#include "component/module_identity.h"
#include "display/compositor.h"
#include "posix_platform.h"

#include <bit>
#include <cstring>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace qhost {

using seg4::ComError;
using seg4::Led7Seg4;
using seg4::Variant;

namespace {

/// Coerces an argument as IDispatch does: failures are the dispatch errors, not the runtime's.
template <typename F>
auto coerce(F convert) {
    try {
        return convert();
    } catch (const ComError& e) {
        if (e.code() == seg4::hr::Overflow) seg4::raise(seg4::hr::DispOverflow);
        seg4::raise(seg4::hr::DispTypeMismatch);
    }
}

template <typename T>
struct Arg;

template <>
struct Arg<std::int32_t> {
    std::int32_t v;
    explicit Arg(Variant* p) : v(coerce([&] { return seg4::toLong(*p); })) {}
    std::int32_t get() const { return v; }
    void writeBack() {}
    bool written() const { return false; }
};
template <>
struct Arg<std::int16_t> {
    std::int16_t v;
    explicit Arg(Variant* p) : v(coerce([&] { return seg4::toInteger(*p); })) {}
    std::int16_t get() const { return v; }
    void writeBack() {}
    bool written() const { return false; }
};
/// Invoke converts a Boolean to the text of its number ("-1", "0"), not to "True" or "False".
std::u16string textArgument(const Variant& value) {
    const Variant& v = value.deref();
    if (v.type() == seg4::VarType::Bool && !v.isArray()) return v.asBool() ? u"-1" : u"0";
    return seg4::toString(v);
}

template <>
struct Arg<const std::u16string&> {
    std::u16string v;
    explicit Arg(Variant* p) : v(coerce([&] { return textArgument(*p); })) {}
    const std::u16string& get() const { return v; }
    void writeBack() {}
    bool written() const { return false; }
};
template <>
struct Arg<const Variant&> {
    Variant v;
    explicit Arg(Variant* p) : v(p->deref()) {}
    const Variant& get() const { return v; }
    void writeBack() {}
    bool written() const { return false; }
};
// In/out arguments: the callee works on a value of the member's type, which is then written
// back into the caller's variable.
template <>
struct Arg<std::int32_t&> {
    Variant* p;
    std::int32_t v;
    explicit Arg(Variant* q) : p(q), v(coerce([&] { return seg4::toLong(*q); })), original(v) {}
    std::int32_t& get() { return v; }
    void writeBack() { p->deref() = Variant::i4(v); }
    bool written() const { return v != original; }
    std::int32_t original;
};
template <>
struct Arg<std::int16_t&> {
    Variant* p;
    std::int16_t v;
    explicit Arg(Variant* q) : p(q), v(coerce([&] { return seg4::toInteger(*q); })), original(v) {}
    std::int16_t& get() { return v; }
    void writeBack() { p->deref() = Variant::i2(v); }
    bool written() const { return v != original; }
    std::int16_t original;
};
template <>
struct Arg<std::u16string&> {
    Variant* p;
    std::u16string v;
    explicit Arg(Variant* q) : p(q), v(coerce([&] { return seg4::toString(*q); })), original(v) {}
    std::u16string& get() { return v; }
    void writeBack() { p->deref() = Variant::string(v); }
    bool written() const { return v != original; }
    std::u16string original;
};
template <>
struct Arg<Variant&> {
    Variant* p;
    explicit Arg(Variant* q) : p(q) {}
    Variant& get() { return p->deref(); }
    void writeBack() {}
    bool written() const { return false; } // the callee wrote the caller's variable itself
};

Variant toVariant(std::int32_t v) { return Variant::i4(v); }
Variant toVariant(std::int16_t v) { return Variant::i2(v); }
Variant toVariant(const std::u16string& v) { return Variant::string(v); }
Variant toVariant(const Variant& v) { return v; }

using Invoker = Variant (*)(Led7Seg4&, std::vector<Variant*>&);

template <typename Sig, Sig M>
struct MemberCall;

template <typename R, typename... A, R (Led7Seg4::*M)(A...)>
struct MemberCall<R (Led7Seg4::*)(A...), M> {
    static Variant call(Led7Seg4& control, std::vector<Variant*>& args) {
        if (args.size() != sizeof...(A)) seg4::raise(seg4::hr::InvalidArgument);
        return callWith(control, args, std::index_sequence_for<A...>{});
    }

    template <std::size_t... I>
    static Variant callWith(Led7Seg4& control, std::vector<Variant*>& args, std::index_sequence<I...>) {
        // Braced initialisation converts the arguments from left to right, as Invoke does.
        std::tuple<Arg<A>...> held{Arg<A>(args[I])...};
        try {
            if constexpr (std::is_void_v<R>) {
                (control.*M)(std::get<I>(held).get()...);
                (std::get<I>(held).writeBack(), ...);
                return Variant();
            } else {
                Variant result = toVariant((control.*M)(std::get<I>(held).get()...));
                (std::get<I>(held).writeBack(), ...);
                return result;
            }
        } catch (...) {
            // What the member wrote before it failed stays written (SHOW_DIGIT's cycle count).
            [[maybe_unused]] const auto keep = [](auto& arg) {
                if (arg.written()) arg.writeBack();
            };
            (keep(std::get<I>(held)), ...);
            throw;
        }
    }
};

#define SEG4_NATIVE_INVOKER(no, name, kind, method)                                                          \
    &MemberCall<decltype(&Led7Seg4::method), &Led7Seg4::method>::call,
constexpr Invoker kHostInvokers[] = {
#define HOST_MEMBER SEG4_NATIVE_INVOKER
#include "component/host_members.def"
#undef HOST_MEMBER
};
constexpr Invoker kControlInvokers[] = {
#define CONTROL_MEMBER SEG4_NATIVE_INVOKER
#include "component/control_members.def"
#undef CONTROL_MEMBER
};
#undef SEG4_NATIVE_INVOKER

class NativeDisplay : public Display, private seg4::ControlSite {
public:
    explicit NativeDisplay(seg4::Platform& platform) : platform_(platform), control_(platform, this) {
        control_.Initialize();
    }
    NativeDisplay(const NativeDisplay&) = delete;
    NativeDisplay& operator=(const NativeDisplay&) = delete;

    Variant invoke(bool hostInterface, const seg4::MemberInfo& member, std::vector<Variant*>& args) override {
        const auto index = static_cast<std::size_t>(member.number - 1);
        return (hostInterface ? kHostInvokers : kControlInvokers)[index](control_, args);
    }
    void initProperties() override { control_.InitProperties(); }
    void show() override {
        control_.Resize();
        control_.Paint();
    }
    void readProperties(seg4::PropertyBag& bag) override { control_.ReadProperties(bag); }
    void writeProperties(seg4::PropertyBag& bag) override { control_.WriteProperties(bag); }
    Picture render() override {
        // A container that has the control draw raises its Paint; the control asks for no
        // further redraw while the container draws.
        drawing_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{drawing_};
        control_.Paint();
        return seg4::snapshot(control_, platform_.twipsPerPixelX(), platform_.twipsPerPixelY());
    }
    std::array<bool, 12> pinLevels() override {
        // Gathered in two words and copied out whole: the script reads the levels after every
        // call, and an array written byte by byte and returned in registers stalls the load.
        std::uint64_t low = 0;  // pins 0-7, one byte each
        std::uint32_t high = 0; // pins 8-11
        const auto gather = [&](auto level) {
            for (std::size_t i = 0; i < 8; ++i) low |= level(i) << (8 * i);
            for (std::size_t i = 8; i < 12; ++i)
                high |= static_cast<std::uint32_t>(level(i) << (8 * (i - 8)));
        };
        if (const auto& pins = control_.state().m_Pins) {
            const std::vector<seg4::RSPin>& p = *pins;
            if (p.size() >= 12) // the table a display has: no bound to check per pin
                gather([&](std::size_t i) { return std::uint64_t{p[i].SimValue}; });
            else
                gather([&](std::size_t i) { return std::uint64_t{i < p.size() && p[i].SimValue}; });
        }
        static_assert(std::endian::native == std::endian::little, "pin i is byte i of the words");
        std::array<bool, 12> levels;
        std::memcpy(levels.data(), &low, sizeof low);
        std::memcpy(levels.data() + sizeof low, &high, sizeof high);
        return levels;
    }

    void activate() override {
        panel_ = ownSize();
        active_ = true;
        counts_ = {};
        layoutsBefore_ = control_.layoutPasses();
    }
    void resize(int width, int height) override {
        panel_ = {width, height};
        // The container raises Resize only for a size other than the control's own.
        const PanelSize own = ownSize();
        if (own.width != width || own.height != height) control_.Resize();
    }
    void paint() override { control_.Paint(); }
    ContainerCounts counts() override {
        ContainerCounts c = counts_;
        c.layouts = control_.layoutPasses() - layoutsBefore_;
        return c;
    }
    PanelSize panelSize() override { return panel_; }

private:
    seg4::Platform& platform_;
    Led7Seg4 control_;
    bool drawing_ = false;
    bool active_ = false;
    PanelSize panel_;
    ContainerCounts counts_;
    std::uint64_t layoutsBefore_ = 0;

    PanelSize ownSize() const {
        return {seg4::pixelsFromTwips(control_.extentWidthTwips(), platform_.twipsPerPixelX()),
                seg4::pixelsFromTwips(control_.extentHeightTwips(), platform_.twipsPerPixelY())};
    }
    // A container on the panel answers a request for another size by giving it.
    void setExtent(float widthTwips, float heightTwips) override {
        if (!active_) return;
        const PanelSize wanted{seg4::pixelsFromTwips(widthTwips, platform_.twipsPerPixelX()),
                               seg4::pixelsFromTwips(heightTwips, platform_.twipsPerPixelY())};
        if (wanted.width == panel_.width && wanted.height == panel_.height) return;
        ++counts_.resizes;
        panel_ = wanted;
    }
    void invalidate() override {
        if (active_ && !drawing_) ++counts_.paints;
    }
};

static_assert(std::size(kHostInvokers) == std::size(seg4::kHostMembers));
static_assert(std::size(kControlInvokers) == std::size(seg4::kControlMembers));

} // namespace

NativeBackend::NativeBackend(seg4::PosixPlatform& platform) : platform_(platform) {}

std::unique_ptr<Display> NativeBackend::create() { return std::make_unique<NativeDisplay>(platform_); }

void NativeBackend::setTwipsPerPixel(float twips) {
    try {
        platform_.setTwipsPerPixel(twips, twips);
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error(e.what());
    }
}

void NativeBackend::onMessageBox(std::function<void(const std::u16string& text)> handler) {
    platform_.setMessageBoxHandler([handler = std::move(handler)](const seg4::MessageBoxRequest& box) {
        handler(box.text);
        return seg4::msgbox::IdOk;
    });
}

std::string NativeBackend::classId() { return std::string(seg4::controlClassId()); }

std::string NativeBackend::memberName(bool hostInterface, std::int32_t position) {
    const std::span<const seg4::MemberInfo> table =
        hostInterface ? std::span<const seg4::MemberInfo>(seg4::kHostMembers) : seg4::kControlMembers;
    if (position < 1 || static_cast<std::size_t>(position) > table.size()) return {};
    return std::string(table[static_cast<std::size_t>(position - 1)].name);
}

std::string NativeBackend::fileVersion() { return seg4::fileVersionText(); }

} // namespace qhost
