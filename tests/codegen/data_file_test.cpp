// The code file that ships beside the module: its line ends, its macro list and its blocks as
// the component reads them.
#include "codegen/placeholders.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

std::string shippedCodeFile() {
    const char* dir = std::getenv("SEG4_DATA_DIR");
    if (!dir) return {};
    std::ifstream in(std::filesystem::path(dir) / "ARM_7seg4.c", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ShippedCodeFile : public CodegenTest {
protected:
    void SetUp() override {
        file_ = shippedCodeFile();
        ASSERT_FALSE(file_.empty()) << "no ARM_7seg4.c in the built data folder";
        setCodeFile(file_);
        start();
        control.put_QuorvaneVersion(0x0800);
    }
    std::string file_;
};

TEST_F(ShippedCodeFile, EndsEveryLineWithCrLf) {
    // With LF-only line ends the block reader would find no block at all.
    std::size_t lines = 0;
    for (std::size_t i = 0; i < file_.size(); ++i) {
        if (file_[i] == '\n') {
            ASSERT_TRUE(i > 0 && file_[i - 1] == '\r') << "a lone LF at byte " << i;
            ++lines;
        } else if (file_[i] == '\r') {
            ASSERT_TRUE(i + 1 < file_.size() && file_[i + 1] == '\n') << "a lone CR at byte " << i;
        }
    }
    EXPECT_GT(lines, 0u);
    EXPECT_EQ(file_.back(), '\n');
}

TEST_F(ShippedCodeFile, ListsShowDigitWithItsThreeParameters) {
    EXPECT_THAT(strings(control.get_MacroNames()), ElementsAre(u"ShowDigit|SHOW_DIGIT|void"));
    EXPECT_THAT(strings(control.get_MacroParameters(0)),
                ElementsAre(u"Digit|DIGIT|char", u"Value|VALUE|char", u"DecimalPoint|DECIMAL_PT|char"));
    EXPECT_EQ(control.get_MacroIsFunction(0), 0);
    EXPECT_EQ(control.get_MacroIsPrivate(0), 0);
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ShippedCodeFile, HoldsEveryBlockAndNeedsNoStartUpOrInterruptCode) {
    EXPECT_EQ(control.get_HasInitialisation(), 0);
    EXPECT_EQ(control.get_HasInterrupts(), 0);
    const std::u16string defines = control.get_DefinesCode();
    EXPECT_THAT(toUtf8(defines),
                ::testing::HasSubstr("void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT);\n"));
    EXPECT_EQ(defines.find(u'%'), std::u16string::npos) << "DefinesCode is handed out without substitution";
    const std::u16string macro = control.get_MacroCode(0);
    EXPECT_NE(macro.find(u"void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT)\n{"),
              std::u16string::npos)
        << toUtf8(macro);
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(ShippedCodeFile, WritesPercentOnlyAsAPlaceholderInItsMacro) {
    const std::u16string macro = control.get_MacroCode(0);
    std::u16string used;
    for (std::size_t p = macro.find(u'%'); p != std::u16string::npos; p = macro.find(u'%', p + 1)) {
        ASSERT_LT(p + 1, macro.size());
        const char16_t letter = macro[p + 1];
        ASSERT_TRUE(letter >= u'a' && letter <= u't') << "a stray per cent sign at " << p;
        if (used.find(letter) == std::u16string::npos) used += letter;
    }
    // The ports, every figure's segment lines, the point and the four anodes.
    for (char16_t letter : std::u16string(u"abcdefghijklmqrst"))
        EXPECT_NE(used.find(letter), std::u16string::npos) << static_cast<char>(letter);
}

} // namespace
} // namespace seg4::test
