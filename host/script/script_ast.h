// The syntax tree of a qhost script: one statement a line, blocks for loops.
#pragma once

#include "automation/variant.h"
#include "backends/members.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qhost {

struct Command;

/// How deep expressions (parentheses, argument lists, signs and Not) and blocks may nest.
inline constexpr int kMaxNesting = 256;

enum class Op : std::uint8_t {
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    Concat,
    Add,
    Subtract,
    Multiply,
    Divide,
    IntegerDivide,
    Mod,
    Negate,
    Not
};
/// The operator as messages and echoes write it ("<>", "Mod", "-").
std::string_view opText(Op op);

/// The built-in constants and functions, and the open page's values.
enum class BuiltIn : std::uint8_t {
    None,
    True,
    False,
    Empty,
    Null,
    VbCr,
    VbLf,
    VbCrLf,
    VbTab,
    VbNullString,
    Time, // constants
    Array,
    TypeName,
    Chr,
    ChrW,
    CInt,
    CLng,
    CByte,
    CBool,
    CDbl,
    CStr,
    UBound,
    LBound,
    Len,
    Int,
    Fix,
    Abs,
    Min,
    Max,
    FileText, // functions
    PageOpen,
    PageCaption,
    PageListIndex,
    PageListText,
    PageSizeText,
    PageScroll,
    PagePreview,
    PagePreviewWidth,
    PagePreviewHeight,
    PageChanged, // the open page's values
    PictureWidth,
    PictureHeight,
    Pixel,
    PaintCount,
    ResizeCount,
    LayoutCount,
    ControlWidth,
    ControlHeight, // the current display as its container sees it
    // Text functions, typed arrays and the module's identity
    InStr,
    Left,
    Mid,
    Right,
    Replace,
    Split,
    Join,
    LCase,
    UCase,
    Hex,
    ArrayOf,
    ArrayOf2,
    ClassId,
    MemberName,
    FileVersion,
};

/// What a name stands for, decided when the script is read (the member tables never change):
/// members win over built-ins, built-ins over script variables. Every name has a variable slot,
/// so a loop variable or an out-parameter of any name has somewhere to live.
struct NameBinding {
    FoundMember get, method, put;
    BuiltIn builtIn = BuiltIn::None;
    std::uint32_t slot = 0; // the script variable of this name (Script::variables)
    bool isMember() const { return get || method || put; }
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

/// An expression. Its text is not copied: `begin` and `end` are offsets into the line of the
/// statement holding it (see exprText).
struct Expr {
    enum class Kind : std::uint8_t {
        Literal,  // a value written in the script
        Name,     // an identifier, with or without an argument list
        Unary,    // -x, Not x: ops[0] on args[0]
        Binary,   // a chain of one precedence, left to right: args[0] ops[0] args[1] ops[1] ...
        Duration, // 20ms: simulated seconds as a Double
    };
    Kind kind = Kind::Literal;
    bool hasArgumentList = false;
    bool byReference = false; // a bare script variable: a member called with it may write it
    int line = 0;
    std::uint32_t begin = 0, end = 0;
    seg4::Variant literal;
    std::string name; // Name: the identifier as written
    NameBinding binding;
    std::vector<Op> ops;
    std::vector<ExprPtr> args; // arguments, or the operands of the operators
};

/// The expression's text for echoes and messages: its source, with one blank around each
/// operator of a chain ("a + b" for "a+b").
std::string exprText(const Expr& e, std::string_view line);

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
        Command,      // a host command of the command table: word + arguments
        Repeat,       // repeat <count> ... end
        For,          // for v = a to b [step s] ... next
        During,       // during <duration> ... end: repeat the body until simulated time passes
        Elapse,       // elapse <duration>: simulated time passes with no call
        Clock,        // clock <Hz>: the host's clock, pushed to every display as ClockSpeed
        Echo,         // echo on | echo off: whether answers of calls and puts are printed
        // expect picture FILE.png: the current display against a stored picture, pixel for pixel
        ExpectPicture,
        If, // if c ... [elseif c ...] [else ...] end: values[i] guards branches[i]
    };
    Kind kind = Kind::Evaluate;
    int line = 0;
    std::string text;            // the whole source line, trimmed; the expressions' offsets point here
    ExprPtr target;              // Assign: the target; For: loop variable (Name)
    std::vector<ExprPtr> values; // operands (Assign: value; ExpectEqual: actual, expected; For: a, b, step)
    std::string word;            // Place/Use name, Command word, ExpectFails error text
    const Command* command = nullptr; // Command: its entry of the command table
    std::vector<std::string> words;   // Command arguments; ExpectPicture: the file
    StatementPtr inner;               // ExpectFails: the statement that must fail
    bool negate = false;              // expect no msgbox
    bool bare = false;                // place NAME bare: no new-display initialisation
    Block body;                       // loops
    std::vector<Block> branches;      // If: one per condition, then the else branch if written
};

struct Script {
    std::string fileName;
    Block statements;
    std::vector<std::string> variables; // lower-cased names, by slot
};

} // namespace qhost
