// The script language: what each line becomes, and the faults reported with their lines.
#include "script/script_parser.h"

#include <gtest/gtest.h>

namespace qhost {
namespace {

using Kind = Statement::Kind;

TEST(ScriptParser, EachLineBecomesItsStatement) {
    struct Row {
        const char* line;
        Kind kind;
    };
    const Row rows[] = {
        {"place", Kind::Place},
        {"place left", Kind::Place},
        {"use left", Kind::Use},
        {"PinName(0)", Kind::Evaluate},
        {"ConnectedOK", Kind::Evaluate},
        {"Port(3) = 1", Kind::Assign},
        {"QuorvaneVersion = 1027", Kind::Assign},
        {"x = \"a\" & vbCrLf", Kind::Assign},
        {"expect PinName(0) == \"Anode 3\"", Kind::ExpectEqual},
        {"expect PinName(0) <> \"Anode 3\"", Kind::ExpectEqual},
        {"expect QuorvaneVersion = 8388608 fails overflow", Kind::ExpectFails},
        {"expect MacroNames fails 0x800A0009", Kind::ExpectFails},
        {"expect msgbox \"Can't find ARM_7seg4 help file\"", Kind::ExpectMsgBox},
        {"expect no msgbox", Kind::ExpectMsgBox},
        {"print TypeName(GeneralGet(0))", Kind::Print},
        {"snapshot out/display one.png", Kind::Command},
        {"save \"out/my doc.json\"", Kind::Command},
        {"elapse 2.5ms", Kind::Elapse},
        {"clock 8000000", Kind::Clock},
        {"place raw bare", Kind::Place},
        {"expect picture \"out/lit digit.png\"", Kind::ExpectPicture},
        {"EXPECT Picture fixtures/lit.png", Kind::ExpectPicture},
        {"expect picture = 3", Kind::ExpectEqual}, // a variable named picture
        {"expect pictures(1) == 3", Kind::ExpectEqual},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        ParseResult p = parseScript(r.line, "t.qhs");
        ASSERT_TRUE(p.errors.empty()) << p.errors[0].message;
        ASSERT_EQ(p.script.statements.size(), 1u);
        EXPECT_EQ(p.script.statements[0]->kind, r.kind);
    }
}

TEST(ScriptParser, LiteralsKeepTheirAutomationTypes) {
    struct Row {
        const char* text;
        seg4::VarType type;
    };
    const Row rows[] = {{"12", seg4::VarType::I4},        {"12%", seg4::VarType::I2},
                        {"12&", seg4::VarType::I4},       {"1.5", seg4::VarType::R8},
                        {"1.5!", seg4::VarType::R4},      {"3000000000", seg4::VarType::R8},
                        {"&HFFFF", seg4::VarType::I2},    {"&H10000", seg4::VarType::I4},
                        {"\"a\"", seg4::VarType::String}, {"2@", seg4::VarType::Currency}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        std::vector<ScriptError> errors;
        ExprPtr e = parseExpression(r.text, errors);
        ASSERT_TRUE(e) << errors[0].message;
        EXPECT_EQ(e->literal.type(), r.type);
    }
    std::vector<ScriptError> errors;
    EXPECT_EQ(parseExpression("&HFFFF", errors)->literal.asSigned(), -1);
    EXPECT_EQ(parseExpression("\"say \"\"hi\"\"\"", errors)->literal.asString(), u"say \"hi\"");
    EXPECT_DOUBLE_EQ(parseExpression("250us", errors)->literal.asDouble(), 250e-6);
}

TEST(ScriptParser, IfBranchesHoldTheirOwnLinesAndTheOneLineFormItsStatement) {
    ParseResult p = parseScript("if a then\n  print 1\n  print 2\nelseif b\nelse\n  print 3\nend if\n"
                                "if a = \"x then y\" then snapshot out/a b.png\n",
                                "t.qhs");
    ASSERT_TRUE(p.errors.empty()) << p.errors[0].message;
    ASSERT_EQ(p.script.statements.size(), 2u);
    const Statement& block = *p.script.statements[0];
    EXPECT_EQ(block.kind, Kind::If);
    EXPECT_EQ(block.values.size(), 2u);
    ASSERT_EQ(block.branches.size(), 3u);
    EXPECT_EQ(block.branches[0].size(), 2u);
    EXPECT_EQ(block.branches[1].size(), 0u);
    EXPECT_EQ(block.branches[2].size(), 1u);
    const Statement& line = *p.script.statements[1];
    ASSERT_EQ(line.branches.size(), 1u);
    ASSERT_EQ(line.branches[0].size(), 1u);
    EXPECT_EQ(line.branches[0][0]->kind, Kind::Command);
    EXPECT_EQ(line.branches[0][0]->words, (std::vector<std::string>{"out/a", "b.png"}));
}

TEST(ScriptParser, BlocksNestAndCloseWithTheirOwnWord) {
    ParseResult p = parseScript("for i = 0 to 3\n  repeat 2\n    Refresh\n  end\nnext i\n", "t.qhs");
    ASSERT_TRUE(p.errors.empty());
    ASSERT_EQ(p.script.statements.size(), 1u);
    const Statement& f = *p.script.statements[0];
    EXPECT_EQ(f.kind, Kind::For);
    ASSERT_EQ(f.body.size(), 1u);
    EXPECT_EQ(f.body[0]->kind, Kind::Repeat);
    EXPECT_EQ(f.body[0]->body.size(), 1u);
}

TEST(ScriptParser, FaultsNameTheirLines) {
    struct Row {
        const char* script;
        int line;
        const char* fragment;
    };
    const Row rows[] = {
        {"place\nPinName(0\n", 2, "expected ')'"},
        {"x = \"open\n", 1, "unterminated string"},
        {"\n\nprint 12%%\n", 3, "unexpected"},
        {"repeat 3\nRefresh\n", 1, "never closed"},
        {"end\n", 1, "without a block"},
        {"for i = 1 to 2\nend\n", 2, "ends with 'next'"},
        {"elapse 5 parsecs\n", 1, "unexpected"},
        {"x = 5xs\n", 1, "unknown unit"},
        {"expect 1 = 1 2\n", 1, "expected '=='"},
        {"use\n", 1, "needs the name"},
        {"a = 40000%\n", 1, "out of range"},
        {"a = 1e300@\n", 1, "out of range"},
        {"a = 1e39!\n", 1, "out of range"},
        // Blocks of 'if': branches only inside an open 'if', 'else' last, closed with 'end'.
        {"x = 1\nif x = 1\n  print 1\n", 2, "never closed"},
        {"if 1\nelse\nelseif 2\nend\n", 3, "'elseif' after the 'else' of the 'if' on line 1"},
        {"if 1\nelse\nelse\nend\n", 3, "'else' after the 'else'"},
        {"repeat 2\nelse\nend\n", 2, "'else' without an open 'if'"},
        {"else\n", 1, "'else' without an open 'if'"},
        {"if 1\nnext\n", 2, "ends with 'end'"},
        {"repeat 2\nend if\n", 2, "unexpected 'if'"},
        {"if 1 then repeat 2\n", 1, "one simple statement"},
        {"if 1 then end\n", 1, "'end' cannot follow 'then'"},
        {"if 1 2\nend\n", 1, "unexpected '2'"},
        {"if 1\nelseif\nend\n", 2, "expected a value"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.script);
        ParseResult p = parseScript(r.script, "t.qhs");
        ASSERT_FALSE(p.errors.empty());
        EXPECT_EQ(p.errors[0].line, r.line);
        EXPECT_NE(p.errors[0].message.find(r.fragment), std::string::npos) << p.errors[0].message;
    }
}

std::string repeated(const std::string& part, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += part;
    return s;
}

TEST(ScriptParser, ExpressionsAndBlocksNestAtMost256LevelsAndLongLinesStayFlat) {
    struct Row {
        std::string script;
        const char* fault; // nullptr: the script parses
        int line = 1;
    };
    const auto parens = [](int depth) {
        return "x = " + repeated("(", depth) + "1" + repeated(")", depth) + "\n";
    };
    const auto blocks = [](int depth) { return repeated("repeat 1\n", depth) + repeated("end\n", depth); };
    const Row rows[] = {
        {parens(256), nullptr},
        {parens(257), "nests more than 256 levels"},
        {parens(10000), "nests more than 256 levels"},
        {"x = " + repeated("Not ", 10000) + "True\n", "nests more than 256 levels"},
        {"x = " + repeated("-", 10000) + "1\n", "nests more than 256 levels"},
        {"x = " + repeated("CInt(", 300) + "1" + repeated(")", 300) + "\n", "nests more than 256 levels"},
        {blocks(256), nullptr},
        {blocks(300), "blocks nest more than 256 levels", 257},
        // Operators of one precedence are a chain, not a nesting: a 60 KB sum is one line.
        {"x = 1" + repeated(" + 1", 15000) + "\n", nullptr},
        {"x = \"a\"" + repeated(" & x * 2 - 1", 10000) + "\n", nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.script.substr(0, 40));
        ParseResult p = parseScript(r.script, "t.qhs");
        if (!r.fault) {
            EXPECT_TRUE(p.errors.empty()) << p.errors[0].message;
            continue;
        }
        ASSERT_FALSE(p.errors.empty());
        EXPECT_EQ(p.errors[0].line, r.line);
        EXPECT_NE(p.errors[0].message.find(r.fault), std::string::npos) << p.errors[0].message;
    }
}

TEST(ScriptParser, CommentsAndBlankLinesAreSkippedButHashesInStringsStay) {
    ParseResult p = parseScript("# heading\n\n   \nx = \"#1\" # note\n", "t.qhs");
    ASSERT_TRUE(p.errors.empty());
    ASSERT_EQ(p.script.statements.size(), 1u);
    EXPECT_EQ(p.script.statements[0]->values[0]->literal.asString(), u"#1");
}

} // namespace
} // namespace qhost
