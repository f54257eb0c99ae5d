// The code file that ships beside the module, as the component reads it.
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string shippedCodeFile() {
    const char* dir = std::getenv("SEG4_DATA_DIR");
    std::ifstream in(std::filesystem::path(dir ? dir : "") / "ARM_7seg4.c", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ShippedCodeFile, EndsEveryLineWithCrLf) {
    // With LF-only line ends the block reader would find no block at all.
    const std::string file = shippedCodeFile();
    ASSERT_FALSE(file.empty()) << "no ARM_7seg4.c in the built data folder";
    for (std::size_t i = 0; i < file.size(); ++i) {
        const bool loneLf = file[i] == '\n' && (i == 0 || file[i - 1] != '\r');
        const bool loneCr = file[i] == '\r' && (i + 1 == file.size() || file[i + 1] != '\n');
        ASSERT_FALSE(loneLf || loneCr) << "a lone line end at byte " << i;
    }
    EXPECT_EQ(file.back(), '\n');
}

TEST(ShippedCodeFile, ListsShowDigitAndHoldsEveryBlock) {
    Display d(shippedCodeFile());
    d.control.put_QuorvaneVersion(0x0800);
    EXPECT_THAT(strings(d.control.get_MacroNames()), ElementsAre(u"ShowDigit|SHOW_DIGIT|void"));
    EXPECT_THAT(strings(d.control.get_MacroParameters(0)),
                ElementsAre(u"Digit|DIGIT|char", u"Value|VALUE|char", u"DecimalPoint|DECIMAL_PT|char"));
    EXPECT_EQ(d.control.get_MacroIsFunction(0) | d.control.get_MacroIsPrivate(0), 0);
    // No start-up code and no interrupt: both blocks are there and empty.
    EXPECT_EQ(d.control.get_HasInitialisation() | d.control.get_HasInterrupts(), 0);
    const std::u16string defines = d.control.get_DefinesCode();
    EXPECT_THAT(toUtf8(defines), HasSubstr("\nvoid SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT);\n"));
    EXPECT_EQ(defines.find(u'%'), std::u16string::npos) << "handed out without substitution";

    // In the macro "%" stands only in front of a placeholder letter, and every placeholder but
    // the two constants and the eight-bit anode complement is used.
    const std::u16string macro = d.control.get_MacroCode(0);
    EXPECT_THAT(toUtf8(macro), HasSubstr("void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT)\n{"));
    std::u16string used;
    for (std::size_t p = macro.find(u'%'); p != std::u16string::npos; p = macro.find(u'%', p + 1)) {
        ASSERT_TRUE(p + 1 < macro.size() && macro[p + 1] >= u'a' && macro[p + 1] <= u't')
            << "stray % at " << p;
        if (used.find(macro[p + 1]) == std::u16string::npos) used += macro[p + 1];
    }
    std::sort(used.begin(), used.end());
    EXPECT_EQ(used, u"abcdefghijklmqrst");
    EXPECT_TRUE(d.platform.messageBoxes.empty());
}

} // namespace
} // namespace seg4::test
