// The generated program, from the real component reading the shipped code file, compiles for a
// Cortex-M target and, run on the build machine against a port model, drives the twelve pins
// exactly as the component's own simulation of SHOW_DIGIT does, for several wirings.
//
// The cross compiler is needed; without it the test is skipped with a message, unless
// SEG4_REQUIRE_ARM_GCC=1 (the test command sets it), which makes its absence a failure.
#include "codegen/port_model/port_model.h"
#include "codegen/program.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#ifndef SEG4_HOST_CXX
#error "SEG4_HOST_CXX names the build machine's C++ compiler"
#endif
#ifndef SEG4_PORT_MODEL_DIR
#error "SEG4_PORT_MODEL_DIR names the folder of the port model"
#endif

namespace seg4::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kVersion = 0x0800;
constexpr const char* kArmFlags = "-mcpu=cortex-m3 -mthumb -Os -std=c99 -pedantic -Wall -Wextra -Werror "
                                  "-Wmissing-prototypes -Wstrict-prototypes";

struct TargetWiring {
    std::string name;
    Wiring pins;
    int portBits; // 8 or 32: the width of the port latches
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

/// Runs a shell command with its output in `log`; true when it succeeded.
bool run(const std::string& command, const fs::path& log) {
    const std::string line = command + " >\"" + log.string() + "\" 2>&1";
    return std::system(line.c_str()) == 0;
}

bool haveArmCompiler() { return std::system("command -v arm-none-eabi-gcc >/dev/null 2>&1") == 0; }

fs::path shippedCodeFile() {
    const char* dir = std::getenv("SEG4_DATA_DIR");
    return dir ? fs::path(dir) / "ARM_7seg4.c" : fs::path();
}

// ---------------------------------------------------------------- wirings

Wiring anodesThenSegments(int anodePort, std::array<int, 4> anodeBits, int segmentPort,
                          std::array<int, 8> segmentBits) {
    Wiring w;
    for (int bit : anodeBits) w.push_back({anodePort, bit});
    for (int bit : segmentBits) w.push_back({segmentPort, bit});
    return w;
}

std::vector<TargetWiring> fixedWirings() {
    Wiring noPoint = proposedWiring();
    noPoint[11] = {-1, -1};
    return {
        {"proposed", proposedWiring(), 8},
        {"reversed", anodesThenSegments(0, {0, 1, 2, 3}, 1, {7, 6, 5, 4, 3, 2, 1, 0}), 8},
        {"shared", anodesThenSegments(2, {11, 10, 9, 8}, 2, {0, 1, 2, 3, 4, 5, 6, 7}), 32},
        {"interleaved", anodesThenSegments(3, {14, 5, 9, 0}, 3, {1, 2, 3, 4, 6, 7, 8, 10}), 32},
        {"highbits", anodesThenSegments(4, {11, 12, 13, 14}, 5, {3, 4, 5, 6, 7, 8, 9, 10}), 32},
        {"nopoint", noPoint, 8},
    };
}

/// Valid wirings: all anodes on one port, all segments on one port, distinct bits on each
/// port, masks that fit 16 bits; a third share one port.
std::vector<TargetWiring> randomWirings(std::uint32_t seed, int count) {
    std::mt19937 rng(seed);
    auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); };
    std::vector<TargetWiring> out;
    for (int n = 0; n < count; ++n) {
        const int anodePort = below(8);
        const bool shared = below(3) == 0;
        const int segmentPort = shared ? anodePort : (anodePort + 1 + below(7)) % 8;
        const int portBits = shared || below(2) == 0 ? 32 : 8;
        std::vector<int> bits(portBits == 8 ? 8 : 15);
        for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<int>(i);
        std::shuffle(bits.begin(), bits.end(), rng);
        std::array<int, 4> anodeBits{};
        std::array<int, 8> segmentBits{};
        if (shared) {
            for (int i = 0; i < 4; ++i)
                anodeBits[static_cast<std::size_t>(i)] = bits[static_cast<std::size_t>(i)];
            for (int i = 0; i < 8; ++i)
                segmentBits[static_cast<std::size_t>(i)] = bits[static_cast<std::size_t>(4 + i)];
        } else {
            for (int i = 0; i < 4; ++i)
                anodeBits[static_cast<std::size_t>(i)] = bits[static_cast<std::size_t>(i)];
            std::shuffle(bits.begin(), bits.end(), rng);
            for (int i = 0; i < 8; ++i)
                segmentBits[static_cast<std::size_t>(i)] = bits[static_cast<std::size_t>(i)];
        }
        out.push_back({"random" + std::to_string(n),
                       anodesThenSegments(anodePort, anodeBits, segmentPort, segmentBits), portBits});
    }
    return out;
}

// ---------------------------------------------------------------- one display per wiring

class Display {
public:
    Display(const std::string& codeFile, const TargetWiring& wiring) {
        platform_.setHostLanguage(u"engb");
        platform_.setFile(platform_.folder + u"\\ARM_7seg4.c", codeFile);
        control_.Initialize();
        control_.InitProperties();
        control_.put_QuorvaneVersion(kVersion);
        for (std::size_t i = 0; i < wiring.pins.size(); ++i) {
            control_.put_Port(static_cast<std::int32_t>(i), wiring.pins[i].port);
            control_.put_Bit(static_cast<std::int32_t>(i), wiring.pins[i].bit);
        }
    }

    std::string program() { return toUtf8(assembleProgram(control_)); }

    /// The levels the component's simulation sets for one SHOW_DIGIT call, in the model's
    /// notation ('-' for a pin that is not wired).
    std::string simulated(int digit, int value, int point, const Wiring& wiring) {
        std::int32_t returned = 0, cycles = 0;
        Variant affected;
        const Variant params = Variant::array(VarType::Variant, 0,
                                              {Variant::i2(static_cast<std::int16_t>(digit)),
                                               Variant::i2(static_cast<std::int16_t>(value)),
                                               Variant::i2(static_cast<std::int16_t>(point))});
        control_.SimMacroCall(0, params, returned, affected, cycles);
        std::string levels;
        for (std::size_t i = 0; i < wiring.size(); ++i) {
            const bool wired = wiring[i].port >= 0 && wiring[i].bit >= 0;
            levels += !wired ? '-' : (*control_.state().m_Pins)[i].SimValue ? '1' : '0';
        }
        return levels;
    }

private:
    FakePlatform platform_;
    Led7Seg4 control_{platform_};
};

// ---------------------------------------------------------------- the test

class TargetCode : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path codeFile = shippedCodeFile();
        ASSERT_TRUE(!codeFile.empty() && fs::exists(codeFile)) << "the built data folder has no ARM_7seg4.c";
        codeFile_ = readFile(codeFile);
        dir_ = fs::temp_directory_path() /
               ("seg4-target-code-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure())
            fs::remove_all(dir_);
        else
            std::cerr << "generated files kept in " << dir_ << "\n";
    }

    std::string codeFile_;
    fs::path dir_;
};

std::string latchDeclarations(int portBits) {
    const std::string mask = portBits == 8 ? "0xFFUL" : "0xFFFFFFFFUL";
    std::string out;
    for (int p = 0; p < portmodel::kPorts; ++p) {
        out += "portmodel::Latch port";
        out += static_cast<char>('a' + p);
        out += "{" + std::to_string(p) + ", " + mask + "};\n";
    }
    return out;
}

TEST_F(TargetCode, CompilesForCortexMAndDrivesThePinsAsTheSimulationDoes) {
    const char* seedText = std::getenv("SEG4_WIRING_SEED");
    const std::uint32_t seed =
        seedText ? static_cast<std::uint32_t>(std::strtoul(seedText, nullptr, 10)) : 20260611U;
    std::vector<TargetWiring> wirings = fixedWirings();
    for (TargetWiring& w : randomWirings(seed, 6)) wirings.push_back(std::move(w));
    std::cout << "random wirings from seed " << seed << " (SEG4_WIRING_SEED)\n";

    std::vector<std::unique_ptr<Display>> displays;
    std::string models = "// Generated by the target-code test: one namespace per wiring.\n";
    std::string table = "const portmodel::Model kModels[] = {\n";
    for (std::size_t n = 0; n < wirings.size(); ++n) {
        const TargetWiring& w = wirings[n];
        SCOPED_TRACE(w.name);
        displays.push_back(std::make_unique<Display>(codeFile_, w));
        const std::string program = displays.back()->program();
        ASSERT_EQ(program.find('%'), std::string::npos) << "a placeholder was left:\n" << program;
        ASSERT_NE(program.find("void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT)\n{"),
                  std::string::npos)
            << program;
        writeFile(dir_ / (w.name + ".inc"), program);

        models += "namespace " + w.name + " {\n" + latchDeclarations(w.portBits) + "#include \"" + w.name +
                  ".inc\"\n}\n";
        table += "    {\"" + w.name + "\", {{";
        for (const PinWire& pin : w.pins)
            table += "{" + std::to_string(pin.port) + ", " + std::to_string(pin.bit) + "}, ";
        table += "}}, {{";
        for (int p = 0; p < portmodel::kPorts; ++p)
            table += "&" + w.name + "::port" + static_cast<char>('a' + p) + ", ";
        table += "}}, &" + w.name + "::SHOW_DIGIT},\n";

        // The same program for the target, with the latches as the target header declares them
        // and a caller that scans the four digits.
        for (int bits : {8, 32}) {
            if (bits < w.portBits) continue;
            std::string unit = "#include <stdint.h>\n";
            for (int p = 0; p < portmodel::kPorts; ++p)
                unit += "extern volatile uint" + std::to_string(bits) + "_t port" +
                        static_cast<char>('a' + p) + ";\n";
            unit += program;
            unit += "void scan(const unsigned char figures[4], unsigned char point);\n"
                    "void scan(const unsigned char figures[4], unsigned char point)\n{\n"
                    "    unsigned char d;\n"
                    "    for (d = 0; d < 4; ++d)\n"
                    "        SHOW_DIGIT((char)d, (char)figures[d], (char)(d == point));\n}\n";
            writeFile(dir_ / (w.name + "_u" + std::to_string(bits) + ".c"), unit);
        }
    }
    table += "};\n";
    writeFile(dir_ / "models.inc", models + table);

    // Cross-compile every program for the target.
    if (haveArmCompiler()) {
        for (const auto& entry : fs::directory_iterator(dir_)) {
            if (entry.path().extension() != ".c") continue;
            const fs::path object = fs::path(entry.path()).replace_extension(".o");
            const fs::path log = fs::path(entry.path()).replace_extension(".log");
            EXPECT_TRUE(run(std::string("arm-none-eabi-gcc ") + kArmFlags + " -c \"" + entry.path().string() +
                                "\" -o \"" + object.string() + "\"",
                            log))
                << entry.path().filename() << ":\n"
                << readFile(log);
        }
    } else {
        const char* required = std::getenv("SEG4_REQUIRE_ARM_GCC");
        if (required && std::string(required) == "1")
            ADD_FAILURE() << "arm-none-eabi-gcc is not installed, and SEG4_REQUIRE_ARM_GCC=1";
        else
            std::cout << "arm-none-eabi-gcc is not installed: the target compile is skipped\n";
    }

    // Build the port model on this machine and run every program in it.
    const fs::path model = dir_ / "port_model";
    const fs::path buildLog = dir_ / "port_model_build.log";
    ASSERT_TRUE(run(std::string(SEG4_HOST_CXX) +
                        " -std=c++20 -O1 -g -Wall -Wextra -Werror -fsanitize=undefined "
                        "-fno-sanitize-recover=all -I\"" +
                        dir_.string() +
                        "\" -I\"" SEG4_PORT_MODEL_DIR "\" \"" SEG4_PORT_MODEL_DIR
                        "/port_model_main.cpp\" -o \"" +
                        model.string() + "\"",
                    buildLog))
        << readFile(buildLog);
    const fs::path output = dir_ / "port_model.out";
    ASSERT_TRUE(run("\"" + model.string() + "\"", output)) << readFile(output);

    // Compare every call with the simulation of the same call on the same wiring.
    std::map<std::string, std::size_t> index;
    for (std::size_t n = 0; n < wirings.size(); ++n) index[wirings[n].name] = n;
    std::istringstream lines(readFile(output));
    std::string name, levels, flags;
    int digit = 0, value = 0, point = 0;
    std::size_t calls = 0, mismatches = 0;
    while (lines >> name >> digit >> value >> point >> levels >> flags) {
        ++calls;
        const std::size_t n = index.at(name);
        const std::string expected = displays[n]->simulated(digit, value, point, wirings[n].pins);
        if ((levels != expected || flags != "-") && ++mismatches <= 20)
            ADD_FAILURE() << name << " SHOW_DIGIT(" << digit << ", " << value << ", " << point << "): pins "
                          << levels << ", simulation " << expected << ", broken rules " << flags;
    }
    EXPECT_EQ(calls, wirings.size() * 5 * 256 * 2) << "the model did not report every call";
    EXPECT_EQ(mismatches, 0u);
}

} // namespace
} // namespace seg4::test
