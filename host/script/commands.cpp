// The host commands and their table.
#include "script/commands.h"
#include "script/combo_commands.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "backends/members.h"
#include "codegen/program.h"
#include "script/container_checks.h"
#include "script/interpreter.h"
#include "script/page_commands.h"
#include "script/script_parser.h"
#include "script/trace_commands.h"
#include "views/documents.h"
#include "views/eye.h"
#include "views/output_files.h"
#include "views/scan.h"
#include "views/value_change_dump.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace qhost {

namespace {

/// The code members of the current display, read through its interface as a host reads them. A
/// member that fails stops the command before anything is written: a program without one of its
/// parts would compile to something the user never asked for.
class DisplayCode : public seg4::CodeMembers {
public:
    DisplayCode(Interpreter& in, int line) : in_(in), line_(line) {}
    std::u16string definesCode() override { return text("DefinesCode", {}); }
    std::u16string initialisationCode() override { return text("InitialisationCode", {}); }
    std::u16string interruptCode() override { return text("InterruptCode", {}); }
    seg4::Variant macroNames() override {
        return guarded("MacroNames", [&] { return in_.call("MacroNames", {}, line_); });
    }
    std::u16string macroCode(std::int32_t id) override { return text("MacroCode", {seg4::Variant::i4(id)}); }
    void macroCodeOverride(std::u16string& code) override {
        seg4::Variant value = seg4::Variant::string(code);
        guarded("MacroCodeOverride",
                [&] { return in_.callByReference("MacroCodeOverride", {&value}, line_); });
        code = seg4::toString(value);
    }

private:
    Interpreter& in_;
    int line_;
    std::u16string text(const char* member, std::vector<seg4::Variant> args) {
        return seg4::toString(guarded(member, [&] { return in_.call(member, std::move(args), line_); }));
    }
    template <class Call>
    seg4::Variant guarded(const char* member, Call call) {
        try {
            return call();
        } catch (const seg4::ComError& e) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code()));
            throw CommandError(std::string("codegen: ") + member + " failed with " + code + " " +
                               seg4::toUtf8(e.description()) + "; nothing was written");
        }
    }
};

/// A duration written as the script writes one (20ms); `fallback` when the word is not there.
double durationArgument(const CommandArgs& args, std::size_t i, double fallback) {
    if (i >= args.size()) return fallback;
    std::vector<ScriptError> errors;
    ExprPtr e = parseExpression(args[i], errors);
    if (!e || !errors.empty()) throw CommandError("'" + args[i] + "' is no duration (write e.g. 20ms)");
    const double v = seg4::toDouble(e->literal);
    if (!(v > 0) || !std::isfinite(v)) throw CommandError("a duration must be positive: " + args[i]);
    return v;
}

void snapshot(Interpreter& in, const CommandArgs& args, int line) {
    writeSnapshot(in.current(line).display->render(), args[0]);
    in.out() << "wrote " << args[0] << "\n";
}

void eye(Interpreter& in, const CommandArgs& args, int line) {
    PlacedDisplay& d = in.current(line);
    const double window = durationArgument(args, 1, kEyeWindow);
    writeSnapshot(eyeView(*d.display, d.history, in.now(), window), args[0]);
    in.out() << "wrote " << args[0] << " (what an eye sees over " << millis(window) << ")\n";
}

void animate(Interpreter& in, const CommandArgs& args, int line) {
    PlacedDisplay& d = in.current(line);
    const double step = durationArgument(args, 1, 0.040);
    const double window = durationArgument(args, 2, kEyeWindow);
    // An animated PNG holds each frame's delay in milliseconds as a 16-bit count.
    if (step > 65.535)
        throw CommandError("animate: a frame time above 65.535 s does not fit an animated PNG");
    const std::vector<Picture> frames = eyeAnimation(*d.display, d.history, in.now(), step, window);
    writeFile(args[0], animatedPng(frames, static_cast<int>(std::lround(step * 1000))));
    in.out() << "wrote " << args[0] << " (" << frames.size() << " frames, one every " << millis(step)
             << ")\n";
}

void scan(Interpreter& in, const CommandArgs& args, int line) {
    PlacedDisplay& d = in.current(line);
    std::ostringstream report;
    scanReport(d.name, d.history, in.now(), report);
    in.out() << report.str();
    if (!args.empty()) writeFile(args[0], report.str());
}

void history(Interpreter& in, const CommandArgs&, int line) {
    const PlacedDisplay& d = in.current(line);
    for (const PinSample& s : d.history) {
        std::string levels;
        for (bool b : s.levels) levels += b ? '1' : '0';
        char t[32];
        std::snprintf(t, sizeof t, "%.9f", s.time);
        in.out() << "history " << d.name << " " << t << " s: " << levels << "\n";
    }
}

/// The pin histories of the displays named after the file (all of them when none is named) as a
/// value change dump, each pin's wire named as the display names the pin.
void vcd(Interpreter& in, const CommandArgs& args, int line) {
    in.current(line); // no display placed: the script's fault
    std::vector<PlacedDisplay*> chosen;
    for (PlacedDisplay& d : in.displays())
        if (args.size() == 1) chosen.push_back(&d);
    for (std::size_t i = 1; i < args.size(); ++i) {
        auto& displays = in.displays();
        const auto it = std::find_if(displays.begin(), displays.end(),
                                     [&](const PlacedDisplay& d) { return sameName(d.name, args[i]); });
        if (it == displays.end()) throw CommandError("no display named '" + args[i] + "'");
        chosen.push_back(&*it);
    }
    const FoundMember pinName = findMember("PinName", seg4::MemberKind::Get);
    if (!pinName) throw CommandError("the displays have no PinName to name their pins by");
    std::vector<DumpedDisplay> dumped;
    for (PlacedDisplay* d : chosen) {
        DumpedDisplay& out = dumped.emplace_back(DumpedDisplay{d->name, {}, &d->history});
        for (std::size_t pin = 0; pin < out.pinNames.size(); ++pin) {
            seg4::Variant index = seg4::Variant::i4(static_cast<std::int32_t>(pin));
            std::vector<seg4::Variant*> pinArgs{&index};
            out.pinNames[pin] =
                seg4::toUtf8(seg4::toString(d->display->invoke(pinName.host, *pinName.info, pinArgs)));
        }
    }
    const DumpTimescale step = dumpTimescale(in.clockHz());
    writeFile(args[0], valueChangeDump(dumped, in.now(), step));
    in.out() << "wrote " << args[0] << " (" << dumped.size() << " display(s), time in steps of " << step.text
             << ")\n";
}

void codegen(Interpreter& in, const CommandArgs& args, int line) {
    DisplayCode members(in, line);
    const std::u16string program = seg4::assembleProgram(members);
    writeFile(args[0], seg4::toUtf8(program));
    in.out() << "wrote the generated program to " << args[0] << "\n";
}

void save(Interpreter& in, const CommandArgs& args, int) {
    std::vector<DocumentDisplay> displays;
    for (PlacedDisplay& d : in.displays()) {
        DocumentDisplay out;
        out.name = d.name;
        d.display->writeProperties(out.bag);
        displays.push_back(std::move(out));
    }
    writeFile(args[0], documentToJson(displays));
    in.out() << "saved " << in.displays().size() << " display(s) to " << args[0] << "\n";
}

void load(Interpreter& in, const CommandArgs& args, int) {
    const std::string& path = args[0];
    std::vector<std::string> warnings;
    std::vector<DocumentDisplay> displays;
    const std::string text = readFile(path);
    try {
        displays = documentFromJson(text, warnings);
    } catch (const std::runtime_error& e) {
        throw CommandError(path + ": " + e.what());
    }
    // A name is one name whatever its letter case, as 'place' and 'use' take it; a display the
    // script could not name is refused with the rest, before any display is made.
    for (std::size_t i = 0; i < displays.size(); ++i) {
        const std::string& name = displays[i].name;
        if (name.empty()) throw CommandError(path + ": a display without a name");
        for (const auto& placed : in.displays())
            if (sameName(placed.name, name))
                throw CommandError(path + ": a display named '" + name + "' is placed already");
        for (std::size_t j = 0; j < i; ++j)
            if (sameName(displays[j].name, name))
                throw CommandError(path + ": the document names the display '" + name + "' twice");
    }
    for (const std::string& w : warnings) in.out() << "warning: " << w << "\n";

    // Each display loads on its own: a bad entry is reported with its display and key, and the
    // other displays load all the same.
    for (auto& d : displays) {
        std::unique_ptr<Display> display = in.backendCreate();
        try {
            display->readProperties(d.bag);
        } catch (const seg4::ComError& e) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code()));
            in.out() << "error: display \"" << d.name << "\", key \"" << seg4::toUtf8(d.bag.lastRead)
                     << "\": " << code << " " << seg4::toUtf8(e.description()) << "\n";
        }
        in.adopt(d.name, std::move(display));
    }
    in.out() << "loaded " << path << "\n";
}

void remove(Interpreter& in, const CommandArgs& args, int line) {
    const std::string name = in.removeDisplay(args.empty() ? std::string() : args[0], line);
    in.out() << "removed " << name << "\n";
}

void help(Interpreter& in, const CommandArgs&, int) { writeHelp(in.out()); }

bool always(const CommandArgs&) { return true; }
bool never(const CommandArgs&) { return false; }
bool givenAFile(const CommandArgs& args) { return !args.empty(); }

const Command kCommands[] = {
    {"snapshot", "FILE.png", "the current display as the panel shows it now", 1, 1, always, snapshot},
    {"eye", "FILE.png [WINDOW]",
     "each segment at the brightness of its lit share over the last WINDOW (default 20 ms)", 1, 2, always,
     eye},
    {"animate", "FILE.png [FRAME-TIME] [WINDOW]",
     "an animated PNG of the run, one eye view every FRAME-TIME (default 40 ms)", 1, 3, always, animate},
    {"scan", "[FILE]", "per digit the refresh rate and duty, with warnings for flicker, overlap and ghosting",
     0, 1, givenAFile, scan},
    {"history", "", "every change of the pin levels with its time", 0, 0, never, history},
    {"vcd", "FILE.vcd [NAME...]",
     "the pin history of every display (or of those named) as a value change dump for waveform viewers", 1,
     kAnyNumber, always, vcd},
    {"codegen", "FILE.c", "the whole generated program for the current wiring", 1, 1, always, codegen},
    {"save", "FILE.json", "every placed display's stored settings as a readable document", 1, 1, always,
     save},
    {"load", "FILE.json", "the displays of a saved document, loaded as a container loads them", 1, 1, always,
     load},
    {"remove", "[NAME]", "takes a display (the current one) off the panel", 0, 1, never, remove},
    {"page", "ACTION [ARGUMENTS]", "drives the property page: open, show, pick, scroll, type, apply, ok, ...",
     0, kAnyNumber, pageCommandTouchesFiles, runPageCommand},
    {"help", "", "lists these commands", 0, 0, never, help},
    // Driving a display from a recorded trace or an emulated board.
    {"replay", "FILE.vcd [--map SIGNAL=PIN,...]",
     "drives the current display's pins from a recorded value change dump, on the trace's time", 1,
     kAnyNumber, always, replayTrace},
    {"firmware", "FILE.elf [--until TIME]",
     "runs a target program under qemu-system-arm and drives the placed displays from its port latches", 1, 3,
     always, runFirmwareOnDisplays},
    // the container's side of the current display (container_checks.cpp)
    {"resize", "W H", "the container gives the display W x H pixels (a size not its own raises Resize)", 2, 2,
     never, resizeCommand},
    {"paint", "", "the container raises the display's Paint alone", 0, 0, never, paintCommand},
    {"twips", "N", "the screen has N twips per pixel from now on (15 at 96 dpi)", 1, 1, never, twipsCommand},
    // the property page's colour list as a combo control
    {"combo", "ACTION [ARGUMENTS]", "drives the page's colour list: show, add, find, index", 0, kAnyNumber,
     never, runComboCommand},
};

} // namespace

std::span<const Command> commandTable() { return kCommands; }

const Command* findCommand(std::string_view word) {
    for (const Command& c : kCommands)
        if (sameName(c.word, word)) return &c;
    return nullptr;
}

void writeHelp(std::ostream& out) {
    out << "commands (besides calls, assignments, place, use, expect, print, loops, elapse, clock, echo):\n";
    for (const Command& c : kCommands) {
        std::string form(c.word);
        if (!c.arguments.empty()) form += " " + std::string(c.arguments);
        out << "  " << std::left << std::setw(40) << form << " " << c.summary << "\n";
    }
}

void runCommand(Interpreter& in, const Command& command, const CommandArgs& args, int line) {
    if (args.size() < command.minArgs || args.size() > command.maxArgs) {
        std::string usage = "usage: " + std::string(command.word);
        if (!command.arguments.empty()) usage += " " + std::string(command.arguments);
        throw CommandError(usage);
    }
    try {
        command.run(in, args, line);
    } catch (const OutputError& e) {
        throw CommandError(e.what());
    }
    in.out().flush();
}

} // namespace qhost
