// The Linux adapter's hot paths, each against a floor measured in the same run that owes
// nothing to the project's own text code:
// - a profile lookup in a code file (read anew on every key the macro table asks for) against
//   widening the same bytes to UTF-16 with a plain loop, which any lookup must at least do;
// - code-page conversion of a translated text (single-byte by table, double-byte through
//   iconv) against copying the text's bytes.
// Printed at the end as ratios, for the record (no goal is set for them yet).
#include "code_pages.h"
#include "profile_reader.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

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

void FloorWidenCodeFile(benchmark::State& state) {
    const std::string file = codeFile();
    for (auto _ : state) {
        std::u16string wide(file.size(), u'\0');
        for (std::size_t i = 0; i < file.size(); ++i) wide[i] = static_cast<unsigned char>(file[i]);
        benchmark::DoNotOptimize(wide.data());
    }
}

void ProfileLookupInCodeFile(benchmark::State& state) {
    const std::string file = codeFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            seg4::readProfileString(file, "MacroParamTypes_SHOW_DIGIT", "3", "char", 255));
}

// Japanese and Russian texts of the property page's length.
std::u16string translatedText(std::uint32_t codePage) {
    return codePage == 932 ? u"\u8D64\u3044\u8272\u306E\u30B5\u30A4\u30BA\u3068\u8868\u793A"
                           : u"\u041A\u0440\u0430\u0441\u043D\u044B\u0439 \u0446\u0432\u0435\u0442";
}

void FloorCopyTextBytes(benchmark::State& state) {
    const std::u16string text = translatedText(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
        benchmark::DoNotOptimize(bytes.data());
    }
}

void EncodeTranslatedText(benchmark::State& state) {
    const auto codePage = static_cast<std::uint32_t>(state.range(0));
    const std::u16string text = translatedText(codePage);
    seg4::posix::CodePages pages;
    for (auto _ : state) benchmark::DoNotOptimize(pages.encode(text, codePage));
}

} // namespace

BENCHMARK(FloorWidenCodeFile);
BENCHMARK(ProfileLookupInCodeFile);
BENCHMARK(FloorCopyTextBytes)->Arg(1251)->Arg(932);
BENCHMARK(EncodeTranslatedText)->Arg(1251)->Arg(932);

int main(int argc, char** argv) {
    return seg4::bench::runWithGoals(argc, argv, [](seg4::bench::RatioReporter& r) {
        r.ratioReport("ProfileLookupInCodeFile", "FloorWidenCodeFile");
        r.ratioReport("EncodeTranslatedText/1251", "FloorCopyTextBytes/1251");
        r.ratioReport("EncodeTranslatedText/932", "FloorCopyTextBytes/932");
    });
}
