// The reader of value change dumps: the header's declarations, then the body's time steps and
// value changes, token by token with the line of each token kept for the errors.
#include "traces/value_change_trace.h"

#include <charconv>
#include <map>

namespace qhost {

namespace {

class Tokens {
public:
    Tokens(std::string_view text, const std::string& file, std::size_t at = 0, int line = 1)
        : text_(text), file_(file), at_(at), line_(line), tokenLine_(line) {}

    /// The next blank-separated word, or an empty view at the end of the text.
    std::string_view next() {
        while (at_ < text_.size() && isBlank(text_[at_])) {
            if (text_[at_] == '\n') ++line_;
            ++at_;
        }
        const std::size_t from = at_;
        while (at_ < text_.size() && !isBlank(text_[at_])) ++at_;
        tokenLine_ = line_;
        return text_.substr(from, at_ - from);
    }
    /// The words up to the section's $end, which must come.
    std::vector<std::string_view> section(std::string_view keyword) {
        const int opened = line_;
        std::vector<std::string_view> words;
        for (std::string_view w = next(); w != "$end"; w = next()) {
            // The next section's keyword, or the end of the text, before $end (a comment's text
            // may say anything).
            if (w.empty() || (keyword != "$comment" && isSectionKeyword(w)))
                throw TraceError(file_ + ":" + std::to_string(opened) + ": " + std::string(keyword) +
                                 " is never closed by $end");
            words.push_back(w);
        }
        return words;
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw TraceError(file_ + ":" + std::to_string(tokenLine_) + ": " + what);
    }
    int line() const { return tokenLine_; }
    std::size_t offset() const { return at_; }
    int lineNow() const { return line_; }

private:
    std::string_view text_;
    const std::string& file_;
    std::size_t at_;
    int line_, tokenLine_;
    static bool isSectionKeyword(std::string_view w) {
        for (std::string_view k : {"$date", "$version", "$timescale", "$scope", "$upscope", "$var",
                                   "$enddefinitions", "$dumpvars", "$dumpall", "$dumpon", "$dumpoff"})
            if (w == k) return true;
        return false;
    }
    static bool isBlank(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    }
};

/// "1 ns", "10us", "100 ps": the seconds of one step.
double timescaleSeconds(const std::vector<std::string_view>& words, const Tokens& tokens) {
    std::string text;
    for (std::string_view w : words) text += w;
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const std::string number = text.substr(0, digits), unit = text.substr(digits);
    static const std::map<std::string, double> kUnits{{"s", 1},     {"ms", 1e-3},  {"us", 1e-6},
                                                      {"ns", 1e-9}, {"ps", 1e-12}, {"fs", 1e-15}};
    const auto u = kUnits.find(unit);
    if ((number != "1" && number != "10" && number != "100") || u == kUnits.end())
        tokens.fail("$timescale '" + text + "' is not 1, 10 or 100 of s, ms, us, ns, ps or fs");
    return std::stod(number) * u->second;
}

/// The signal a $var declares: type, width, identifier code, name and an optional bit range.
using Codes = std::map<std::string, std::uint32_t, std::less<>>;

void declare(TraceHeader& trace, Codes& codes, const std::string& scope,
             const std::vector<std::string_view>& words, const Tokens& tokens) {
    if (words.size() < 4 || words.size() > 5)
        tokens.fail("$var needs a type, a width, an identifier code and a name");
    int width = 0;
    const auto [end, error] = std::from_chars(words[1].data(), words[1].data() + words[1].size(), width);
    if (error != std::errc() || end != words[1].data() + words[1].size() || width < 1)
        tokens.fail("$var width '" + std::string(words[1]) + "' is not a positive number");
    const auto [code, added] =
        codes.emplace(std::string(words[2]), static_cast<std::uint32_t>(trace.wireCodes.size()));
    if (added) trace.wireCodes.emplace_back(words[2]);
    trace.signals.push_back({scope, std::string(words[3]), width, code->second, tokens.line()});
}

/// One value change of the body: 0!, 1!, x!, z!, or b1010 !, r2.5 !, s... ! with a code after.
void valueChange(TraceBody& body, const Codes& codes, const std::vector<bool>& wanted, std::string_view word,
                 std::int64_t step, Tokens& tokens) {
    char value = 'v';
    std::string_view code;
    switch (word[0]) {
    case '0':
    case '1':
        value = word[0];
        code = word.substr(1);
        break;
    case 'x':
    case 'X':
    case 'z':
    case 'Z':
        value = 'x';
        code = word.substr(1);
        break;
    case 'b':
    case 'B':
        if (word.find_first_not_of("01xXzZ", 1) != std::string_view::npos || word.size() < 2)
            tokens.fail("'" + std::string(word) + "' is no binary value");
        code = tokens.next();
        // A vector with one bit is a scalar written another way.
        if (word.size() == 2) value = word[1] == '0' || word[1] == '1' ? word[1] : 'x';
        break;
    case 'r':
    case 'R':
    case 's':
    case 'S': code = tokens.next(); break;
    default: tokens.fail("'" + std::string(word) + "' is neither a time (#...) nor a value change");
    }
    const auto wire = codes.find(code);
    if (wire == codes.end())
        tokens.fail("a value change for the undeclared identifier code '" + std::string(code) + "'");
    if (wanted[wire->second]) body.changes.push_back({step, wire->second, value});
}

} // namespace

TraceHeader parseTraceHeader(std::string_view text, const std::string& file) {
    TraceHeader trace;
    trace.file = file;
    Tokens tokens(text, file);
    Codes codes;
    std::vector<std::string> scopes;
    bool timescaleSeen = false;

    for (std::string_view w = tokens.next();; w = tokens.next()) {
        if (w.empty()) tokens.fail("the header ends without $enddefinitions");
        if (w == "$enddefinitions") {
            tokens.section(w);
            break;
        }
        if (w[0] != '$') tokens.fail("'" + std::string(w) + "' in the header is no $keyword");
        const std::vector<std::string_view> words = tokens.section(w);
        if (w == "$timescale") {
            trace.secondsPerStep = timescaleSeconds(words, tokens);
            timescaleSeen = true;
        } else if (w == "$scope") {
            if (words.size() != 2) tokens.fail("$scope needs a type and a name");
            scopes.emplace_back(words[1]);
        } else if (w == "$upscope") {
            if (scopes.empty()) tokens.fail("$upscope without an open $scope");
            scopes.pop_back();
        } else if (w == "$var") {
            std::string scope;
            for (const std::string& s : scopes) scope += (scope.empty() ? "" : ".") + s;
            declare(trace, codes, scope, words, tokens);
        }
        // $date, $version, $comment and the attributes some writers add carry nothing to replay.
    }
    if (!timescaleSeen) tokens.fail("the header has no $timescale");
    if (trace.signals.empty()) tokens.fail("the header declares no $var");
    trace.bodyOffset = tokens.offset();
    trace.bodyLine = tokens.lineNow();
    return trace;
}

TraceBody parseTraceBody(std::string_view text, const TraceHeader& header, const std::vector<bool>& wanted) {
    Tokens tokens(text, header.file, header.bodyOffset, header.bodyLine);
    Codes codes;
    for (std::size_t i = 0; i < header.wireCodes.size(); ++i)
        codes.emplace(header.wireCodes[i], static_cast<std::uint32_t>(i));
    TraceBody body;
    // Values before the first time are the initial ones, at the first time.
    std::int64_t step = 0;
    bool timed = false;
    std::size_t untimed = 0;
    for (std::string_view w = tokens.next(); !w.empty(); w = tokens.next()) {
        if (w[0] == '#') {
            std::int64_t t = -1;
            const auto [end, error] = std::from_chars(w.data() + 1, w.data() + w.size(), t);
            if (error != std::errc() || end != w.data() + w.size() || t < 0)
                tokens.fail("'" + std::string(w) + "' is no time (# and a count of steps)");
            if (timed && t < step)
                tokens.fail("time goes backwards: " + std::string(w) + " after #" + std::to_string(step));
            if (!timed) {
                body.firstStep = t;
                for (std::size_t i = 0; i < untimed; ++i) body.changes[i].step = t;
            }
            step = t;
            timed = true;
        } else if (w == "$comment") {
            tokens.section(w);
        } else if (w == "$dumpvars" || w == "$dumpall" || w == "$dumpon" || w == "$dumpoff" || w == "$end") {
            // The values inside these sections are changes like any other; $dumpoff's x values
            // say that nothing is known, which a pin reads as not driven.
        } else {
            valueChange(body, codes, wanted, w, step, tokens);
            if (!timed) untimed = body.changes.size();
        }
    }
    if (!timed) tokens.fail("the trace names no time (#...)");
    body.lastStep = step;
    return body;
}

} // namespace qhost
