// What a script does to the displays it placed: placing and removing them, calling their
// members, and the record of their pin levels that follows every call.
#include "script/interpreter.h"

#include "automation/conversions.h"
#include "script/commands.h"
#include "script/names.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qhost {

using seg4::ComError;
using seg4::MemberInfo;
using seg4::MemberKind;
using seg4::Variant;

namespace {

// Every call is followed by a look at the pins: compared as two words, not byte by byte.
bool sameLevels(const Levels& a, const Levels& b) {
    std::uint64_t a8 = 0, b8 = 0;
    std::uint32_t a4 = 0, b4 = 0;
    static_assert(sizeof(Levels) == sizeof a8 + sizeof a4);
    std::memcpy(&a8, a.data(), sizeof a8);
    std::memcpy(&b8, b.data(), sizeof b8);
    std::memcpy(&a4, a.data() + sizeof a8, sizeof a4);
    std::memcpy(&b4, b.data() + sizeof b8, sizeof b4);
    return a8 == b8 && a4 == b4;
}

// The macro calls, whose reported cycles are simulated time; found once, compared by address.
const MemberInfo* const kMacroCall = findMember("SimMacroCall", MemberKind::Method).info;
const MemberInfo* const kMacroCall2 = findMember("SimMacroCall2", MemberKind::Method).info;

} // namespace

PlacedDisplay& Interpreter::place(const std::string& name, int line, bool bare) {
    std::string chosen = name;
    if (chosen.empty()) chosen = "display" + std::to_string(displays_.size() + 1);
    for (const auto& d : displays_)
        if (sameName(d.name, chosen))
            throw ScriptFault(line, "a display named '" + chosen + "' is placed already");
    std::unique_ptr<Display> display = backend_.create();
    try {
        // A new display gets its first properties; then its container sizes and draws it.
        if (!bare) display->initProperties();
        display->show();
    } catch (const ComError&) {
        adopt(chosen, std::move(display)); // the display is there, as far as it got
        throw;
    }
    return adopt(chosen, std::move(display));
}

PlacedDisplay& Interpreter::adopt(const std::string& name, std::unique_ptr<Display> display) {
    displays_.push_back({name, std::move(display), {}});
    current_ = displays_.size() - 1;
    displays_.back().display->activate();
    displays_.back().history.push_back({now_, displays_.back().display->pinLevels()});
    if (clockPushed_) call("ClockSpeed", {Variant::i4(static_cast<std::int32_t>(clockHz_))});
    return displays_.back();
}

std::string Interpreter::removeDisplay(const std::string& name, int line) {
    std::size_t index = current_;
    if (name.empty()) {
        current(line);
    } else {
        auto it = std::find_if(displays_.begin(), displays_.end(),
                               [&](const auto& d) { return sameName(d.name, name); });
        if (it == displays_.end()) throw ScriptFault(line, "no display named '" + name + "'");
        index = static_cast<std::size_t>(it - displays_.begin());
    }
    std::string removed = displays_[index].name;
    // The page's frame closes with a display it edits, as the host closes it when the display
    // leaves the panel.
    const Display* leaving = displays_[index].display.get();
    if (page_.session &&
        std::find(page_.displays.begin(), page_.displays.end(), leaving) != page_.displays.end()) {
        page_ = {};
        out_ << "page closed: " << removed << " was removed\n";
    }
    displays_.erase(displays_.begin() + static_cast<std::ptrdiff_t>(index));
    if (current_ >= index && current_ > 0) --current_;
    return removed;
}

void Interpreter::advance(double seconds) {
    now_ += seconds;
    recordLevels();
}

void Interpreter::recordLevels() {
    // After every call: the usual answer is "no change", the sample is added out of line.
    for (auto& d : displays_) {
        const Levels levels = d.display->pinLevels();
        if (d.history.empty() || !sameLevels(d.history.back().levels, levels)) addSample(d.history, levels);
    }
}

void Interpreter::addSample(PinHistory& history, const Levels& levels) const {
    history.push_back({now_, levels});
}

Variant& Interpreter::variable(const NameBinding& name) {
    assigned_[name.slot] = 1;
    return variables_[name.slot];
}

std::vector<std::string> Interpreter::expandWords(const std::vector<std::string>& words) {
    // "${name}" in a command's word is the variable's value as text, so a loop can name a file per
    // pass ("snapshot frame${i}.png"); "$${" stands for a literal "${".
    std::vector<std::string> out;
    out.reserve(words.size());
    for (const std::string& w : words) {
        std::string expanded;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (w.compare(i, 3, "$${") == 0) {
                expanded += "${";
                i += 2;
                continue;
            }
            if (w.compare(i, 2, "${") != 0) {
                expanded += w[i];
                continue;
            }
            const std::size_t close = w.find('}', i + 2);
            if (close == std::string::npos)
                throw CommandError("'" + w + "' opens '${' without a closing '}'");
            const std::string name = w.substr(i + 2, close - i - 2);
            const auto& names = script_->variables;
            const auto found = std::find(names.begin(), names.end(), lower(name));
            const auto slot = static_cast<std::size_t>(found - names.begin());
            if (found == names.end() || !assigned_[slot])
                throw CommandError("'${" + name + "}' names no variable");
            const Variant& value = variables_[slot].deref();
            if (value.isArray()) throw CommandError("'${" + name + "}' holds an array, not a word");
            expanded += seg4::toUtf8(seg4::toString(value));
            i = close;
        }
        out.push_back(std::move(expanded));
    }
    return out;
}

Variant Interpreter::call(const std::string& member, std::vector<Variant> args, int line) {
    std::vector<Variant*> pointers;
    pointers.reserve(args.size());
    for (auto& a : args) pointers.push_back(&a);
    return callByReference(member, pointers, line);
}

Variant Interpreter::callByReference(const std::string& member, std::vector<Variant*> args, int line) {
    // A method, else a property read with these arguments, else a property write whose last
    // argument is the value.
    FoundMember found = findMember(member, MemberKind::Method);
    if (!found.info) {
        found = findMember(member, MemberKind::Get);
        if (found.info && inputCount(*found.info) != args.size()) found = {};
    }
    if (!found.info) found = findMember(member, MemberKind::Put);
    if (!found.info) throw ScriptFault(line, "unknown member '" + member + "'");
    Variant result = current(line).display->invoke(found.host, *found.info, args);
    recordLevels();
    return result;
}

void Interpreter::wrongArgumentCount(const Expr& e, const MemberInfo& member) {
    const std::size_t wanted = inputCount(member);
    throw ScriptFault(e.line, std::string(member.name) + " takes " + std::to_string(wanted) + " argument" +
                                  (wanted == 1 ? "" : "s") + ", got " + std::to_string(e.args.size()));
}

Variant Interpreter::callMember(const Expr& e, const MemberInfo& member, bool hostInterface,
                                const Variant* putValue) {
    if (e.args.size() != inputCount(member)) wrongArgumentCount(e, member);
    PlacedDisplay& target = current(e.line);

    // The frame of this nesting level: an argument may itself call a member, one level deeper.
    if (callDepth_ == frames_.size()) frames_.push_back(std::make_unique<CallFrame>());
    CallFrame& frame = *frames_[callDepth_];
    struct Level {
        std::size_t& depth;
        explicit Level(std::size_t& d) : depth(++d) {}
        ~Level() { --depth; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;
    } level(callDepth_);
    std::vector<Variant*>& args = frame.args;
    std::vector<Variant>& temporaries = frame.temporaries;
    args.resize(e.args.size() + (putValue ? 1 : 0));
    temporaries.clear();
    // A value that is no variable is passed as a temporary; room for all of them is made before
    // the first, so that no reallocation moves the ones already passed.
    const auto temporary = [&](Variant value) {
        if (temporaries.empty()) temporaries.reserve(args.size());
        temporaries.push_back(std::move(value));
        return &temporaries.back();
    };
    Variant** passed = args.data(); // the frame's own: deeper calls use the frames after it
    for (const ExprPtr& a : e.args) {
        // A variable is passed itself, created Empty when new: the member may write it.
        *passed++ = a->byReference ? &variable(a->binding) : temporary(evaluate(*a).deref());
    }
    if (putValue) args.back() = temporary(putValue->deref());
    Variant result = target.display->invoke(hostInterface, member, args);

    // The cycles a macro reports are simulated time on the host's clock.
    if (&member == kMacroCall || &member == kMacroCall2) {
        const double cycles = seg4::toDouble(*args[4]);
        if (cycles > 0 && std::isfinite(cycles)) now_ += cycles / clockHz_;
    }
    recordLevels();
    return result;
}
} // namespace qhost
