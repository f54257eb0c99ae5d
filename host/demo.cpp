// The demo is a qhost script like any other, so it shows users what they can write themselves.
#include "demo.h"

#include "script/interpreter.h"
#include "script/script_parser.h"

#include <ostream>
#include <regex>
#include <stdexcept>

namespace qhost {

std::string demoScript(const std::string& outDir) {
    std::string script =
        R"qhs(# One display on the pins it proposes, showing a stopwatch in tenths of a second, driven the way
# a flowchart on the target drives it: SHOW_DIGIT for each digit in turn, 2.5 ms apart.
place demo
echo off
for pin = 0 to PinCount - 1
  Port(pin) = DesiredPort(pin)
  Bit(pin) = DesiredBit(pin)
next
echo on
LEDSize = 85
QuorvaneVersion = 1026
print Description & ": " & PinCount & " pins, all connected: " & CBool(ConnectedOK)
for pin = 0 to PinCount - 1
  print "  pin " & pin & ": " & PinName(pin) & " on port " & Port(pin) & ", bit " & Bit(pin)
next
clock 8000000
StartSimulation
echo off
# One second of counting; then the watch stops and the display keeps showing 001.0.
tenths = 0
during 1040ms
  divisor = 1
  for digit = 0 to 3
    SimMacroCall(0, Array(digit, (tenths \ divisor) Mod 10, digit = 1), ret, affected, cycles)
    elapse 2.5ms
    divisor = divisor * 10
  next
  tenths = Int(Min(Time, 1) * 10)
end
echo on
snapshot "OUT/instant.png"
eye "OUT/eye.png"
animate "OUT/run.png"
scan "OUT/scan.txt"
codegen "OUT/program.c"
save "OUT/document.json"
StopSimulation
print ""
print "The display after one second of simulated time, in OUT:"
print "  instant.png    the pins at one instant: a multiplexed unit lights one digit at a time"
print "  eye.png        what an eye sees over 20 ms: all four digits, steady"
print "  run.png        the whole second as an animation (APNG)"
print "  scan.txt       refresh rate and duty of each digit"
print "  program.c      the C code the host would compile for this wiring"
print "  document.json  the display as the host document stores it"
)qhs";
    script = std::regex_replace(script, std::regex("OUT"), outDir);
    return script;
}

namespace {

/// `path` as one quoted word of a script: "${" is written "$${" so that it stays as it is.
std::string scriptWord(const std::string& path) {
    if (path.find('"') != std::string::npos)
        throw std::invalid_argument("a path with a double quote cannot be used: " + path);
    return "\"" + std::regex_replace(path, std::regex(R"(\$\{)"), "$$$${") + "\"";
}

} // namespace

std::string firmwareScript(const std::string& elf, const std::string& until, long long clockHz,
                           const std::string& outDir) {
    const std::string out = outDir.empty() ? "." : outDir;
    const auto file = [&out](const char* name) { return scriptWord(out + "/" + name); };
    return "# The display wired as it proposes, as the firmware's generated code expects it.\n"
           "place firmware\n"
           "echo off\n"
           "for pin = 0 to PinCount - 1\n"
           "  Port(pin) = DesiredPort(pin)\n"
           "  Bit(pin) = DesiredBit(pin)\n"
           "next\n"
           "LEDSize = 85\n"
           "QuorvaneVersion = 1026\n"
           "clock " +
           std::to_string(clockHz) +
           "\n"
           "StartSimulation\n"
           "echo on\n"
           "firmware " +
           scriptWord(elf) + " --until " + until + "\n" + "snapshot " + file("instant.png") + "\n" + "eye " +
           file("eye.png") + "\n" + "animate " + file("run.png") + "\n" + "scan " + file("scan.txt") + "\n";
}

int runCannedScript(Backend& backend, const std::string& script, const std::string& name, std::ostream& out) {
    ParseResult parsed = parseScript(script, name);
    for (const auto& e : parsed.errors) out << name << ":" << e.line << ": " << e.message << "\n";
    if (!parsed.errors.empty()) return 2;
    Interpreter interpreter(backend, out);
    return interpreter.run(parsed.script);
}

int runDemo(Backend& backend, const std::string& outDir, std::ostream& out) {
    return runCannedScript(backend, demoScript(outDir), "demo", out);
}

} // namespace qhost
