// The generated program, from the real component reading the shipped code file, compiles for a
// Cortex-M target and, run on the build machine against a port model (port_model/), drives the
// twelve pins exactly as the component's own simulation of SHOW_DIGIT does, for several wirings.
// Without arm-none-eabi-gcc the target compile is skipped with a message, unless
// SEG4_REQUIRE_ARM_GCC=1 (the target-code stage sets it), which makes its absence a failure.
#include "codegen/program.h"
#include "codegen_fixture.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

namespace seg4::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPorts = 8; // porta .. porth, as in the port model

struct TargetWiring {
    std::string name; // also the namespace of its program in the model
    Wiring pins;
    int portBits; // width of the port latches: 8 or 32
};

Wiring wiring(int anodePort, std::array<int, 4> anodeBits, int segmentPort, std::array<int, 8> segmentBits) {
    Wiring w;
    for (int bit : anodeBits) w.push_back({anodePort, bit});
    for (int bit : segmentBits) w.push_back({segmentPort, bit});
    return w;
}

/// The proposed wiring, bits reversed, anodes and segments sharing a port, anodes high in a
/// 32-bit port, the point not wired, and random valid wirings: all anodes on one port, all
/// segments on one port, distinct bits on each port, masks that fit 16 bits.
std::vector<TargetWiring> wirings(std::uint32_t seed) {
    Wiring noPoint = proposedWiring();
    noPoint[11] = {-1, -1};
    std::vector<TargetWiring> out{
        {"proposed", proposedWiring(), 8},
        {"reversed", wiring(0, {0, 1, 2, 3}, 1, {7, 6, 5, 4, 3, 2, 1, 0}), 8},
        {"shared", wiring(2, {11, 10, 9, 8}, 2, {0, 1, 2, 3, 4, 5, 6, 7}), 32},
        {"interleaved", wiring(3, {14, 5, 9, 0}, 3, {1, 2, 3, 4, 6, 7, 8, 10}), 32},
        {"highbits", wiring(4, {11, 12, 13, 14}, 5, {3, 4, 5, 6, 7, 8, 9, 10}), 32},
        {"nopoint", noPoint, 8},
    };
    std::mt19937 rng(seed);
    auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int n = 0; n < 6; ++n) {
        const int anodePort = below(8);
        const bool shared = below(3) == 0;
        const int bits = shared || below(2) ? 32 : 8;
        std::vector<int> pool(bits == 8 ? 8 : 15), segmentPool(pool.size());
        for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = segmentPool[i] = static_cast<int>(i);
        std::shuffle(pool.begin(), pool.end(), rng);
        std::shuffle(segmentPool.begin(), segmentPool.end(), rng);
        if (shared) std::copy(pool.begin() + 4, pool.begin() + 12, segmentPool.begin()); // bits of their own
        std::array<int, 4> a{};
        std::array<int, 8> s{};
        std::copy_n(pool.begin(), 4, a.begin());
        std::copy_n(segmentPool.begin(), 8, s.begin());
        out.push_back({"random" + std::to_string(n),
                       wiring(anodePort, a, shared ? anodePort : (anodePort + 1 + below(7)) % 8, s), bits});
    }
    return out;
}

/// The levels the simulation sets for one call, in the model's notation ('-': not wired).
std::string simulated(Led7Seg4& control, int digit, int value, int point, const Wiring& pins) {
    std::int32_t returned = 0, cycles = 0;
    Variant affected;
    const auto i2 = [](int v) { return Variant::i2(static_cast<std::int16_t>(v)); };
    control.SimMacroCall(0, Variant::array(VarType::Variant, 0, {i2(digit), i2(value), i2(point)}), returned,
                         affected, cycles);
    std::string levels;
    for (std::size_t i = 0; i < pins.size(); ++i)
        levels += pins[i].bit < 0 ? '-' : (*control.state().m_Pins)[i].SimValue ? '1' : '0';
    return levels;
}

std::string portLetters(const std::string& prefix, const std::string& suffix) {
    std::string out;
    for (char p = 'a'; p < 'a' + kPorts; ++p) out += prefix + p + suffix;
    return out;
}

TEST(TargetCode, CompilesForCortexMAndDrivesThePinsAsTheSimulationDoes) {
    const std::string codeFile = shippedCodeFile();
    ASSERT_FALSE(codeFile.empty()) << "the built data folder has no ARM_7seg4.c";
    const char* seedText = std::getenv("SEG4_WIRING_SEED");
    const auto seed = static_cast<std::uint32_t>(seedText ? std::strtoul(seedText, nullptr, 10) : 20260611UL);
    std::cout << "random wirings from seed " << seed << " (SEG4_WIRING_SEED)\n";
    const fs::path dir =
        fs::temp_directory_path() / ("seg4-target-code-" + std::to_string(std::random_device{}()));

    const std::vector<TargetWiring> targets = wirings(seed);
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
        for (int p = 0; p < kPorts; ++p)
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
        const std::string expected = simulated(displays[n]->control, digit, value, point, targets[n].pins);
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
