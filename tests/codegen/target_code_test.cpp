// The generated program, from the real component reading the shipped code file, compiles for a
// Cortex-M target and, run on the build machine against a port model (port_model/), drives the
// twelve pins exactly as the component's own simulation of SHOW_DIGIT does, for several wirings.
// Without arm-none-eabi-gcc the target compile is skipped with a message, unless
// SEG4_REQUIRE_ARM_GCC=1 (the target-code stage sets it), which makes its absence a failure.
#include "codegen/program.h"
#include "target_wirings.h"

#include <iostream>
#include <map>
#include <memory>
#include <sstream>

namespace seg4::test {
namespace {

namespace fs = std::filesystem;

TEST(TargetCode, CompilesForCortexMAndDrivesThePinsAsTheSimulationDoes) {
    const std::string codeFile = shippedCodeFile();
    ASSERT_FALSE(codeFile.empty()) << "the built data folder has no ARM_7seg4.c";
    const std::uint32_t seed = wiringSeed();
    std::cout << "random wirings from seed " << seed << " (SEG4_WIRING_SEED)\n";
    const fs::path dir =
        fs::temp_directory_path() / ("seg4-target-code-" + std::to_string(std::random_device{}()));

    const std::vector<TargetWiring> targets = targetWirings(seed);
    std::vector<std::unique_ptr<Display>> displays;
    std::string models, table = "const portmodel::Model kModels[] = {\n";
    for (const TargetWiring& w : targets) {
        Display& d = *displays.emplace_back(std::make_unique<Display>(codeFile));
        d.control.put_QuorvaneVersion(0x0800);
        d.wire(w.pins);
        const std::string program = toUtf8(assembleProgram(d.control));
        ASSERT_EQ(program.find('%'), std::string::npos) << w.name << ": a placeholder was left\n" << program;
        writeText(dir / (w.name + ".inc"), program);

        // For the model: the program in a namespace of its own, its ports as latches.
        const std::string mask = w.portBits == 8 ? "0xFFUL" : "0xFFFFFFFFUL";
        models += "namespace " + w.name + " {\n";
        for (int p = 0; p < kTargetPorts; ++p)
            models += "portmodel::Latch port" + std::string(1, char('a' + p)) + "{" + std::to_string(p) +
                      ", " + mask + "};\n";
        models += "#include \"" + w.name + ".inc\"\n}\n";
        table += "    {\"" + w.name + "\", {{";
        for (const PinWire& pin : w.pins)
            table += "{" + std::to_string(pin.port) + ", " + std::to_string(pin.bit) + "}, ";
        table +=
            "}}, {{" + portLetters("&" + w.name + "::port", ", ") + "}}, &" + w.name + "::SHOW_DIGIT},\n";

        // For the target: the latches as its header declares them, and a caller that scans.
        for (int bits : {8, 32}) {
            if (bits < w.portBits) continue;
            writeText(dir / (w.name + "_u" + std::to_string(bits) + ".c"),
                      "#include <stdint.h>\n" +
                          portLetters("extern volatile uint" + std::to_string(bits) + "_t port", ";\n") +
                          program +
                          "void scan(const unsigned char figures[4], unsigned char point);\n"
                          "void scan(const unsigned char figures[4], unsigned char point)\n{\n"
                          "    unsigned char d;\n    for (d = 0; d < 4; ++d)\n"
                          "        SHOW_DIGIT((char)d, (char)figures[d], (char)(d == point));\n}\n");
        }
    }
    writeText(dir / "models.inc", models + table + "};\n");

    if (runCommand("command -v arm-none-eabi-gcc").status == 0) {
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() != ".c") continue;
            const CommandRun compiled = runCommand(
                "arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -Os -std=c99 -pedantic -Wall -Wextra -Werror "
                "-Wmissing-prototypes -Wstrict-prototypes -c '" +
                entry.path().string() + "' -o '" + fs::path(entry.path()).replace_extension(".o").string() +
                "'");
            EXPECT_EQ(compiled.status, 0) << entry.path().filename() << ":\n" << compiled.output;
        }
    } else if (const char* required = std::getenv("SEG4_REQUIRE_ARM_GCC");
               required && std::string(required) == "1") {
        ADD_FAILURE() << "arm-none-eabi-gcc is not installed, and SEG4_REQUIRE_ARM_GCC=1";
    } else {
        std::cout << "arm-none-eabi-gcc is not installed: the target compile is skipped\n";
    }

    const std::string model = (dir / "port_model").string();
    const CommandRun built =
        runCommand(std::string(SEG4_HOST_CXX) +
                   " -std=c++20 -O1 -Wall -Wextra -Werror -fsanitize=undefined "
                   "-fno-sanitize-recover=all -I'" +
                   dir.string() + "' '" SEG4_PORT_MODEL_DIR "/port_model.cpp' -o '" + model + "'");
    ASSERT_EQ(built.status, 0) << built.output;
    const CommandRun output = runCommand("'" + model + "'");
    ASSERT_EQ(output.status, 0) << output.output;

    // Every call against the simulation of the same call on the same wiring.
    std::map<std::string, std::size_t> index;
    for (std::size_t n = 0; n < targets.size(); ++n) index[targets[n].name] = n;
    std::istringstream lines(output.output);
    std::string name, levels, flags;
    int digit = 0, value = 0, point = 0;
    std::size_t calls = 0, mismatches = 0;
    while (lines >> name >> digit >> value >> point >> levels >> flags) {
        ++calls;
        const std::size_t n = index.at(name);
        const std::string expected =
            simulatedLevels(displays[n]->control, digit, value, point, targets[n].pins);
        if ((levels != expected || flags != "-") && ++mismatches <= 10)
            ADD_FAILURE() << name << " SHOW_DIGIT(" << digit << ", " << value << ", " << point << "): pins "
                          << levels << ", simulation " << expected << ", broken rules " << flags;
    }
    EXPECT_EQ(calls, targets.size() * 5 * 256 * 2) << "the model did not report every call";
    EXPECT_EQ(mismatches, 0u);
    if (HasFailure())
        std::cout << "generated files kept in " << dir << "\n";
    else
        fs::remove_all(dir);
}

} // namespace
} // namespace seg4::test
