// Replaying a recorded trace onto the current display: the whole trace is read and mapped
// before the display sees its first level, so that a bad trace changes nothing.
#include "script/trace_commands.h"

#include "automation/conversions.h"
#include "backends/members.h"
#include "files/bounded_read.h"
#include "script/interpreter.h"
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

} // namespace qhost
