// The statement builder of the qhost script language: lines into statements and blocks (the
// tokens and expressions of one line come from line_parser).
//
// The language is line based: one statement a line, '#' starts a comment. Values use the
// automation's literal style (12 Long, 12% Integer, 1.5 Double, "a ""b""" String, True, Empty,
// Null, &HFF), durations of simulated time are written 20ms, 1s, 250us.
#include "script/script_parser.h"

#include "automation/conversions.h"
#include "script/commands.h"
#include "script/line_parser.h"
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

using namespace syntax;

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
            LineParser p(text, tokenize(text), lineNo, names_);
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
        LineParser p(condition, tokenize(condition), lineNo, names_);
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
        LineParser p(text, tokenize(text), lineNo, names_);
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
        LineParser ip(inner, tokenize(inner), lineNo, names_);
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
        LineParser p(text, tokenize(text), 0, names);
        ExprPtr e = p.expression();
        p.expectEnd();
        return e;
    } catch (const SyntaxError& e) {
        errors.push_back({0, e.what()});
        return nullptr;
    }
}

} // namespace qhost
