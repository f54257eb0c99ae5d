// Runs a qhost script against a backend: places displays, calls members by name, checks
// expectations, keeps simulated time and the history of pin levels.
#pragma once

#include "automation/errors.h"
#include "backends/backend.h"
#include "backends/page_session.h"
#include "script/script_ast.h"
#include "views/pin_history.h"

#include <array>
#include <deque>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qhost {

/// A fault of the script itself (unknown name, wrong argument count, no display placed): the
/// run stops and exits with status 2.
struct ScriptFault : std::runtime_error {
    ScriptFault(int where, const std::string& message) : std::runtime_error(message), line(where) {}
    int line;
};

struct PlacedDisplay {
    std::string name;
    std::unique_ptr<Display> display;
    PinHistory history;
};

/// Limits for running scripts nobody has read (the fuzzer): no files, bounded loops.
struct RunLimits {
    bool fileCommands = true;
    long maxLoopIterations = 10'000'000; // all loops of a run together; more is a script fault
};

class Interpreter {
public:
    Interpreter(Backend& backend, std::ostream& out, RunLimits limits = {});
    ~Interpreter();

    /// Runs the script: 0 when every expectation held, 1 when one failed, 2 on a script fault.
    int run(const Script& script);

    // For commands and the demo.
    PlacedDisplay& current(int line) {
        if (displays_.empty()) noDisplayYet(line);
        return displays_[current_];
    }
    std::vector<PlacedDisplay>& displays() { return displays_; }
    double now() const { return now_; }
    double clockHz() const { return clockHz_; }
    std::ostream& out() { return out_; }
    /// Places a new display (Initialize, InitProperties) and makes it current. A bare display
    /// skips InitProperties: it has neither its first settings nor its pin table.
    PlacedDisplay& place(const std::string& name, int line, bool bare = false);
    /// A display with only its Initialize run (for loading documents).
    std::unique_ptr<Display> backendCreate() { return backend_.create(); }
    /// Adds a display that was created and loaded elsewhere (documents) and makes it current; its
    /// container takes it onto the panel at its own size.
    PlacedDisplay& adopt(const std::string& name, std::unique_ptr<Display> display);
    /// Removes the named display (the current one for ""), as a host deletes it from its panel;
    /// returns its name. Another display becomes current.
    std::string removeDisplay(const std::string& name, int line);
    /// Calls one member on the current display by name and kind, as a script line would.
    seg4::Variant call(const std::string& member, std::vector<seg4::Variant> args, int line = 0);
    /// The same with arguments the callee may write back (in/out).
    seg4::Variant callByReference(const std::string& member, std::vector<seg4::Variant*> args, int line = 0);
    /// The open property page and the names of the displays it was opened on; no session when
    /// no page is open.
    struct OpenPage {
        std::unique_ptr<PageSession> session;
        std::vector<Display*> displays;
        std::vector<std::string> names;
    };
    OpenPage& page() { return page_; }
    Backend& backend() { return backend_; }
    /// Writes what failed and counts it.
    void fail(int line, const std::string& what);
    int failures() const { return failures_; }
    /// Lets simulated time pass and records every display's levels, as `elapse` does (traces
    /// replayed onto a display).
    void elapse(double seconds) { advance(seconds); }

private:
    Backend& backend_;
    std::ostream& out_;
    RunLimits limits_;
    std::vector<PlacedDisplay> displays_;
    OpenPage page_; // after the displays: it closes before the displays it edits go
    std::size_t current_ = 0;
    const Script* script_ = nullptr;       // the script running
    std::vector<seg4::Variant> variables_; // by slot (Script::variables)
    std::vector<char> assigned_;           // whether the slot's variable exists yet
    /// Argument lists of the member calls under way, one a nesting level, kept between calls so
    /// that a call allocates nothing.
    struct CallFrame {
        std::vector<seg4::Variant*> args;
        std::vector<seg4::Variant> temporaries;
    };
    std::vector<std::unique_ptr<CallFrame>> frames_;
    std::size_t callDepth_ = 0;
    std::deque<std::u16string> unchecked_; // message boxes not yet checked by expect
    std::string fileName_;
    int failures_ = 0;
    long loopIterations_ = 0;
    double now_ = 0;
    double clockHz_ = 8e6;
    bool clockPushed_ = false;
    int quiet_ = 0;    // >0 while an expect runs a statement: no output
    bool echo_ = true; // "echo off" keeps answers of calls and puts to themselves (not built then)

    [[noreturn]] static void noDisplayYet(int line);
    [[noreturn]] static void wrongArgumentCount(const Expr& e, const seg4::MemberInfo& member);
    [[noreturn]] void tooManyIterations(int line) const;
    void execute(const Block& block);
    void execute(const Statement& s);
    void dispatch(const Statement& s);
    void evaluateStatement(const Statement& s);
    /// Prints the statement, with its answer when given.
    void echoAnswer(const Statement& s, const seg4::Variant* answer);
    void assign(const Statement& s);
    void expectFails(const Statement& s);
    void expectMessageBox(const Statement& s);
    void loop(const Statement& s);
    void command(const Statement& s);
    void advance(double seconds);
    void recordLevels();
    [[gnu::noinline]] void addSample(PinHistory& history, const Levels& levels) const;

    seg4::Variant evaluate(const Expr& e);
    seg4::Variant evaluateName(const Expr& e);
    static seg4::Variant binary(Op op, const seg4::Variant& a, const seg4::Variant& b);
    seg4::Variant callMember(const Expr& e, const seg4::MemberInfo& member, bool hostInterface,
                             const seg4::Variant* putValue);
    /// The variable of the name's slot, created Empty when it does not exist yet.
    seg4::Variant& variable(const NameBinding& name);
    std::vector<std::string> expandWords(const std::vector<std::string>& words);
    void print(const std::string& line);
    void printError(const seg4::ComError& e);
    std::string where(int line) const;
};

/// The HRESULT an expectation names: "overflow", "subscript", "type-mismatch", ..., or a number
/// written 0x800A0006 or in decimal. Throws std::invalid_argument for an unknown name.
seg4::HResult errorCodeFromText(const std::string& text);

} // namespace qhost
