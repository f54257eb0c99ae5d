// Evaluation of the script's expressions: literals, operators, built-in functions, variables and
// member reads.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "files/bounded_read.h"
#include "script/container_checks.h"
#include "script/functions_text.h"
#include "script/interpreter.h"
#include "script/names.h"
#include "script/page_commands.h"

#include <cmath>

namespace qhost {

using seg4::Variant;
using seg4::VarType;

namespace {

/// A file's text for FileText; a file it cannot read fails as the runtime's file functions fail,
/// with the reason in the description.
std::string fileText(const std::string& path) {
    try {
        return files::readBounded(path);
    } catch (const files::ReadError& e) {
        using Why = files::ReadError::Why;
        const seg4::HResult code = e.why == Why::Missing      ? seg4::hr::FileNotFound
                                   : e.why == Why::TooLarge   ? seg4::hr::OutOfMemory
                                   : e.why == Why::Unreadable ? seg4::hr::DeviceIoError
                                                              : seg4::hr::PathFileAccessError;
        throw seg4::ComError(code, seg4::fromUtf8(e.what()));
    }
}

bool isInteger(VarType t) {
    return t == VarType::I2 || t == VarType::I4 || t == VarType::UI1 || t == VarType::Bool ||
           t == VarType::I1;
}

Variant integerResult(std::int64_t v) {
    if (v < INT32_MIN || v > INT32_MAX) seg4::raise(seg4::hr::Overflow);
    return Variant::i4(static_cast<std::int32_t>(v));
}

} // namespace

Variant Interpreter::evaluate(const Expr& e) {
    switch (e.kind) {
    case Expr::Kind::Literal:
    case Expr::Kind::Duration: return e.literal;
    case Expr::Kind::Name: return evaluateName(e);
    case Expr::Kind::Unary: {
        const Variant v = evaluate(*e.args[0]).deref();
        if (e.ops[0] == Op::Not) {
            if (v.type() == VarType::Bool) return Variant::boolean(!v.asBool());
            return integerResult(~static_cast<std::int64_t>(seg4::toLong(v)));
        }
        if (v.type() == VarType::I2) return Variant::i2(seg4::narrowTo16(-v.asSigned()));
        if (isInteger(v.type())) return integerResult(-seg4::toLong(v));
        return Variant::r8(-seg4::toDouble(v));
    }
    case Expr::Kind::Binary: {
        Variant value = evaluate(*e.args[0]).deref();
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            const Variant rhs = evaluate(*e.args[i]).deref();
            value = binary(e.ops[i - 1], value, rhs);
        }
        return value;
    }
    }
    return {};
}

Variant Interpreter::binary(Op op, const Variant& a, const Variant& b) {
    switch (op) {
    case Op::Concat: return Variant::string(seg4::toString(a) + seg4::toString(b));
    case Op::Equal: return Variant::boolean(seg4::automationEquals(a, b));
    case Op::NotEqual: return Variant::boolean(!seg4::automationEquals(a, b));
    case Op::Less:
    case Op::Greater:
    case Op::LessEqual:
    case Op::GreaterEqual: {
        int order = 0;
        if (a.type() == VarType::String && b.type() == VarType::String) {
            order = a.asString().compare(b.asString());
        } else {
            const double x = seg4::toDouble(a), y = seg4::toDouble(b);
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
        return Variant::boolean(op == Op::Less        ? order < 0
                                : op == Op::Greater   ? order > 0
                                : op == Op::LessEqual ? order <= 0
                                                      : order >= 0);
    }
    default: break;
    }
    if (op == Op::Add && a.type() == VarType::String && b.type() == VarType::String)
        return Variant::string(a.asString() + b.asString());
    const bool integers = isInteger(a.type()) && isInteger(b.type());
    if (op == Op::IntegerDivide || op == Op::Mod) {
        const std::int64_t x = seg4::toLong(a), y = seg4::toLong(b);
        if (y == 0) seg4::raise(seg4::hr::DispException, u"Division by zero");
        return integerResult(op == Op::Mod ? x % y : x / y);
    }
    if (integers && op != Op::Divide) {
        const std::int64_t x = seg4::toLong(a), y = seg4::toLong(b);
        return integerResult(op == Op::Add ? x + y : op == Op::Subtract ? x - y : x * y);
    }
    const double x = seg4::toDouble(a), y = seg4::toDouble(b);
    if (op == Op::Divide && y == 0) seg4::raise(seg4::hr::DispException, u"Division by zero");
    return Variant::r8(op == Op::Add        ? x + y
                       : op == Op::Subtract ? x - y
                       : op == Op::Multiply ? x * y
                                            : x / y);
}

Variant Interpreter::evaluateName(const Expr& e) {
    const NameBinding& b = e.binding;
    // Members win over built-ins and variables.
    if (b.get) return callMember(e, *b.get.info, b.get.host, nullptr);
    if (b.method) return callMember(e, *b.method.info, b.method.host, nullptr);
    if (b.put) throw ScriptFault(e.line, "'" + e.name + "' is write-only: it can only be assigned");

    auto arg = [&](std::size_t i) { return evaluate(*e.args.at(i)); };
    auto needArgs = [&](std::size_t count) {
        if (e.args.size() != count)
            throw ScriptFault(e.line, e.name + " takes " + std::to_string(count) + " argument" +
                                          (count == 1 ? "" : "s"));
    };
    if (isContainerValue(b.builtIn)) {
        std::vector<Variant> values;
        values.reserve(e.args.size());
        for (const ExprPtr& a : e.args) values.push_back(evaluate(*a).deref());
        return containerValue(*this, b.builtIn, values, e.line);
    }
    if (!e.hasArgumentList || e.args.empty()) {
        if (isPageValue(b.builtIn)) return pageValue(*this, b.builtIn, e.line);
        switch (b.builtIn) {
        case BuiltIn::True: return Variant::boolean(true);
        case BuiltIn::False: return Variant::boolean(false);
        case BuiltIn::Empty: return Variant();
        case BuiltIn::Null: return Variant::null();
        case BuiltIn::VbCr: return Variant::string(u"\r");
        case BuiltIn::VbLf: return Variant::string(u"\n");
        case BuiltIn::VbCrLf: return Variant::string(u"\r\n");
        case BuiltIn::VbTab: return Variant::string(u"\t");
        case BuiltIn::VbNullString: return Variant::string(u"");
        case BuiltIn::Time: return Variant::r8(now_);
        default: break;
        }
    }
    switch (b.builtIn) {
    case BuiltIn::Array: {
        std::vector<Variant> elements;
        elements.reserve(e.args.size());
        for (const auto& a : e.args) elements.push_back(evaluate(*a).deref());
        return Variant::array(VarType::Variant, 0, std::move(elements));
    }
    case BuiltIn::TypeName: needArgs(1); return Variant::string(seg4::typeName(arg(0)));
    case BuiltIn::Chr:
    case BuiltIn::ChrW: {
        needArgs(1);
        const std::int32_t code = seg4::toLong(arg(0));
        if (code < 0 || code > 0xFFFF)
            seg4::raise(seg4::hr::InvalidArgument, u"Invalid procedure call or argument");
        return Variant::string(std::u16string(1, static_cast<char16_t>(code)));
    }
    case BuiltIn::CInt: needArgs(1); return Variant::i2(seg4::toInteger(arg(0)));
    case BuiltIn::CLng: needArgs(1); return Variant::i4(seg4::toLong(arg(0)));
    case BuiltIn::CByte: needArgs(1); return Variant::ui1(seg4::toByte(arg(0)));
    case BuiltIn::CBool: needArgs(1); return Variant::boolean(seg4::toBoolean(arg(0)));
    case BuiltIn::CDbl: needArgs(1); return Variant::r8(seg4::toDouble(arg(0)));
    case BuiltIn::CStr: needArgs(1); return Variant::string(seg4::toString(arg(0)));
    case BuiltIn::Int:
    case BuiltIn::Fix:
    case BuiltIn::Abs: {
        needArgs(1);
        const Variant v = arg(0).deref();
        const double d = seg4::toDouble(v);
        const double r = b.builtIn == BuiltIn::Int   ? std::floor(d)
                         : b.builtIn == BuiltIn::Fix ? std::trunc(d)
                                                     : std::fabs(d);
        if (isInteger(v.type())) return integerResult(static_cast<std::int64_t>(r));
        return Variant::r8(r);
    }
    case BuiltIn::FileText: {
        needArgs(1);
        if (!limits_.fileCommands) throw ScriptFault(e.line, "FileText is not allowed in this run");
        const std::string path = seg4::toUtf8(seg4::toString(arg(0)));
        return Variant::string(fileTextOf(path, fileText(path)));
    }
    case BuiltIn::Min:
    case BuiltIn::Max: {
        needArgs(2);
        const Variant a = arg(0).deref(), c = arg(1).deref();
        const bool aFirst = seg4::toDouble(a) <= seg4::toDouble(c);
        return (b.builtIn == BuiltIn::Min) == aFirst ? a : c;
    }
    case BuiltIn::Len:
        needArgs(1);
        return Variant::i4(static_cast<std::int32_t>(seg4::toString(arg(0)).size()));
    case BuiltIn::UBound:
    case BuiltIn::LBound: {
        // UBound(array[, dimension])
        if (e.args.size() != 1 && e.args.size() != 2)
            throw ScriptFault(e.line, e.name + " takes 1 or 2 arguments");
        const Variant v = arg(0);
        const std::int32_t dimension = e.args.size() > 1 ? seg4::toLong(arg(1)) : 1;
        return Variant::i4(arrayBound(v, dimension, b.builtIn == BuiltIn::UBound));
    }
    case BuiltIn::ClassId: needArgs(0); return Variant::string(seg4::fromUtf8(backend_.classId()));
    case BuiltIn::FileVersion: needArgs(0); return Variant::string(seg4::fromUtf8(backend_.fileVersion()));
    case BuiltIn::MemberName: {
        // MemberName("host" | "control", position): the member at that place of the call table.
        needArgs(2);
        const std::string which = lower(seg4::toUtf8(seg4::toString(arg(0))));
        if (which != "host" && which != "control")
            throw ScriptFault(e.line, "MemberName names the interface \"host\" or \"control\", not \"" +
                                          which + "\"");
        const std::int32_t position = seg4::toLong(arg(1));
        const std::string name = backend_.memberName(which == "host", position);
        if (name.empty())
            seg4::raise(seg4::hr::SubscriptOutOfRange, u"MemberName: the " + seg4::fromUtf8(which) +
                                                           u" interface has no member at position " +
                                                           seg4::decimal(position));
        return Variant::string(seg4::fromUtf8(name));
    }
    default: break;
    }
    // (A variable's name is no built-in: its reads skip the table.)
    if (const ValueFunction* f = b.builtIn == BuiltIn::None ? nullptr : valueFunction(b.builtIn)) {
        if (e.args.size() < f->minArgs || e.args.size() > f->maxArgs)
            throw ScriptFault(e.line, e.name + " takes " + std::to_string(f->minArgs) +
                                          (f->maxArgs == f->minArgs ? ""
                                           : f->maxArgs > 64        ? " or more"
                                                                    : " to " + std::to_string(f->maxArgs)) +
                                          " arguments");
        std::vector<Variant> values;
        values.reserve(e.args.size());
        for (const auto& a : e.args) values.push_back(evaluate(*a).deref());
        try {
            return f->run(values);
        } catch (const FunctionMisuse& m) {
            throw ScriptFault(e.line, e.name + ": " + m.what());
        }
    }

    // A script variable; with one argument, an element of the array it holds.
    if (!assigned_[b.slot])
        throw ScriptFault(e.line,
                          "unknown name '" + e.name + "' (no member, built-in or variable of that name)");
    const Variant& value = variables_[b.slot];
    if (!e.hasArgumentList) return value;
    if (e.args.size() == 2) return seg4::arrayElement(value, seg4::toLong(arg(0)), seg4::toLong(arg(1)));
    needArgs(1);
    return seg4::arrayElement(value, seg4::toLong(arg(0)));
}

} // namespace qhost
