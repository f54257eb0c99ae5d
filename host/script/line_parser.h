// The syntax of one script line: its tokens, and the expressions they form. The statement
// builder (script_parser.cpp) asks a LineParser for words, symbols and expressions.
#pragma once

#include "script/names.h"
#include "script/script_ast.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qhost::syntax {

enum class Tok { End, Ident, Number, String, Duration, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text;    // identifier, symbol, or the literal's source
    seg4::Variant value; // Number, String, Duration
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct SyntaxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Equal but for the letter case of ASCII letters.
bool equalsWord(std::string_view a, std::string_view b);
bool isIdentStart(char c);
bool isIdentChar(char c);

/// Splits one line (without its comment) into tokens, ending with an End token.
std::vector<Token> tokenize(std::string_view line);

/// The names of one script: each distinct name (any letter case) is bound once and gets one
/// variable slot.
class NameTable {
public:
    explicit NameTable(std::vector<std::string>& variables) : variables_(variables) {}

    const NameBinding& bind(std::string_view name) {
        std::string key = lower(std::string(name));
        if (auto it = bindings_.find(key); it != bindings_.end()) return it->second;
        NameBinding b = bindName(name);
        b.slot = static_cast<std::uint32_t>(variables_.size());
        variables_.push_back(key);
        return bindings_.emplace(std::move(key), b).first->second;
    }

private:
    std::vector<std::string>& variables_;
    std::unordered_map<std::string, NameBinding> bindings_;
};

/// Parses the tokens of one line.
class LineParser {
public:
    LineParser(std::string_view line, std::vector<Token> tokens, int lineNo, NameTable& names)
        : line_(line), toks_(std::move(tokens)), lineNo_(lineNo), names_(names) {}

    bool atEnd() const { return peek().kind == Tok::End; }
    const Token& peek(std::size_t ahead = 0) const { return toks_[std::min(pos_ + ahead, toks_.size() - 1)]; }
    bool isSymbol(const char* s, std::size_t ahead = 0) const {
        return peek(ahead).kind == Tok::Symbol && peek(ahead).text == s;
    }
    bool isWord(const char* w, std::size_t ahead = 0) const {
        return peek(ahead).kind == Tok::Ident && equalsWord(peek(ahead).text, w);
    }
    void expectSymbol(const char* s) {
        if (!isSymbol(s)) throw SyntaxError(std::string("expected '") + s + "'" + near());
        ++pos_;
    }
    void expectEnd() {
        if (!atEnd())
            throw SyntaxError("unexpected '" +
                              std::string(line_.substr(peek().begin, peek().end - peek().begin)) + "'" +
                              near());
    }
    std::string near() const {
        return atEnd() ? " at the end of the line"
                       : " near '" + std::string(line_.substr(peek().begin)) + "'";
    }
    std::size_t position() const { return pos_; }
    void rewind(std::size_t p) { pos_ = p; }
    const Token& take() { return toks_[pos_ < toks_.size() - 1 ? pos_++ : pos_]; }

    ExprPtr expression() { return comparison(); }

    /// A name with an optional argument list: the target of an assignment or a call.
    ExprPtr nameOrCall();

private:
    std::string_view line_;
    std::vector<Token> toks_;
    std::size_t pos_ = 0;
    int lineNo_;
    NameTable& names_;
    int depth_ = 0;

    class Nesting;

    ExprPtr make(Expr::Kind kind, std::size_t begin);
    void finish(Expr& e);
    static ExprPtr chainOf(ExprPtr first, int lineNo);
    /// Operators of one precedence, left to right, as one chain: a long sum is a loop, not a
    /// deep tree.
    template <typename NextOp, typename Operand>
    ExprPtr chain(NextOp nextOp, Operand operand);
    std::optional<Op> comparisonOp() const;
    ExprPtr comparison();
    ExprPtr concat();
    ExprPtr additive();
    ExprPtr term();
    ExprPtr unary();
    ExprPtr primary();
};

} // namespace qhost::syntax
