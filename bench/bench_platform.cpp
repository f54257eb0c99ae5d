// The Linux adapter's hot paths, each against a floor measured in the same run:
// - a profile lookup in a code file (read anew on every key the macro table asks for) against
//   one Windows-1252 decoding pass over the same bytes, which every lookup needs;
// - code-page conversion of a translated text (single-byte by table, double-byte through
//   iconv) against UTF-8 encoding of the same text.
// The counter ratio_to_floor is the figure to compare between runs and machines.
#include "code_pages.h"
#include "profile_reader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

template <class F>
double secondsPerCall(F&& f) {
    constexpr int kCalls = 2000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kCalls;
}

// A code file of the usual shape: C blocks with markers, then the macro sections at the end.
std::string codeFile() {
    std::string file;
    for (int block = 0; block < 40; ++block) {
        file += "/*Macro_BLOCK" + std::to_string(block) + "_Start*/\r\n";
        for (int line = 0; line < 12; ++line)
            file += "    PORT->ODR = (PORT->ODR & ~mask) | pattern; // line\r\n";
        file += "/*Macro_BLOCK" + std::to_string(block) + "_End*/\r\n";
    }
    file +=
        "[MacroNames]\r\nCount=1\r\n1=SHOW_DIGIT\r\n[MacroParameters_SHOW_DIGIT]\r\nCount=3\r\n1=Digit\r\n"
        "2=Value\r\n3=DecimalPoint\r\n[MacroParamTypes_SHOW_DIGIT]\r\n1=char\r\n2=char\r\n3=char\r\n";
    return file;
}

void ProfileLookupInCodeFile(benchmark::State& state) {
    const std::string file = codeFile();
    const auto lookup = [&] {
        benchmark::DoNotOptimize(
            seg4::readProfileString(file, "MacroParamTypes_SHOW_DIGIT", "3", "char", 255));
    };
    for (auto _ : state) lookup();
    const double floor =
        secondsPerCall([&] { benchmark::DoNotOptimize(seg4::text::decodeWindows1252(file)); });
    state.counters["ratio_to_floor"] = secondsPerCall(lookup) / floor;
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

void EncodeTranslatedText(benchmark::State& state) {
    const auto codePage = static_cast<std::uint32_t>(state.range(0));
    // Japanese and Russian texts of the property page's length.
    const std::u16string text = codePage == 932
                                    ? u"\u8D64\u3044\u8272\u306E\u30B5\u30A4\u30BA\u3068\u8868\u793A"
                                    : u"\u041A\u0440\u0430\u0441\u043D\u044B\u0439 \u0446\u0432\u0435\u0442";
    seg4::posix::CodePages pages;
    const auto convert = [&] { benchmark::DoNotOptimize(pages.encode(text, codePage)); };
    for (auto _ : state) convert();
    const double floor = secondsPerCall([&] { benchmark::DoNotOptimize(seg4::text::encodeUtf8(text)); });
    state.counters["ratio_to_floor"] = secondsPerCall(convert) / floor;
}

} // namespace

BENCHMARK(ProfileLookupInCodeFile);
BENCHMARK(EncodeTranslatedText)->Arg(1251)->Arg(932);
BENCHMARK_MAIN();
