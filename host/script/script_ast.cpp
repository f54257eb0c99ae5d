// Texts of the syntax tree.
#include "script/script_ast.h"

namespace qhost {

std::string_view opText(Op op) {
    switch (op) {
    case Op::Equal: return "=";
    case Op::NotEqual: return "<>";
    case Op::Less: return "<";
    case Op::Greater: return ">";
    case Op::LessEqual: return "<=";
    case Op::GreaterEqual: return ">=";
    case Op::Concat: return "&";
    case Op::Add: return "+";
    case Op::Subtract: return "-";
    case Op::Multiply: return "*";
    case Op::Divide: return "/";
    case Op::IntegerDivide: return "\\";
    case Op::Mod: return "Mod";
    case Op::Negate: return "-";
    case Op::Not: return "Not";
    }
    return "?";
}

std::string exprText(const Expr& e, std::string_view line) {
    if (e.kind != Expr::Kind::Binary) {
        if (e.begin >= line.size() || e.end <= e.begin) return {};
        return std::string(line.substr(e.begin, e.end - e.begin));
    }
    // Depth is bounded by the nesting limit; a long chain is a loop.
    std::string text = exprText(*e.args[0], line);
    for (std::size_t i = 1; i < e.args.size(); ++i) {
        text += ' ';
        text += opText(e.ops[i - 1]);
        text += ' ';
        text += exprText(*e.args[i], line);
    }
    return text;
}

} // namespace qhost
