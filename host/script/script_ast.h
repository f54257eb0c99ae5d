// The syntax tree of a qhost script: one statement a line, blocks for loops.
#pragma once

#include "automation/variant.h"

#include <memory>
#include <string>
#include <vector>

namespace qhost {

struct Command;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

/// An expression. Names are resolved when the script runs: a member of the display, a built-in
/// function, or a script variable — members win.
struct Expr {
    enum class Kind {
        Literal,  // a value written in the script
        Name,     // an identifier, with or without an argument list
        Unary,    // -x, Not x
        Binary,   // x & y, x + y, x = y, ...
        Duration, // 20ms: simulated seconds as a Double
    };
    Kind kind = Kind::Literal;
    seg4::Variant literal;
    std::string name; // identifier, or the operator for Unary/Binary
    bool hasArgumentList = false;
    std::vector<ExprPtr> args; // arguments, or the operands of an operator
    std::string text;          // the source text, for echoes and messages
    int line = 0;
};

struct Statement;
using StatementPtr = std::unique_ptr<Statement>;
using Block = std::vector<StatementPtr>;

struct Statement {
    enum class Kind {
        Evaluate,     // a call or a property read; the answer is printed
        Assign,       // target = value: a property put, or a script variable
        Place,        // place [NAME]
        Use,          // use NAME
        ExpectEqual,  // expect <expr> == <expr>, or expect <condition>
        ExpectFails,  // expect <statement> fails <error>
        ExpectMsgBox, // expect msgbox "text" | expect no msgbox
        Print,        // print <expr>
        Command,      // snapshot, save, load, codegen, eye, animate, scan: word + arguments
        Repeat,       // repeat <count> ... end
        For,          // for v = a to b [step s] ... next
        During,       // during <duration> ... end: repeat the body until simulated time passes
        Elapse,       // elapse <duration>: simulated time passes with no call
        Clock,        // clock <Hz>: the host's clock, pushed to every display as ClockSpeed
        Echo,         // echo on | echo off: whether answers of calls and puts are printed
    };
    Kind kind = Kind::Evaluate;
    int line = 0;
    std::string text;            // the whole source line, trimmed
    ExprPtr target;              // Assign: the target; For: loop variable (Name)
    std::vector<ExprPtr> values; // operands (Assign: value; ExpectEqual: actual, expected; For: a, b, step)
    std::string word;            // Place/Use name, Command word, ExpectFails error text
    const Command* command = nullptr; // Command: the entry of the command table
    std::vector<std::string> words;   // Command arguments
    StatementPtr inner;               // ExpectFails: the statement that must fail
    bool negate = false;              // expect no msgbox
    Block body;                       // loops
};

struct Script {
    std::string fileName;
    Block statements;
};

} // namespace qhost
