// The page as a script drives it: what a session reports, and scripts that use it wrongly.
#include "backends/page_picture.h"
#include "display/pictures.h"
#include "helpers.h"
#include "host/host_fixture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qhost::test {
namespace {

TEST(PageCommands, AnswersAndFaults) {
    const struct {
        const char* script;
        int status;
        const char* shows;
    } rows[] = {
        // A preview of a size that is no multiple of 5 is drawn at whole pixels.
        {"page open\npage scrollto 51\nprint PagePreviewWidth & \"x\" & PagePreviewHeight", 0, "41x51"},
        {"page open\npage pick YELLOW\nprint PageListText", 0, "Yellow"},
        {"page open\npage cancel\npage apply", 2, "no property page is open"},
        {"print PageScroll", 2, "no property page is open"},
        {"PageScroll = 3", 2, "built in and cannot be assigned"},
        {"page open nobody", 2, "no display named 'nobody'"},
        {"page open\npage open", 2, "a property page is open already"},
        {"page open\npage pick 4", 2, "has no item '4'"},
        {"page open\npage scroll up", 2, "must be a whole number, not 'up'"},
        {"page open\npage scroll +1 sideways", 2, "usage: page"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        const ScriptRun run = runScript(std::string("place\n") + row.script);
        EXPECT_EQ(run.status, row.status) << run.output;
        EXPECT_TRUE(contains(run.output, row.shows)) << run.output;
    }
}

TEST(PageCommands, TheSnapshotShowsThePreviewInTheChosenColour) {
    seg4::test::TempDir dir;
    const std::string file = (dir / "page.png").string();
    for (const auto& [colour, red, green, blue] : {std::tuple{"Yellow", 255, 216, 0}, {"Red", 255, 0, 0}}) {
        SCOPED_TRACE(colour);
        const ScriptRun run =
            runScript(std::string("place\npage open\npage pick ") + colour + "\npage snapshot " + file);
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string png = seg4::test::readText(file);
        const seg4::Frame page =
            seg4::decodePng({reinterpret_cast<const std::uint8_t*>(png.data()), png.size()});
        ASSERT_EQ(page.width, 320); // 4800 x 3600 twips at 15 twips per pixel
        ASSERT_EQ(page.height, 240);
        int lit = 0; // pixels of the lit segments' colour, all inside the 40 x 50 preview
        for (int y = 0; y < page.height; ++y)
            for (int x = 0; x < page.width; ++x) {
                const std::uint32_t p = page.at(x, y);
                if (seg4::px::red(p) != red || seg4::px::green(p) != green || seg4::px::blue(p) != blue)
                    continue;
                ++lit;
                EXPECT_TRUE(x >= 174 && x < 214 && y >= 97 && y < 147) << x << "," << y;
            }
        EXPECT_GT(lit, 100);
    }
}

// The labels draw their captions as 8-bit text in their font's character set: a Russian page
// shows its labels in Cyrillic letters, not in the Latin letters its converted captions hold.
TEST(PageCommands, TheSnapshotShowsTheLabelsInTheLanguagesLetters) {
    seg4::PosixPlatform platform;
    installHost(platform);
    platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", u"ru");
    NativeBackend backend(platform);
    std::ostringstream out;
    Interpreter interpreter(backend, out);
    ASSERT_EQ(interpreter.run(parseScript("place\npage open\n", "t.qhs").script), 0) << out.str();
    PageSession& page = *interpreter.page().session;
    const PageState converted = page.state();
    ASSERT_EQ(converted.colourLabel.caption, u"\u00D6\u00E2\u00E5\u00F2");
    PageState cyrillic = converted;
    cyrillic.colourLabel.caption = u"\u0426\u0432\u0435\u0442";
    cyrillic.sizeLabel.caption = u"\u0420\u0430\u0437\u043C\u0435\u0440";
    const auto picture = [&](const PageState& s) { return drawPage(s, 15, 15).pixels; };
    ASSERT_NE(picture(cyrillic), picture(converted)) << "the labels' font draws both alike";
    EXPECT_TRUE(page.picture().pixels == picture(cyrillic));
}

} // namespace
} // namespace qhost::test
