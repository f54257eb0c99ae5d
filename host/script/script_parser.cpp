// Lexer and recursive-descent parser of the qhost script language.
//
// The language is line based: one statement a line, '#' starts a comment. Values use the
// automation's literal style (12 Long, 12% Integer, 1.5 Double, "a ""b""" String, True, Empty,
// Null, &HFF), durations of simulated time are written 20ms, 1s, 250us.
#include "script/script_parser.h"

#include "automation/conversions.h"
#include "script/commands.h"
#include "script/names.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace qhost {

namespace {

using seg4::Variant;

enum class Tok { End, Ident, Number, String, Duration, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text; // identifier, symbol, or the literal's source
    Variant value;    // Number, String, Duration
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct SyntaxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool equalsWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

/// Splits one line (without its comment) into tokens.
class Lexer {
public:
    explicit Lexer(std::string_view line) : s_(line) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        for (;;) {
            while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
            if (pos_ >= s_.size()) break;
            out.push_back(next());
        }
        Token end;
        end.begin = end.end = s_.size();
        out.push_back(end);
        return out;
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;

    Token next() {
        Token t;
        t.begin = pos_;
        const char c = s_[pos_];
        if (c == '"') {
            lexString(t);
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && pos_ + 1 < s_.size() &&
                    std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
            lexNumber(t);
        } else if (c == '&' && pos_ + 1 < s_.size() &&
                   (s_[pos_ + 1] == 'H' || s_[pos_ + 1] == 'h' || s_[pos_ + 1] == 'O' ||
                    s_[pos_ + 1] == 'o')) {
            lexRadix(t);
        } else if (isIdentStart(c)) {
            while (pos_ < s_.size() && isIdentChar(s_[pos_])) ++pos_;
            t.kind = Tok::Ident;
            t.text = std::string(s_.substr(t.begin, pos_ - t.begin));
        } else {
            static const char* const kTwo[] = {"==", "<>", "<=", ">="};
            t.kind = Tok::Symbol;
            for (const char* two : kTwo) {
                if (s_.substr(pos_, 2) == two) {
                    t.text = two;
                    pos_ += 2;
                    t.end = pos_;
                    return t;
                }
            }
            if (std::string_view("(),&+-*/\\^=<>").find(c) == std::string_view::npos)
                throw SyntaxError(std::string("unexpected character '") + c + "'");
            t.text = std::string(1, c);
            ++pos_;
        }
        t.end = pos_;
        return t;
    }

    void lexString(Token& t) {
        std::string bytes;
        ++pos_;
        for (;;) {
            if (pos_ >= s_.size()) throw SyntaxError("unterminated string");
            if (s_[pos_] == '"') {
                if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
                    bytes += '"';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            bytes += s_[pos_++];
        }
        t.kind = Tok::String;
        t.value = Variant::string(seg4::fromUtf8(bytes));
    }

    void lexNumber(Token& t) {
        std::size_t start = pos_;
        bool isFloat = false;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            isFloat = true;
            ++pos_;
            while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            std::size_t save = pos_++;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
                isFloat = true;
                while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
            } else {
                pos_ = save; // "1e" is a number followed by something else
            }
        }
        const std::string digits(s_.substr(start, pos_ - start));
        const double value = std::strtod(digits.c_str(), nullptr);

        // A unit straight after the number makes a duration of simulated time.
        std::size_t unitEnd = pos_;
        while (unitEnd < s_.size() && std::isalpha(static_cast<unsigned char>(s_[unitEnd]))) ++unitEnd;
        const std::string_view unit = s_.substr(pos_, unitEnd - pos_);
        static const std::pair<const char*, double> kUnits[] = {
            {"s", 1.0}, {"ms", 1e-3}, {"us", 1e-6}, {"ns", 1e-9}};
        if (!unit.empty()) {
            for (const auto& [name, scale] : kUnits) {
                if (unit == name) {
                    pos_ = unitEnd;
                    t.kind = Tok::Duration;
                    t.value = Variant::r8(value * scale);
                    return;
                }
            }
            throw SyntaxError("unknown unit or suffix '" + std::string(unit) + "' after " + digits);
        }

        t.kind = Tok::Number;
        const char suffix = pos_ < s_.size() ? s_[pos_] : '\0';
        switch (suffix) {
        case '%':
            ++pos_;
            t.value = integerOf(value, isFloat, -32768.0, 32767.0, true);
            return;
        case '&':
            ++pos_;
            t.value = integerOf(value, isFloat, -2147483648.0, 2147483647.0, false);
            return;
        case '!':
            ++pos_;
            if (value > std::numeric_limits<float>::max())
                throw SyntaxError("number out of range for its type suffix");
            t.value = Variant::r4(static_cast<float>(value));
            return;
        case '#':
            ++pos_;
            t.value = Variant::r8(value);
            return;
        case '@':
            ++pos_;
            // The largest Currency is 922337203685477.5807; a double just below 2^63 / 10^4 still fits.
            if (!(value * 10000.0 < 9223372036854775807.0))
                throw SyntaxError("number out of range for its type suffix");
            t.value = Variant::currency(static_cast<std::int64_t>(std::llround(value * 10000.0)));
            return;
        default: break;
        }
        // Plain whole numbers are Long; those beyond its range and decimals are Double.
        if (!isFloat && value <= 2147483647.0)
            t.value = Variant::i4(static_cast<std::int32_t>(value));
        else
            t.value = Variant::r8(value);
    }

    static Variant integerOf(double value, bool isFloat, double lo, double hi, bool shortType) {
        if (isFloat) throw SyntaxError("a type suffix % or & needs a whole number");
        if (value < lo || value > hi) throw SyntaxError("number out of range for its type suffix");
        return shortType ? Variant::i2(static_cast<std::int16_t>(value))
                         : Variant::i4(static_cast<std::int32_t>(value));
    }

    void lexRadix(Token& t) {
        const bool hex = s_[pos_ + 1] == 'H' || s_[pos_ + 1] == 'h';
        pos_ += 2;
        std::size_t start = pos_;
        while (pos_ < s_.size() && (hex ? std::isxdigit(static_cast<unsigned char>(s_[pos_]))
                                        : (s_[pos_] >= '0' && s_[pos_] <= '7')))
            ++pos_;
        if (pos_ == start) throw SyntaxError(hex ? "&H needs hexadecimal digits" : "&O needs octal digits");
        const std::string digits(s_.substr(start, pos_ - start));
        const unsigned long long v = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 8);
        if (v > 0xFFFFFFFFULL) throw SyntaxError("&H/&O literal larger than 32 bits");
        t.kind = Tok::Number;
        // As in the automation language: four hex digits or fewer make an Integer (so &HFFFF is
        // -1), more make a Long; a '&' suffix forces Long.
        if (pos_ < s_.size() && s_[pos_] == '&') {
            ++pos_;
            t.value = Variant::i4(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
        } else if (v <= 0xFFFF) {
            t.value = Variant::i2(static_cast<std::int16_t>(static_cast<std::uint16_t>(v)));
        } else {
            t.value = Variant::i4(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
        }
    }
};

/// Removes a '#' comment that is not inside a string.
std::string_view stripComment(std::string_view line) {
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') inString = !inString;
        if (line[i] == '#' && !inString) return line.substr(0, i);
    }
    return line;
}

std::string trim(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return std::string(s.substr(a, b - a));
}

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
    ExprPtr nameOrCall() {
        if (peek().kind != Tok::Ident) throw SyntaxError("expected a name" + near());
        const Token& t = take();
        auto e = make(Expr::Kind::Name, t.begin);
        e->name = t.text;
        e->binding = names_.bind(t.text);
        if (isSymbol("(")) {
            const Nesting nested(*this);
            ++pos_;
            e->hasArgumentList = true;
            if (!isSymbol(")")) {
                for (;;) {
                    e->args.push_back(expression());
                    if (isSymbol(",")) {
                        ++pos_;
                        continue;
                    }
                    break;
                }
            }
            expectSymbol(")");
        }
        finish(*e);
        return e;
    }

private:
    std::string_view line_;
    std::vector<Token> toks_;
    std::size_t pos_ = 0;
    int lineNo_;
    NameTable& names_;
    int depth_ = 0;

    /// One level of nesting (parentheses, an argument list, a sign or Not): the recursion of the
    /// parser, of the evaluation and of the tree's destruction stays bounded.
    class Nesting {
    public:
        explicit Nesting(LineParser& p) : p_(p) {
            if (++p_.depth_ > kMaxNesting) {
                --p_.depth_;
                throw SyntaxError("an expression nests more than " + std::to_string(kMaxNesting) +
                                  " levels deep (parentheses, argument lists, signs and Not)");
            }
        }
        ~Nesting() { --p_.depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        LineParser& p_;
    };

    ExprPtr make(Expr::Kind kind, std::size_t begin) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->line = lineNo_;
        e->begin = static_cast<std::uint32_t>(begin);
        return e;
    }
    void finish(Expr& e) {
        const std::size_t end = toks_[pos_ > 0 ? pos_ - 1 : 0].end;
        e.end = static_cast<std::uint32_t>(std::max<std::size_t>(end, e.begin));
    }

    static ExprPtr chainOf(ExprPtr first, int lineNo) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Binary;
        e->line = lineNo;
        e->args.push_back(std::move(first));
        return e;
    }
    /// Operators of one precedence, left to right, as one chain: a long sum is a loop, not a
    /// deep tree.
    template <typename NextOp, typename Operand>
    ExprPtr chain(NextOp nextOp, Operand operand) {
        ExprPtr first = operand();
        std::optional<Op> op = nextOp();
        if (!op) return first;
        ExprPtr e = chainOf(std::move(first), lineNo_);
        do {
            take();
            e->ops.push_back(*op);
            e->args.push_back(operand());
        } while ((op = nextOp()));
        return e;
    }

    std::optional<Op> comparisonOp() const {
        static const std::pair<const char*, Op> kOps[] = {{"=", Op::Equal},      {"<>", Op::NotEqual},
                                                          {"<", Op::Less},       {">", Op::Greater},
                                                          {"<=", Op::LessEqual}, {">=", Op::GreaterEqual}};
        for (const auto& [text, op] : kOps)
            if (isSymbol(text)) return op;
        return std::nullopt;
    }
    ExprPtr comparison() {
        ExprPtr lhs = concat();
        const std::optional<Op> op = comparisonOp(); // one comparison: a = b = c is no expression
        if (!op) return lhs;
        take();
        ExprPtr e = chainOf(std::move(lhs), lineNo_);
        e->ops.push_back(*op);
        e->args.push_back(concat());
        return e;
    }
    ExprPtr concat() {
        return chain(
            [this]() -> std::optional<Op> {
                return isSymbol("&") ? std::optional(Op::Concat) : std::nullopt;
            },
            [this] { return additive(); });
    }
    ExprPtr additive() {
        return chain(
            [this]() -> std::optional<Op> {
                if (isSymbol("+")) return Op::Add;
                if (isSymbol("-")) return Op::Subtract;
                return std::nullopt;
            },
            [this] { return term(); });
    }
    ExprPtr term() {
        return chain(
            [this]() -> std::optional<Op> {
                if (isSymbol("*")) return Op::Multiply;
                if (isSymbol("/")) return Op::Divide;
                if (isSymbol("\\")) return Op::IntegerDivide;
                if (isWord("Mod")) return Op::Mod;
                return std::nullopt;
            },
            [this] { return unary(); });
    }
    ExprPtr unary() {
        if (isSymbol("-") || isWord("Not")) {
            const Nesting nested(*this);
            const Token& t = take();
            auto e = make(Expr::Kind::Unary, t.begin);
            e->ops.push_back(equalsWord(t.text, "Not") ? Op::Not : Op::Negate);
            e->args.push_back(unary());
            finish(*e);
            return e;
        }
        return primary();
    }
    ExprPtr primary() {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Number:
        case Tok::String:
        case Tok::Duration: {
            take();
            auto e = make(t.kind == Tok::Duration ? Expr::Kind::Duration : Expr::Kind::Literal, t.begin);
            e->literal = t.value;
            finish(*e);
            return e;
        }
        case Tok::Ident: return nameOrCall();
        case Tok::Symbol:
            if (t.text == "(") {
                const Nesting nested(*this);
                take();
                ExprPtr inner = expression();
                expectSymbol(")");
                return inner;
            }
            break;
        case Tok::End: throw SyntaxError("expected a value at the end of the line");
        }
        throw SyntaxError("expected a value" + near());
    }
};

std::vector<std::string> splitWords(std::string_view s) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i >= s.size()) break;
        std::string w;
        if (s[i] == '"') {
            ++i;
            while (i < s.size() && s[i] != '"') w += s[i++];
            if (i >= s.size()) throw SyntaxError("unterminated quoted word");
            ++i;
        } else {
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) w += s[i++];
        }
        words.push_back(std::move(w));
    }
    return words;
}

/// Builds statements line by line, keeping a stack of open blocks.
class ScriptBuilder {
public:
    explicit ScriptBuilder(ParseResult& result) : result_(result), names_(result.script.variables) {
        stack_.push_back({&result.script.statements, nullptr});
    }

    void line(std::string_view raw, int lineNo) {
        const std::string text = trim(stripComment(raw));
        if (text.empty()) return;
        try {
            if (StatementPtr command = commandStatement(text, lineNo)) {
                stack_.back().block->push_back(std::move(command));
                return;
            }
            if (StatementPtr picture = expectPictureStatement(text, lineNo)) {
                stack_.back().block->push_back(std::move(picture));
                return;
            }
            if (StatementPtr fails = expectFailsStatement(text, lineNo)) {
                stack_.back().block->push_back(std::move(fails));
                return;
            }
            if (StatementPtr oneLine = oneLineIf(text, lineNo)) {
                stack_.back().block->push_back(std::move(oneLine));
                return;
            }
            LineParser p(text, Lexer(text).run(), lineNo, names_);
            if (closesBlock(p, text, lineNo) || continuesIf(p, text, lineNo)) return;
            StatementPtr s = statement(p, text, lineNo);
            Statement* opened = isBlock(s->kind) ? s.get() : nullptr;
            if (opened && stack_.size() > static_cast<std::size_t>(kMaxNesting))
                throw SyntaxError("blocks nest more than " + std::to_string(kMaxNesting) + " levels deep");
            stack_.back().block->push_back(std::move(s));
            if (opened)
                stack_.push_back(
                    {opened->kind == Statement::Kind::If ? &opened->branches.back() : &opened->body, opened});
        } catch (const SyntaxError& e) {
            result_.errors.push_back({lineNo, e.what()});
        }
    }

    void finish() {
        while (stack_.size() > 1) {
            result_.errors.push_back({stack_.back().owner->line, "block opened here is never closed"});
            stack_.pop_back();
        }
    }

private:
    struct Open {
        Block* block;
        Statement* owner;
    };
    ParseResult& result_;
    NameTable names_;
    std::vector<Open> stack_;

    static bool isBlock(Statement::Kind k) {
        return k == Statement::Kind::Repeat || k == Statement::Kind::For || k == Statement::Kind::During ||
               k == Statement::Kind::If;
    }

    bool closesBlock(LineParser& p, const std::string&, int) {
        const bool isEnd = p.isWord("end");
        const bool isNext = p.isWord("next");
        if (!isEnd && !isNext) return false;
        if (stack_.size() == 1)
            throw SyntaxError(std::string("'") + (isEnd ? "end" : "next") + "' without a block");
        const Statement::Kind open = stack_.back().owner->kind;
        if (isNext != (open == Statement::Kind::For))
            throw SyntaxError(open == Statement::Kind::For ? "a 'for' block ends with 'next'"
                                                           : "this block ends with 'end'");
        p.take();
        if (isNext && p.peek().kind == Tok::Ident) p.take();         // "next i"
        if (open == Statement::Kind::If && p.isWord("if")) p.take(); // "end if"
        p.expectEnd();
        stack_.pop_back();
        return true;
    }

    /// "elseif <condition>" and "else" start the next branch of the innermost open 'if'.
    bool continuesIf(LineParser& p, const std::string&, int) {
        const bool isElseIf = p.isWord("elseif");
        if (!isElseIf && !p.isWord("else")) return false;
        const char* word = isElseIf ? "'elseif'" : "'else'";
        Statement* owner = stack_.size() > 1 ? stack_.back().owner : nullptr;
        if (!owner || owner->kind != Statement::Kind::If)
            throw SyntaxError(std::string(word) + " without an open 'if' block");
        if (owner->branches.size() > owner->values.size())
            throw SyntaxError(std::string(word) + " after the 'else' of the 'if' on line " +
                              std::to_string(owner->line));
        p.take();
        if (isElseIf) {
            owner->values.push_back(p.expression());
            if (p.isWord("then")) p.take();
        }
        p.expectEnd();
        owner->branches.emplace_back();
        stack_.back().block = &owner->branches.back();
        return true;
    }

    /// "if <condition> then <statement>" on one line: the statement after 'then' is read as a
    /// line of its own (it may be a host command whose words are no expression), so the line is
    /// split at 'then' before it is tokenised.
    StatementPtr oneLineIf(const std::string& text, int lineNo) {
        if (text.size() < 3 || !equalsWord(std::string_view(text).substr(0, 2), "if") ||
            !std::isspace(static_cast<unsigned char>(text[2])))
            return nullptr;
        const std::size_t thenAt = findWord(text, "then");
        if (thenAt == std::string::npos) return nullptr;
        const std::string tail = trim(std::string_view(text).substr(thenAt + 4));
        if (tail.empty()) return nullptr; // the block form: "if <condition> then"
        const std::string condition = text.substr(0, thenAt);
        LineParser p(condition, Lexer(condition).run(), lineNo, names_);
        p.take();
        auto s = newStatement(Statement::Kind::If, text, lineNo);
        s->values.push_back(p.expression());
        p.expectEnd();
        StatementPtr inner = single(tail, lineNo);
        if (isBlock(inner->kind))
            throw SyntaxError("a one-line 'if' takes one simple statement after 'then'");
        // The condition's offsets point into the whole line, which starts with the condition.
        s->branches.emplace_back();
        s->branches.back().push_back(std::move(inner));
        return s;
    }

    /// One statement of a line, with no block to open or close.
    StatementPtr single(const std::string& text, int lineNo) {
        if (StatementPtr command = commandStatement(text, lineNo)) return command;
        if (StatementPtr fails = expectFailsStatement(text, lineNo)) return fails;
        LineParser p(text, Lexer(text).run(), lineNo, names_);
        for (const char* word : {"end", "next", "else", "elseif"})
            if (p.isWord(word))
                throw SyntaxError(std::string("'") + word + "' cannot follow 'then' on its line");
        return statement(p, text, lineNo);
    }

    StatementPtr newStatement(Statement::Kind kind, const std::string& text, int lineNo) {
        auto s = std::make_unique<Statement>();
        s->kind = kind;
        s->text = text;
        s->line = lineNo;
        return s;
    }

    StatementPtr statement(LineParser& p, const std::string& text, int lineNo) {
        if (p.isWord("place") || p.isWord("use")) {
            const bool place = p.isWord("place");
            p.take();
            auto s = newStatement(place ? Statement::Kind::Place : Statement::Kind::Use, text, lineNo);
            if (p.peek().kind == Tok::Ident)
                s->word = p.take().text;
            else if (!place)
                throw SyntaxError("'use' needs the name of a placed display");
            if (place && !s->word.empty() && p.isWord("bare")) {
                p.take();
                s->bare = true;
            }
            p.expectEnd();
            return s;
        }
        if (p.isWord("expect")) return expectStatement(p, text, lineNo);
        if (p.isWord("echo") && (p.isWord("on", 1) || p.isWord("off", 1))) {
            p.take();
            auto s = newStatement(Statement::Kind::Echo, text, lineNo);
            s->word = p.isWord("on") ? "on" : "off";
            p.take();
            p.expectEnd();
            return s;
        }
        if (p.isWord("print")) {
            p.take();
            auto s = newStatement(Statement::Kind::Print, text, lineNo);
            s->values.push_back(p.expression());
            p.expectEnd();
            return s;
        }
        if (p.isWord("repeat") || p.isWord("during") || p.isWord("elapse") || p.isWord("clock")) {
            const std::string w = p.take().text;
            Statement::Kind kind = equalsWord(w, "repeat")   ? Statement::Kind::Repeat
                                   : equalsWord(w, "during") ? Statement::Kind::During
                                   : equalsWord(w, "elapse") ? Statement::Kind::Elapse
                                                             : Statement::Kind::Clock;
            auto s = newStatement(kind, text, lineNo);
            s->values.push_back(p.expression());
            p.expectEnd();
            return s;
        }
        if (p.isWord("if")) {
            p.take();
            auto s = newStatement(Statement::Kind::If, text, lineNo);
            s->values.push_back(p.expression());
            if (p.isWord("then")) p.take();
            p.expectEnd();
            s->branches.emplace_back();
            return s;
        }
        if (p.isWord("for") && p.peek(1).kind == Tok::Ident && p.isSymbol("=", 2)) {
            p.take();
            auto s = newStatement(Statement::Kind::For, text, lineNo);
            s->target = p.nameOrCall();
            p.expectSymbol("=");
            s->values.push_back(p.expression());
            if (!p.isWord("to")) throw SyntaxError("expected 'to'" + p.near());
            p.take();
            s->values.push_back(p.expression());
            if (p.isWord("step")) {
                p.take();
                s->values.push_back(p.expression());
            }
            p.expectEnd();
            return s;
        }
        return callOrAssignment(p, text, lineNo);
    }

    /// A host command (snapshot, save, ...) takes its arguments as words such as file paths,
    /// so it is recognised before the line is split into tokens.
    StatementPtr commandStatement(const std::string& text, int lineNo) {
        std::size_t wordEnd = 0;
        while (wordEnd < text.size() && isIdentChar(text[wordEnd])) ++wordEnd;
        const std::string_view word(text.data(), wordEnd);
        std::size_t next = wordEnd;
        while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next]))) ++next;
        if (next < text.size() && (text[next] == '(' || text[next] == '=')) return nullptr;
        const Command* command = findCommand(word);
        if (!command) return nullptr;
        auto s = newStatement(Statement::Kind::Command, text, lineNo);
        s->word = std::string(command->word);
        s->command = command;
        s->words = splitWords(std::string_view(text).substr(wordEnd));
        return s;
    }

    StatementPtr callOrAssignment(LineParser& p, const std::string& text, int lineNo) {
        if (p.peek().kind == Tok::Ident) {
            const std::size_t start = p.position();
            ExprPtr target = p.nameOrCall();
            if (p.isSymbol("=")) {
                p.take();
                auto s = newStatement(Statement::Kind::Assign, text, lineNo);
                s->target = std::move(target);
                s->values.push_back(p.expression());
                p.expectEnd();
                return s;
            }
            p.rewind(start);
        }
        auto s = newStatement(Statement::Kind::Evaluate, text, lineNo);
        s->values.push_back(p.expression());
        p.expectEnd();
        return s;
    }

    StatementPtr expectStatement(LineParser& p, const std::string& text, int lineNo) {
        p.take();
        if (p.isWord("msgbox") || (p.isWord("no") && p.isWord("msgbox", 1))) {
            auto s = newStatement(Statement::Kind::ExpectMsgBox, text, lineNo);
            if (p.isWord("no")) {
                p.take();
                s->negate = true;
            }
            p.take();
            if (!s->negate) s->values.push_back(p.expression());
            p.expectEnd();
            return s;
        }
        auto s = newStatement(Statement::Kind::ExpectEqual, text, lineNo);
        s->values.push_back(p.expression());
        if (!p.atEnd()) {
            p.expectSymbol("==");
            s->values.push_back(p.expression());
        }
        p.expectEnd();
        return s;
    }

    /// "expect picture FILE.png" or "expect picture A.png [<>] B.png": the files are words such
    /// as paths, taken before the line is split into tokens. "expect picture = 3" still compares a variable
    /// named picture.
    StatementPtr expectPictureStatement(const std::string& text, int lineNo) {
        std::size_t at = 0;
        for (const char* word : {"expect", "picture"}) {
            const std::size_t length = std::string_view(word).size();
            if (!equalsWord(std::string_view(text).substr(at, length), word)) return nullptr;
            at += length;
            if (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) return nullptr;
            while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        }
        if (at < text.size() && (text[at] == '=' || text[at] == '(')) return nullptr;
        const std::vector<std::string> words = splitWords(text);
        const bool twoFiles = words.size() == 4 || (words.size() == 5 && words[3] == "<>");
        if (words.size() != 3 && !twoFiles)
            throw SyntaxError("usage: expect picture FILE.png, or expect picture A.png [<>] B.png");
        auto s = newStatement(Statement::Kind::ExpectPicture, text, lineNo);
        s->words.assign(words.begin() + 2, words.end());
        return s;
    }

    /// "expect <statement> fails <error>": the error is a word such as type-mismatch or a code
    /// such as 0x800A0009, so the line is split at 'fails' before it is tokenised.
    StatementPtr expectFailsStatement(const std::string& text, int lineNo) {
        if (text.size() < 7 || !equalsWord(std::string_view(text).substr(0, 6), "expect") ||
            !std::isspace(static_cast<unsigned char>(text[6])))
            return nullptr;
        const std::string_view body = std::string_view(text).substr(7);
        const std::size_t failsAt = findWord(body, "fails");
        if (failsAt == std::string_view::npos) return nullptr;
        auto s = newStatement(Statement::Kind::ExpectFails, text, lineNo);
        const std::string inner = trim(body.substr(0, failsAt));
        s->word = trim(body.substr(failsAt + 5));
        if (s->word.empty()) throw SyntaxError("'fails' needs an error name or code");
        if (inner.empty()) throw SyntaxError("'expect ... fails' needs a statement before 'fails'");
        LineParser ip(inner, Lexer(inner).run(), lineNo, names_);
        s->inner = callOrAssignment(ip, inner, lineNo);
        return s;
    }

    /// Where `word` stands on its own (blanks around it, not inside a string), or npos.
    static std::size_t findWord(std::string_view s, std::string_view word) {
        const std::size_t n = word.size();
        bool inString = false;
        for (std::size_t i = 0; i + n <= s.size(); ++i) {
            if (s[i] == '"') inString = !inString;
            if (inString) continue;
            const bool startOk = i > 0 && std::isspace(static_cast<unsigned char>(s[i - 1]));
            const bool endOk = i + n == s.size() || std::isspace(static_cast<unsigned char>(s[i + n]));
            if (startOk && endOk && equalsWord(s.substr(i, n), word)) return i;
        }
        return std::string_view::npos;
    }
};

} // namespace

ParseResult parseScript(std::string_view source, std::string fileName) {
    ParseResult result;
    result.script.fileName = std::move(fileName);
    ScriptBuilder builder(result);
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= source.size()) {
        std::size_t end = source.find('\n', pos);
        if (end == std::string_view::npos) end = source.size();
        std::string_view line = source.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNo;
        builder.line(line, lineNo);
        if (end == source.size()) break;
        pos = end + 1;
    }
    builder.finish();
    return result;
}

ExprPtr parseExpression(std::string_view text, std::vector<ScriptError>& errors) {
    try {
        std::vector<std::string> variables; // the expression's own: it is evaluated on its own
        NameTable names(variables);
        LineParser p(text, Lexer(text).run(), 0, names);
        ExprPtr e = p.expression();
        p.expectEnd();
        return e;
    } catch (const SyntaxError& e) {
        errors.push_back({0, e.what()});
        return nullptr;
    }
}

} // namespace qhost
