// The tokens of one script line and the expressions they form.
#include "script/line_parser.h"

#include "automation/conversions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace qhost::syntax {

using seg4::Variant;

namespace {

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

} // namespace

bool equalsWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::vector<Token> tokenize(std::string_view line) { return Lexer(line).run(); }

/// One level of nesting (parentheses, an argument list, a sign or Not): the recursion of the
/// parser, of the evaluation and of the tree's destruction stays bounded.
class LineParser::Nesting {
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

ExprPtr LineParser::nameOrCall() {
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
    e->byReference = !e->hasArgumentList && !e->binding.isMember() && e->binding.builtIn == BuiltIn::None;
    finish(*e);
    return e;
}

ExprPtr LineParser::make(Expr::Kind kind, std::size_t begin) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = lineNo_;
    e->begin = static_cast<std::uint32_t>(begin);
    return e;
}

void LineParser::finish(Expr& e) {
    const std::size_t end = toks_[pos_ > 0 ? pos_ - 1 : 0].end;
    e.end = static_cast<std::uint32_t>(std::max<std::size_t>(end, e.begin));
}

ExprPtr LineParser::chainOf(ExprPtr first, int lineNo) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Binary;
    e->line = lineNo;
    e->args.push_back(std::move(first));
    return e;
}

template <typename NextOp, typename Operand>
ExprPtr LineParser::chain(NextOp nextOp, Operand operand) {
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

std::optional<Op> LineParser::comparisonOp() const {
    static const std::pair<const char*, Op> kOps[] = {{"=", Op::Equal},      {"<>", Op::NotEqual},
                                                      {"<", Op::Less},       {">", Op::Greater},
                                                      {"<=", Op::LessEqual}, {">=", Op::GreaterEqual}};
    for (const auto& [text, op] : kOps)
        if (isSymbol(text)) return op;
    return std::nullopt;
}

ExprPtr LineParser::comparison() {
    ExprPtr lhs = concat();
    const std::optional<Op> op = comparisonOp(); // one comparison: a = b = c is no expression
    if (!op) return lhs;
    take();
    ExprPtr e = chainOf(std::move(lhs), lineNo_);
    e->ops.push_back(*op);
    e->args.push_back(concat());
    return e;
}

ExprPtr LineParser::concat() {
    return chain(
        [this]() -> std::optional<Op> { return isSymbol("&") ? std::optional(Op::Concat) : std::nullopt; },
        [this] { return additive(); });
}

ExprPtr LineParser::additive() {
    return chain(
        [this]() -> std::optional<Op> {
            if (isSymbol("+")) return Op::Add;
            if (isSymbol("-")) return Op::Subtract;
            return std::nullopt;
        },
        [this] { return term(); });
}

ExprPtr LineParser::term() {
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

ExprPtr LineParser::unary() {
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

ExprPtr LineParser::primary() {
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

} // namespace qhost::syntax
