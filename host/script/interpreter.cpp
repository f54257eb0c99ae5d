// The qhost script interpreter.
#include "script/interpreter.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "script/commands.h"
#include "script/container_checks.h"
#include "script/names.h"
#include "views/value_format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <ostream>

namespace qhost {

using seg4::ComError;
using seg4::Variant;
using seg4::VarType;

seg4::HResult errorCodeFromText(const std::string& text) {
    const std::string t = lower(text);
    static const std::pair<const char*, seg4::HResult> kNames[] = {
        {"subscript", seg4::hr::SubscriptOutOfRange},
        {"invalid-call", seg4::hr::InvalidProcedureCall},
        {"object-not-set", seg4::hr::ObjectVariableNotSet},
        {"type-mismatch", seg4::hr::TypeMismatch},
        {"overflow", seg4::hr::Overflow},
        {"not-implemented", seg4::hr::NotImplemented},
        {"null", seg4::hr::InvalidUseOfNull},
        {"file-not-found", seg4::hr::FileNotFound},
        {"resource-not-found", seg4::hr::ResourceNotFound},
        {"arg-type-mismatch", seg4::hr::DispTypeMismatch},
        {"arg-overflow", seg4::hr::DispOverflow},
        {"pointer", seg4::hr::Pointer},
        {"invalid-argument", seg4::hr::InvalidArgument}};
    for (const auto& [name, code] : kNames)
        if (t == name) return code;
    try {
        std::size_t used = 0;
        const unsigned long long v = std::stoull(t, &used, t.rfind("0x", 0) == 0 ? 16 : 10);
        if (used == t.size() && v <= 0xFFFFFFFFULL)
            return static_cast<seg4::HResult>(static_cast<std::uint32_t>(v));
    } catch (const std::exception&) {
    }
    throw std::invalid_argument(
        "unknown error name '" + text +
        "' (use subscript, type-mismatch, overflow, invalid-call, object-not-set, "
        "not-implemented, null, arg-type-mismatch, arg-overflow or a code such as 0x800A0006)");
}

Interpreter::Interpreter(Backend& backend, std::ostream& out, RunLimits limits)
    : backend_(backend), out_(out), limits_(limits) {
    backend_.onMessageBox([this](const std::u16string& text) {
        print("msgbox: " + formatString(text));
        unchecked_.push_back(text);
    });
}

Interpreter::~Interpreter() {
    backend_.onMessageBox([](const std::u16string&) {});
}

int Interpreter::run(const Script& script) {
    fileName_ = script.fileName;
    script_ = &script;
    variables_.assign(script.variables.size(), Variant());
    assigned_.assign(script.variables.size(), 0);
    try {
        execute(script.statements);
    } catch (const ScriptFault& f) {
        out_ << where(f.line) << ": " << f.what() << "\n";
        out_.flush();
        return 2;
    }
    if (failures_ > 0) {
        out_ << failures_ << (failures_ == 1 ? " expectation" : " expectations") << " failed\n";
        out_.flush();
        return 1;
    }
    return 0;
}

std::string Interpreter::where(int line) const { return fileName_ + ":" + std::to_string(line); }

void Interpreter::print(const std::string& line) {
    if (quiet_ > 0) return;
    out_ << line << "\n";
    out_.flush(); // a watcher reading our output sees every line as it happens
}

void Interpreter::printError(const ComError& e) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code()));
    print(std::string("error: ") + code + " " + seg4::toUtf8(e.description()));
}

void Interpreter::fail(int line, const std::string& what) {
    ++failures_;
    out_ << "FAILED " << where(line) << ": " << what << "\n";
    out_.flush();
}

void Interpreter::noDisplayYet(int line) {
    throw ScriptFault(line, "no display placed yet (use 'place' first)");
}

void Interpreter::tooManyIterations(int line) const {
    throw ScriptFault(line, "loop ran more than " + std::to_string(limits_.maxLoopIterations) + " times");
}

void Interpreter::execute(const Block& block) {
    for (const StatementPtr& s : block) {
        // A call or a read shows its own failure: the commonest statement needs no dispatch.
        if (s->kind == Statement::Kind::Evaluate)
            evaluateStatement(*s);
        else
            execute(*s);
    }
}

void Interpreter::execute(const Statement& s) {
    // A member failing where the script has no way to show the answer (a loop's count or span,
    // an elapse, a clock) stops the script at that line instead of escaping the interpreter.
    try {
        dispatch(s);
    } catch (const ComError& e) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code()));
        throw ScriptFault(s.line, s.text + " failed with " + code + " " + seg4::toUtf8(e.description()));
    }
}

void Interpreter::dispatch(const Statement& s) {
    switch (s.kind) {
    case Statement::Kind::Evaluate: evaluateStatement(s); break;
    case Statement::Kind::Assign: assign(s); break;
    case Statement::Kind::Place: try { place(s.word, s.line, s.bare);
        } catch (const ComError& e) {
            print(s.text);
            printError(e);
        }
        break;
    case Statement::Kind::Use: {
        auto it = std::find_if(displays_.begin(), displays_.end(),
                               [&](const auto& d) { return sameName(d.name, s.word); });
        if (it == displays_.end()) throw ScriptFault(s.line, "no display named '" + s.word + "'");
        current_ = static_cast<std::size_t>(it - displays_.begin());
        break;
    }
    case Statement::Kind::ExpectEqual: {
        try {
            const Variant actual = evaluate(*s.values[0]);
            if (s.values.size() == 1) {
                // "expect <condition>": the condition must hold.
                if (!seg4::automationEquals(actual, Variant::boolean(true)))
                    fail(s.line,
                         exprText(*s.values[0], s.text) + " does not hold (" + formatValue(actual) + ")");
                break;
            }
            const Variant expected = evaluate(*s.values[1]);
            if (!seg4::automationEquals(actual, expected))
                fail(s.line, exprText(*s.values[0], s.text) + " is " + formatValue(actual) + ", expected " +
                                 formatValue(expected));
        } catch (const ComError& e) {
            fail(s.line, exprText(*s.values[0], s.text) + " failed with " + seg4::toUtf8(e.description()));
        }
        break;
    }
    case Statement::Kind::ExpectFails: expectFails(s); break;
    case Statement::Kind::ExpectMsgBox: expectMessageBox(s); break;
    case Statement::Kind::ExpectPicture: {
        if (!limits_.fileCommands) throw ScriptFault(s.line, "expect picture is not allowed in this run");
        try {
            expectPicture(*this, expandWords(s.words), s.line);
        } catch (const CommandError& e) {
            throw ScriptFault(s.line, e.what());
        }
        break;
    }
    case Statement::Kind::Print: {
        try {
            const Variant v = evaluate(*s.values[0]);
            const Variant& d = v.deref();
            print(d.type() == VarType::String && !d.isArray() ? seg4::toUtf8(d.asString()) : formatValue(v));
        } catch (const ComError& e) {
            printError(e);
        }
        break;
    }
    case Statement::Kind::Command: command(s); break;
    case Statement::Kind::Echo: echo_ = s.word == "on"; break;
    case Statement::Kind::Repeat:
    case Statement::Kind::For:
    case Statement::Kind::During: loop(s); break;
    case Statement::Kind::If: {
        // The first branch whose condition holds runs; a Null condition does not hold.
        for (std::size_t i = 0; i < s.values.size(); ++i) {
            const Variant c = evaluate(*s.values[i]);
            if (!c.deref().isNull() && seg4::toBoolean(c)) {
                execute(s.branches[i]);
                return;
            }
        }
        if (s.branches.size() > s.values.size()) execute(s.branches.back());
        break;
    }
    case Statement::Kind::Elapse: {
        const double seconds = seg4::toDouble(evaluate(*s.values[0]));
        if (!(seconds >= 0) || !std::isfinite(seconds))
            throw ScriptFault(s.line, "elapse needs a duration of 0 or more");
        advance(seconds);
        break;
    }
    case Statement::Kind::Clock: {
        const double hz = seg4::toDouble(evaluate(*s.values[0]));
        if (!(hz >= 1) || hz > 2147483647.0)
            throw ScriptFault(s.line, "clock needs a frequency in Hz from 1 to 2147483647");
        clockHz_ = hz;
        clockPushed_ = true;
        const std::size_t keep = current_;
        for (current_ = 0; current_ < displays_.size(); ++current_)
            call("ClockSpeed", {Variant::i4(static_cast<std::int32_t>(hz))}, s.line);
        current_ = keep;
        break;
    }
    }
}

void Interpreter::evaluateStatement(const Statement& s) {
    const Expr& e = *s.values[0];
    const NameBinding& b = e.binding;
    const bool voidCall =
        e.kind == Expr::Kind::Name && !b.get && b.method && b.method.info->result == seg4::ValueKind::Void;
    try {
        // A call of a method (the statement scripts repeat most) goes to the member directly.
        const Variant v = voidCall ? callMember(e, *b.method.info, b.method.host, nullptr) : evaluate(e);
        if (echo_ && quiet_ == 0) echoAnswer(s, voidCall ? nullptr : &v);
    } catch (const ComError& err) {
        echoAnswer(s, nullptr);
        printError(err);
    }
}

void Interpreter::echoAnswer(const Statement& s, const Variant* answer) {
    const std::string text = exprText(*s.values[0], s.text);
    print(answer ? text + " = " + formatValue(*answer) : text);
}

void Interpreter::assign(const Statement& s) {
    const Expr& target = *s.target;
    const NameBinding& b = target.binding;
    if (!b.put && b.isMember())
        throw ScriptFault(s.line, "'" + target.name + "' is read-only: it cannot be assigned");
    if (!b.put) {
        if (target.hasArgumentList) throw ScriptFault(s.line, "unknown member '" + target.name + "'");
        if (b.builtIn != BuiltIn::None)
            throw ScriptFault(s.line, "'" + target.name + "' is built in and cannot be assigned");
        try {
            Variant value = evaluate(*s.values[0]).deref();
            variable(b) = std::move(value);
        } catch (const ComError& e) {
            print(s.text);
            printError(e);
        }
        return;
    }
    try {
        const Variant value = evaluate(*s.values[0]);
        callMember(target, *b.put.info, b.put.host, &value);
        if (echo_ && quiet_ == 0) print(exprText(target, s.text) + " = " + formatValue(value));
    } catch (const ComError& e) {
        print(s.text);
        printError(e);
    }
}

void Interpreter::expectFails(const Statement& s) {
    seg4::HResult wanted = 0;
    try {
        wanted = errorCodeFromText(s.word);
    } catch (const std::invalid_argument& e) {
        throw ScriptFault(s.line, e.what());
    }
    const Statement& inner = *s.inner;
    ++quiet_;
    try {
        if (inner.kind == Statement::Kind::Assign) {
            const Expr& target = *inner.target;
            const FoundMember& put = target.binding.put;
            if (!put) throw ScriptFault(s.line, "'" + target.name + "' is no property that can be assigned");
            const Variant value = evaluate(*inner.values[0]);
            callMember(target, *put.info, put.host, &value);
        } else {
            evaluate(*inner.values[0]);
        }
        --quiet_;
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(wanted));
        fail(s.line, inner.text + " succeeded, expected it to fail with " + code);
    } catch (const ComError& e) {
        --quiet_;
        if (e.code() != wanted) {
            char got[16], want[16];
            std::snprintf(got, sizeof got, "0x%08X", static_cast<unsigned>(e.code()));
            std::snprintf(want, sizeof want, "0x%08X", static_cast<unsigned>(wanted));
            fail(s.line, inner.text + " failed with " + got + " " + seg4::toUtf8(e.description()) +
                             ", expected " + want);
        }
    } catch (...) {
        --quiet_;
        throw;
    }
}

void Interpreter::expectMessageBox(const Statement& s) {
    if (s.negate) {
        if (!unchecked_.empty())
            fail(s.line, "expected no message box, got " + formatString(unchecked_.front()));
        unchecked_.clear();
        return;
    }
    const Variant expected = evaluate(*s.values[0]);
    const std::u16string text = seg4::toString(expected);
    if (unchecked_.empty()) {
        fail(s.line, "expected the message box " + formatString(text) + ", none was shown");
        return;
    }
    const std::u16string got = unchecked_.front();
    unchecked_.pop_front();
    if (got != text) fail(s.line, "message box " + formatString(got) + ", expected " + formatString(text));
}

void Interpreter::loop(const Statement& s) {
    auto guard = [&] {
        if (++loopIterations_ > limits_.maxLoopIterations) tooManyIterations(s.line);
    };
    switch (s.kind) {
    case Statement::Kind::Repeat: {
        const std::int32_t count = seg4::toLong(evaluate(*s.values[0]));
        for (std::int32_t i = 0; i < count; ++i) {
            guard();
            execute(s.body);
        }
        break;
    }
    case Statement::Kind::For: {
        const double from = seg4::toDouble(evaluate(*s.values[0]));
        const double to = seg4::toDouble(evaluate(*s.values[1]));
        const double step = s.values.size() > 2 ? seg4::toDouble(evaluate(*s.values[2])) : 1.0;
        if (step == 0) throw ScriptFault(s.line, "a 'for' step of 0 never ends");
        const bool integral = from == std::floor(from) && step == std::floor(step) && std::fabs(from) < 2e9 &&
                              std::fabs(to) < 2e9;
        for (double v = from; step > 0 ? v <= to : v >= to; v += step) {
            guard();
            variable(s.target->binding) =
                integral ? Variant::i4(static_cast<std::int32_t>(v)) : Variant::r8(v);
            execute(s.body);
        }
        break;
    }
    case Statement::Kind::During: {
        const double span = seg4::toDouble(evaluate(*s.values[0]));
        const double end = now_ + span;
        while (now_ < end) {
            guard();
            const double before = now_;
            execute(s.body);
            if (now_ <= before) throw ScriptFault(s.line, "the body of 'during' lets no simulated time pass");
        }
        break;
    }
    default: break;
    }
}

void Interpreter::command(const Statement& s) {
    try {
        const Command& c = *s.command;
        if (!limits_.fileCommands && c.touchesFiles(s.words))
            throw CommandError("'" + s.word + "' is not allowed in this run");
        runCommand(*this, c, expandWords(s.words), s.line);
    } catch (const ComError& e) {
        print(s.text);
        printError(e);
    } catch (const CommandError& e) {
        throw ScriptFault(s.line, e.what());
    }
}

} // namespace qhost
