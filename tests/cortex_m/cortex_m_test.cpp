// The generated program, from the real component reading the shipped code file, linked into a
// small firmware (firmware/) and run on an emulated Cortex-M3 (QEMU's mps2-an385 board): after
// every call the firmware reports the port latches through semihosting, and the pins they
// drive must be those of the component's own simulation of the same call, on every wiring of
// codegen/target_wirings.h, with every port bit not wired to the display left as it was.
// Copies of some programs with a fault planted in them run in the same image, and each must be
// caught, so that a run which notices nothing cannot pass.
// Without arm-none-eabi-gcc or qemu-system-arm the test is skipped with a message, unless
// SEG4_REQUIRE_ARM_GCC=1 or SEG4_REQUIRE_QEMU=1 (the target-code stage sets both).
#include "codegen/program.h"
#include "codegen/target_wirings.h"

#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

namespace seg4::test {
namespace {

namespace fs = std::filesystem;

constexpr int kCallsPerProgram = 5 * 256 * 2; // DIGIT 0..4, VALUE 0..255, DECIMAL_PT 0 and 1

/// The latch value the firmware presets on port `port` of a program before its first call.
std::uint32_t background(int port, int portBits) {
    const std::uint32_t pattern = 0x96A5C35Au ^ (0x11111111u * static_cast<std::uint32_t>(port));
    return portBits == 8 ? pattern & 0xFFu : pattern;
}

/// One wiring's program as the firmware links it: its latches are ordinary variables of the
/// wiring's width, and they and SHOW_DIGIT carry the wiring's name, so that all programs fit in
/// one image (and one compile). The names are changed by macros, as a target header may name
/// its ports, and undefined after the program for the next one.
std::string programSource(const TargetWiring& w, const std::string& program) {
    std::string defines = "#define SHOW_DIGIT " + w.name + "_SHOW_DIGIT\n", undefines = "#undef SHOW_DIGIT\n";
    for (char p = 'a'; p < 'a' + kTargetPorts; ++p) {
        defines += std::string("#define port") + p + " " + w.name + "_port" + p + "\n";
        undefines += std::string("#undef port") + p + "\n";
    }
    return "/* " + w.name + " */\n" + defines +
           portLetters("volatile uint" + std::to_string(w.portBits) + "_t port", ";\n") + program + undefines;
}

/// The firmware's table of programs (firmware/firmware.h), after the programs.
std::string programTable(const std::vector<TargetWiring>& targets) {
    std::string table = "const struct program programs[] = {\n";
    for (const TargetWiring& w : targets)
        table += "    {\"" + w.name + "\", " + std::to_string(w.portBits) + ", {" +
                 portLetters("&" + w.name + "_port", ", ") + "}, " + w.name + "_SHOW_DIGIT},\n";
    return table + "};\nconst unsigned programCount = " + std::to_string(targets.size()) + ";\n";
}

/// The wirings, and each of those on 8-bit ports once more with 32-bit latches, whose upper
/// bits the program must keep as well.
std::vector<TargetWiring> withWideLatches(std::vector<TargetWiring> targets) {
    const std::size_t count = targets.size();
    for (std::size_t n = 0; n < count; ++n)
        if (targets[n].portBits == 8) targets.push_back({targets[n].name + "_wide", targets[n].pins, 32});
    return targets;
}

/// A fault planted in a copy of one wiring's program, which the run must notice: the pattern
/// and its replacement in the generated text.
struct PlantedFault {
    const char* name;
    const char* wiring;
    const char* pattern;
    const char* replacement;
};

const PlantedFault kPlantedFaults[] = {
    {"fault_anode_order", "proposed", R"(anodeLines\[4\] = \{(\w+), (\w+),)", "anodeLines[4] = {$2, $1,"},
    {"fault_anode_mask", "reversed", R"(anodeMask = \w+ \| )", "anodeMask = "},
    {"fault_unwired_bit", "shared", R"(segmentMask = )", "segmentMask = 0x8000u | "},
    {"fault_point", "interleaved", R"(DECIMAL_PT == 0)", "DECIMAL_PT != 0"},
};

/// True when `tool` can run; otherwise reports it, as a failure when `requiredBy` is set to 1.
bool toolPresent(const std::string& tool, const char* requiredBy) {
    if (runCommand("command -v " + tool).status == 0) return true;
    const char* required = std::getenv(requiredBy);
    if (required && std::string(required) == "1")
        ADD_FAILURE() << tool << " is not installed, and " << requiredBy << "=1";
    else
        std::cout << tool << " is not installed: the Cortex-M run is skipped\n";
    return false;
}

TEST(CortexM, TheGeneratedProgramDrivesThePinsOnAnEmulatedCortexM3AsTheSimulationDoes) {
    if (!toolPresent("arm-none-eabi-gcc", "SEG4_REQUIRE_ARM_GCC") ||
        !toolPresent("qemu-system-arm", "SEG4_REQUIRE_QEMU"))
        return;
    const std::string codeFile = shippedCodeFile();
    ASSERT_FALSE(codeFile.empty()) << "the built data folder has no ARM_7seg4.c";
    const std::uint32_t seed = wiringSeed();
    std::cout << "random wirings from seed " << seed << " (SEG4_WIRING_SEED)\n";
    const fs::path dir =
        fs::temp_directory_path() / ("seg4-cortex-m-" + std::to_string(std::random_device{}()));

    std::vector<TargetWiring> targets = withWideLatches(targetWirings(seed));
    const std::size_t sound = targets.size(); // the planted faults follow
    for (const PlantedFault& f : kPlantedFaults)
        for (std::size_t n = 0; n < sound; ++n)
            if (targets[n].name == f.wiring)
                targets.push_back({f.name, targets[n].pins, targets[n].portBits});
    ASSERT_EQ(targets.size(), sound + std::size(kPlantedFaults));
    std::vector<std::unique_ptr<Display>> displays;
    std::string programs = "#include \"firmware.h\"\n";
    for (std::size_t n = 0; n < targets.size(); ++n) {
        Display& d = *displays.emplace_back(std::make_unique<Display>(codeFile));
        d.control.put_QuorvaneVersion(0x0800);
        d.wire(targets[n].pins);
        std::string program = toUtf8(assembleProgram(d.control));
        if (n >= sound) {
            const PlantedFault& f = kPlantedFaults[n - sound];
            const std::string soundProgram = program;
            program = std::regex_replace(program, std::regex(f.pattern), f.replacement,
                                         std::regex_constants::format_first_only);
            ASSERT_NE(program, soundProgram) << f.name << ": the generated program has no " << f.pattern;
        }
        programs += programSource(targets[n], program);
    }
    writeText(dir / "programs.c", programs + programTable(targets));

    const std::string firmware = SEG4_FIRMWARE_DIR, image = (dir / "firmware.elf").string();
    const CommandRun built =
        runCommand("arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -Os -std=c99 -pedantic -Wall -Wextra -Werror "
                   "-Wmissing-prototypes -Wstrict-prototypes -ffreestanding -nostdlib -I'" +
                   firmware + "' -T '" + firmware + "/cortex_m.ld' '" + firmware + "/startup.c' '" +
                   firmware + "/runner.c' '" + (dir / "programs.c").string() + "' -lgcc -o '" + image + "'");
    ASSERT_EQ(built.status, 0) << built.output;

    // The firmware's report goes to a file of its own, apart from anything the emulator says.
    const fs::path report = dir / "report.txt";
    const CommandRun ran =
        runCommand("timeout 60 qemu-system-arm -M mps2-an385 -nographic -monitor none -serial null "
                   "-chardev file,id=report,path='" +
                   report.string() +
                   "' -semihosting-config enable=on,target=native,chardev=report -kernel '" + image + "'");
    const std::string reported = readText(report);
    ASSERT_EQ(ran.status, 0) << ran.output << "\nthe firmware's report ends with:\n"
                             << reported.substr(reported.size() > 400 ? reported.size() - 400 : 0);

    // Every call against the simulation of the same call on the same wiring.
    std::map<std::string, std::size_t> index;
    for (std::size_t n = 0; n < targets.size(); ++n) index[targets[n].name] = n;
    std::istringstream lines(reported);
    std::string line;
    std::size_t calls = 0, mismatches = 0, ended = 0;
    std::vector<std::size_t> noticed(targets.size()); // calls whose outcome was wrong, per program
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        int digit = 0, value = 0, point = 0;
        std::array<std::uint32_t, kTargetPorts> ports{};
        words >> name;
        if (name == "end") {
            words >> ended;
            continue;
        }
        words >> digit >> value >> point >> std::hex;
        for (std::uint32_t& port : ports) words >> port;
        ASSERT_TRUE(words && index.count(name)) << "a line the firmware does not write: " << line;
        ++calls;
        const std::size_t n = index.at(name);
        const TargetWiring& w = targets[n];
        std::string levels, untouched;
        std::array<std::uint32_t, kTargetPorts> wired{};
        for (const PinWire& pin : w.pins) {
            if (pin.bit < 0) {
                levels += '-';
                continue;
            }
            levels += (ports[std::size_t(pin.port)] >> pin.bit) & 1u ? '1' : '0';
            wired[std::size_t(pin.port)] |= 1u << pin.bit;
        }
        for (int p = 0; p < kTargetPorts; ++p)
            if ((ports[std::size_t(p)] ^ background(p, w.portBits)) & ~wired[std::size_t(p)])
                untouched += std::string(untouched.empty() ? "" : ", ") + "port" + char('a' + p);
        const std::string expected = simulatedLevels(displays[n]->control, digit, value, point, w.pins);
        if (levels == expected && untouched.empty()) continue;
        ++noticed[n];
        if (n < sound && ++mismatches <= 10)
            ADD_FAILURE() << name << " SHOW_DIGIT(" << digit << ", " << value << ", " << point << "): pins "
                          << levels << ", simulation " << expected
                          << (untouched.empty() ? ""
                                                : "; bits not wired to the display changed on " + untouched);
    }
    EXPECT_EQ(calls, targets.size() * kCallsPerProgram) << "the firmware did not report every call";
    EXPECT_EQ(ended, calls) << "the firmware's count of its calls";
    EXPECT_EQ(mismatches, 0u);
    for (std::size_t n = sound; n < targets.size(); ++n)
        EXPECT_GT(noticed[n], 0u) << targets[n].name << ": the planted fault went unnoticed";
    if (HasFailure())
        std::cout << "generated files kept in " << dir << "\n";
    else
        fs::remove_all(dir);
}

} // namespace
} // namespace seg4::test
