// Evaluation of the script's expressions: literals, operators, built-in functions, variables and
// member reads.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "interpreter.h"
#include "names.h"
#include "page.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace qhost {

using seg4::MemberKind;
using seg4::Variant;
using seg4::VarType;

namespace {

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
        if (e.name == "Not") {
            if (v.type() == VarType::Bool) return Variant::boolean(!v.asBool());
            return integerResult(~static_cast<std::int64_t>(seg4::toLong(v)));
        }
        if (v.type() == VarType::I2) return Variant::i2(seg4::narrowTo16(-v.asSigned()));
        if (isInteger(v.type())) return integerResult(-seg4::toLong(v));
        return Variant::r8(-seg4::toDouble(v));
    }
    case Expr::Kind::Binary: return binary(e);
    }
    return {};
}

Variant Interpreter::binary(const Expr& e) {
    const Variant a = evaluate(*e.args[0]).deref();
    const Variant b = evaluate(*e.args[1]).deref();
    const std::string& op = e.name;
    if (op == "&") return Variant::string(seg4::toString(a) + seg4::toString(b));
    if (op == "=") return Variant::boolean(seg4::automationEquals(a, b));
    if (op == "<>") return Variant::boolean(!seg4::automationEquals(a, b));
    if (op == "<" || op == ">" || op == "<=" || op == ">=") {
        int order = 0;
        if (a.type() == VarType::String && b.type() == VarType::String) {
            order = a.asString().compare(b.asString());
        } else {
            const double x = seg4::toDouble(a), y = seg4::toDouble(b);
            order = x < y ? -1 : (x > y ? 1 : 0);
        }
        return Variant::boolean(op == "<"    ? order < 0
                                : op == ">"  ? order > 0
                                : op == "<=" ? order <= 0
                                             : order >= 0);
    }
    if (op == "+" && a.type() == VarType::String && b.type() == VarType::String)
        return Variant::string(a.asString() + b.asString());
    const bool integers = isInteger(a.type()) && isInteger(b.type());
    if (op == "\\" || op == "Mod") {
        const std::int64_t x = seg4::toLong(a), y = seg4::toLong(b);
        if (y == 0) seg4::raise(seg4::hr::DispException, u"Division by zero");
        return integerResult(op == "Mod" ? x % y : x / y);
    }
    if (integers && op != "/") {
        const std::int64_t x = seg4::toLong(a), y = seg4::toLong(b);
        return integerResult(op == "+" ? x + y : op == "-" ? x - y : x * y);
    }
    const double x = seg4::toDouble(a), y = seg4::toDouble(b);
    if (op == "/" && y == 0) seg4::raise(seg4::hr::DispException, u"Division by zero");
    return Variant::r8(op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y);
}

Variant Interpreter::evaluateName(const Expr& e) {
    // Members win over built-ins and variables.
    if (const FoundMember get = findMember(e.name, MemberKind::Get); get.info)
        return callMember(e, *get.info, get.host, nullptr);
    if (const FoundMember method = findMember(e.name, MemberKind::Method); method.info)
        return callMember(e, *method.info, method.host, nullptr);
    if (findMember(e.name, MemberKind::Put).info)
        throw ScriptFault(e.line, "'" + e.name + "' is write-only: it can only be assigned");

    const std::string n = lower(e.name);
    auto arg = [&](std::size_t i) { return evaluate(*e.args.at(i)); };
    auto needArgs = [&](std::size_t count) {
        if (e.args.size() != count)
            throw ScriptFault(e.line, e.name + " takes " + std::to_string(count) + " argument" +
                                          (count == 1 ? "" : "s"));
    };
    if (!e.hasArgumentList || e.args.empty()) {
        if (std::optional<Variant> value = pageValue(*this, n, e.line)) return *value;
        if (n == "true") return Variant::boolean(true);
        if (n == "false") return Variant::boolean(false);
        if (n == "empty") return Variant();
        if (n == "null") return Variant::null();
        if (n == "vbcr") return Variant::string(u"\r");
        if (n == "vblf") return Variant::string(u"\n");
        if (n == "vbcrlf") return Variant::string(u"\r\n");
        if (n == "vbtab") return Variant::string(u"\t");
        if (n == "vbnullstring") return Variant::string(u"");
        if (n == "time") return Variant::r8(now_);
    }
    if (n == "array") {
        std::vector<Variant> elements;
        for (const auto& a : e.args) elements.push_back(evaluate(*a).deref());
        return Variant::array(VarType::Variant, 0, std::move(elements));
    }
    if (n == "typename") {
        needArgs(1);
        return Variant::string(seg4::typeName(arg(0)));
    }
    if (n == "chr" || n == "chrw") {
        needArgs(1);
        const std::int32_t code = seg4::toLong(arg(0));
        if (code < 0 || code > 0xFFFF)
            seg4::raise(seg4::hr::InvalidArgument, u"Invalid procedure call or argument");
        return Variant::string(std::u16string(1, static_cast<char16_t>(code)));
    }
    if (n == "cint") {
        needArgs(1);
        return Variant::i2(seg4::toInteger(arg(0)));
    }
    if (n == "clng") {
        needArgs(1);
        return Variant::i4(seg4::toLong(arg(0)));
    }
    if (n == "cbyte") {
        needArgs(1);
        return Variant::ui1(seg4::toByte(arg(0)));
    }
    if (n == "cbool") {
        needArgs(1);
        return Variant::boolean(seg4::toBoolean(arg(0)));
    }
    if (n == "cdbl") {
        needArgs(1);
        return Variant::r8(seg4::toDouble(arg(0)));
    }
    if (n == "cstr") {
        needArgs(1);
        return Variant::string(seg4::toString(arg(0)));
    }
    if (n == "int" || n == "fix" || n == "abs") {
        needArgs(1);
        const Variant v = arg(0).deref();
        const double d = seg4::toDouble(v);
        const double r = n == "int" ? std::floor(d) : n == "fix" ? std::trunc(d) : std::fabs(d);
        if (isInteger(v.type())) return integerResult(static_cast<std::int64_t>(r));
        return Variant::r8(r);
    }
    if (n == "filetext") {
        needArgs(1);
        if (!limits_.fileCommands) throw ScriptFault(e.line, "FileText is not allowed in this run");
        const std::string path = seg4::toUtf8(seg4::toString(arg(0)));
        std::ifstream in(path, std::ios::binary);
        if (!in) seg4::raise(seg4::hr::FileNotFound);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return Variant::string(seg4::fromUtf8(bytes));
    }
    if (n == "min" || n == "max") {
        needArgs(2);
        const Variant a = arg(0).deref(), b = arg(1).deref();
        const bool aFirst = seg4::toDouble(a) <= seg4::toDouble(b);
        return (n == "min") == aFirst ? a : b;
    }
    if (n == "len") {
        needArgs(1);
        return Variant::i4(static_cast<std::int32_t>(seg4::toString(arg(0)).size()));
    }
    if (n == "ubound" || n == "lbound") {
        needArgs(1);
        const Variant v = arg(0);
        const seg4::SafeArray* a = v.arrayData();
        if (!v.deref().isArray()) seg4::raise(seg4::hr::TypeMismatch);
        if (!a) seg4::raise(seg4::hr::SubscriptOutOfRange);
        return Variant::i4(n == "ubound" ? a->upperBound() : a->lowerBound);
    }

    // A script variable; with one argument, an element of the array it holds.
    auto it = variables_.find(n);
    if (it == variables_.end())
        throw ScriptFault(e.line,
                          "unknown name '" + e.name + "' (no member, built-in or variable of that name)");
    if (!e.hasArgumentList) return it->second;
    needArgs(1);
    return seg4::arrayElement(it->second, seg4::toLong(arg(0)));
}

} // namespace qhost
