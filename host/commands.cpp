// Dispatch of the host commands.
#include "commands.h"

#include "automation/conversions.h"
#include "codegen/program.h"
#include "documents.h"
#include "interpreter.h"
#include "page.h"
#include "value_format.h"

#include <filesystem>
#include <fstream>

namespace qhost {

void writeFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path p(path);
    std::error_code ec;
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (!out) throw CommandError("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw CommandError("cannot write " + path);
}

namespace {

/// The code members of the current display, read through its interface as a host reads them.
class DisplayCode : public seg4::CodeMembers {
public:
    DisplayCode(Interpreter& in, int line) : in_(in), line_(line) {}
    std::u16string definesCode() override { return text("DefinesCode", {}); }
    std::u16string initialisationCode() override { return text("InitialisationCode", {}); }
    std::u16string interruptCode() override { return text("InterruptCode", {}); }
    seg4::Variant macroNames() override { return in_.call("MacroNames", {}, line_); }
    std::u16string macroCode(std::int32_t id) override { return text("MacroCode", {seg4::Variant::i4(id)}); }
    void macroCodeOverride(std::u16string& code) override {
        seg4::Variant value = seg4::Variant::string(code);
        in_.callByReference("MacroCodeOverride", {&value}, line_);
        code = seg4::toString(value);
    }

private:
    Interpreter& in_;
    int line_;
    std::u16string text(const char* member, std::vector<seg4::Variant> args) {
        return seg4::toString(in_.call(member, std::move(args), line_));
    }
};

void needArgs(const std::string& word, const std::vector<std::string>& args, std::size_t min, std::size_t max,
              const char* usage) {
    if (args.size() < min || args.size() > max) throw CommandError("usage: " + word + " " + usage);
}

void history(Interpreter& in, int line) {
    const PlacedDisplay& d = in.current(line);
    for (const PinSample& s : d.history) {
        std::string levels;
        for (bool b : s.levels) levels += b ? '1' : '0';
        char t[32];
        std::snprintf(t, sizeof t, "%.9f", s.time);
        in.out() << "history " << d.name << " " << t << " s: " << levels << "\n";
    }
}

} // namespace

void runCommand(Interpreter& in, const std::string& word, const std::vector<std::string>& args, int line) {
    if (word == "save") {
        needArgs(word, args, 1, 1, "FILE.json");
        saveDocument(in, args[0]);
        in.out() << "saved " << in.displays().size() << " display(s) to " << args[0] << "\n";
    } else if (word == "load") {
        needArgs(word, args, 1, 1, "FILE.json");
        loadDocument(in, args[0]);
        in.out() << "loaded " << args[0] << "\n";
    } else if (word == "codegen") {
        needArgs(word, args, 1, 1, "FILE.c");
        DisplayCode members(in, line);
        const std::u16string program = seg4::assembleProgram(members);
        writeFile(args[0], seg4::toUtf8(program));
        in.out() << "wrote the generated program to " << args[0] << "\n";
    } else if (word == "snapshot") {
        needArgs(word, args, 1, 1, "FILE.png");
        writeSnapshot(in.current(line).display->render(), args[0]);
        in.out() << "wrote " << args[0] << "\n";
    } else if (word == "remove") {
        needArgs(word, args, 0, 1, "[NAME]");
        const std::string name = in.removeDisplay(args.empty() ? std::string() : args[0], line);
        in.out() << "removed " << name << "\n";
    } else if (word == "page") {
        runPageCommand(in, args, line);
    } else if (word == "history") {
        needArgs(word, args, 0, 0, "");
        history(in, line);
    } else {
        runViewCommand(in, word, args, line);
    }
    in.out().flush();
}

} // namespace qhost
