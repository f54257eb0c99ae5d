// Replaying a recorded trace onto the current display: the whole trace is read and mapped
// before the display sees its first level, so that a bad trace changes nothing.
#include "script/trace_commands.h"

#include "automation/conversions.h"
#include "backends/members.h"
#include "files/bounded_read.h"
#include "script/interpreter.h"
#include "script/script_parser.h"
#include "traces/firmware_run.h"
#include "traces/pin_mapping.h"
#include "views/scan.h"

namespace qhost {

namespace {

std::array<std::string, kTracePins> pinNamesOf(Display& display) {
    const FoundMember pinName = findMember("PinName", seg4::MemberKind::Get);
    if (!pinName) throw CommandError("the display has no PinName to name its pins by");
    std::array<std::string, kTracePins> names;
    for (std::size_t pin = 0; pin < names.size(); ++pin) {
        seg4::Variant index = seg4::Variant::i4(static_cast<std::int32_t>(pin));
        std::vector<seg4::Variant*> args{&index};
        names[pin] = seg4::toUtf8(seg4::toString(display.invoke(pinName.host, *pinName.info, args)));
    }
    return names;
}

/// A pin's place on the firmware's ports as the display records it; port -1 when not wired.
struct PortBit {
    int port = -1, bit = -1;
};

std::array<PortBit, kTracePins> wiringOf(Display& display) {
    const FoundMember port = findMember("Port", seg4::MemberKind::Get),
                      bit = findMember("Bit", seg4::MemberKind::Get);
    if (!port || !bit) throw CommandError("the display has no Port and Bit to say how it is wired");
    std::array<PortBit, kTracePins> wiring;
    for (std::size_t pin = 0; pin < kTracePins; ++pin) {
        seg4::Variant index = seg4::Variant::i4(static_cast<std::int32_t>(pin));
        std::vector<seg4::Variant*> args{&index};
        const std::int32_t p = seg4::toLong(display.invoke(port.host, *port.info, args));
        const std::int32_t b = seg4::toLong(display.invoke(bit.host, *bit.info, args));
        if (p >= 0 && p < static_cast<std::int32_t>(kFirmwarePorts) && b >= 0 && b < 32) wiring[pin] = {p, b};
    }
    return wiring;
}

double untilArgument(const CommandArgs& args) {
    double until = 0.1;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        if (args[i] != "--until" || i + 1 == args.size())
            throw CommandError("usage: firmware FILE.elf [--until TIME]");
        std::vector<ScriptError> errors;
        ExprPtr e = parseExpression(args[i + 1], errors);
        until = e && errors.empty() ? seg4::toDouble(e->literal) : -1;
        if (!(until > 0) || until > 3600)
            throw CommandError("firmware: --until needs a duration up to an hour (write e.g. 100ms): " +
                               args[i + 1]);
    }
    return until;
}

} // namespace

void playSteps(Interpreter& in, const std::vector<ReplayStep>& steps, double end, int line) {
    PlacedDisplay& d = in.current(line);
    const double start = in.now();
    Levels levels = d.display->pinLevels();
    for (const ReplayStep& step : steps) {
        if (start + step.seconds > in.now()) in.elapse(start + step.seconds - in.now());
        std::vector<seg4::Variant> elements;
        for (std::size_t p = 0; p < kTracePins; ++p) {
            if (step.levels[p] != 'x') levels[p] = step.levels[p] == '1';
            elements.push_back(seg4::Variant::boolean(levels[p]));
        }
        in.call("SimWritePins", {seg4::Variant::array(seg4::VarType::Variant, 0, std::move(elements))}, line);
    }
    if (start + end > in.now()) in.elapse(start + end - in.now());
}

void replayTrace(Interpreter& in, const CommandArgs& args, int line) {
    std::string map;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        if (args[i] != "--map" || i + 1 == args.size())
            throw CommandError("usage: replay FILE.vcd [--map SIGNAL=PIN,...]");
        map += (map.empty() ? "" : ",") + args[i + 1];
    }
    PlacedDisplay& d = in.current(line);
    std::string text;
    try {
        text = files::readBounded(args[0], kMaxTraceBytes);
    } catch (const files::ReadError& e) {
        throw CommandError(e.what());
    }
    std::vector<ReplayStep> steps;
    double end = 0;
    PinWires pins;
    try {
        const TraceHeader header = parseTraceHeader(text, args[0]);
        pins = mapPins(header, pinNamesOf(*d.display), d.name, map);
        std::vector<bool> wanted(header.wireCodes.size(), false);
        for (std::uint32_t w : pins.wire) wanted[w] = true;
        const TraceBody body = parseTraceBody(text, header, wanted);
        steps = replaySteps(header, body, pins, end);
    } catch (const TraceError& e) {
        throw CommandError(e.what());
    }
    playSteps(in, steps, end, line);
    in.out() << "replayed " << args[0] << " on " << d.name << " (" << steps.size() << " change(s) over "
             << millis(end) << ")\n";
    if (!pins.ignored.empty()) {
        in.out() << "ignored signal(s) that drive no pin:";
        for (const std::string& s : pins.ignored) in.out() << " " << s;
        in.out() << "\n";
    }
}

void runFirmwareOnDisplays(Interpreter& in, const CommandArgs& args, int line) {
    in.current(line); // no display placed: the script's fault
    const double until = untilArgument(args);
    const int shift = instructionShift(in.clockHz());
    std::vector<PortSample> samples;
    try {
        samples = parsePortReport(runFirmware(args[0], until, shift), args[0]);
    } catch (const TraceError& e) {
        throw CommandError(e.what());
    }
    // Every placed display follows the latch bits it is wired to; a pin not wired keeps its level.
    std::vector<std::array<PortBit, kTracePins>> wirings;
    for (PlacedDisplay& d : in.displays()) wirings.push_back(wiringOf(*d.display));
    const FoundMember write = findMember("SimWritePins", seg4::MemberKind::Method);
    const double start = in.now();
    for (const PortSample& s : samples) {
        if (s.seconds > until) break; // the firmware notices the end at its next report
        if (start + s.seconds > in.now()) in.elapse(start + s.seconds - in.now());
        for (std::size_t n = 0; n < in.displays().size(); ++n) {
            Display& display = *in.displays()[n].display;
            Levels levels = display.pinLevels();
            for (std::size_t p = 0; p < kTracePins; ++p)
                if (const PortBit w = wirings[n][p]; w.port >= 0)
                    levels[p] = (s.latches[static_cast<std::size_t>(w.port)] >> w.bit) & 1u;
            std::vector<seg4::Variant> elements;
            for (bool b : levels) elements.push_back(seg4::Variant::boolean(b));
            seg4::Variant value = seg4::Variant::array(seg4::VarType::Variant, 0, std::move(elements));
            std::vector<seg4::Variant*> writeArgs{&value};
            display.invoke(write.host, *write.info, writeArgs);
        }
        in.elapse(0); // records the levels
    }
    if (start + until > in.now()) in.elapse(start + until - in.now());
    in.out() << "ran " << args[0] << " for " << millis(until) << " on " << in.displays().size()
             << " display(s) (" << samples.size() << " latch report(s), each instruction " << (1 << shift)
             << " ns)\n";
}

} // namespace qhost
