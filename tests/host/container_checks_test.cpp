// Checks of the display's picture and of files as a script makes them: `expect picture` names
// every injected difference, and FileText refuses bytes that are not text.
#include "display/compositor.h"
#include "display/pictures.h"
#include "host_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <unistd.h>

namespace qhost {
namespace {

namespace fs = std::filesystem;

class Folder {
public:
    Folder() : path_(fs::temp_directory_path() / ("qhost-checks-" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string png(const seg4::Frame& frame) {
    const std::vector<std::uint8_t> bytes = seg4::encodePng(frame);
    return {bytes.begin(), bytes.end()};
}

const char* const kLit = "place\nSimWritePins(Array(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0))\n";

TEST(ExpectPicture, PassesOnItsOwnSnapshotAndNamesEveryInjectedDifference) {
    Folder folder;
    const std::string reference = folder.file("reference.png");
    ASSERT_EQ(test::runScript(std::string(kLit) + "snapshot " + reference + "\n").status, 0);
    const std::string bytes = readBytes(reference);
    const seg4::Frame shown =
        seg4::decodePng(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_EQ(shown.width, 160);

    const auto changed = [&](int x, int y, std::uint32_t pixel) {
        seg4::Frame f = shown;
        f.pixels[static_cast<std::size_t>(y) * 160 + static_cast<std::size_t>(x)] = pixel;
        return png(f);
    };
    seg4::Frame narrower{159, 50, {}};
    narrower.pixels.assign(159 * 50, seg4::px::pack(0, 0, 0, 255));
    struct Fault {
        const char* what;
        std::string file; // the stored picture's bytes; empty: no file at all
        int status;
        std::string shows;
    };
    const Fault faults[] = {
        {"none", bytes, 0, ""},
        {"the first pixel", changed(0, 0, seg4::px::pack(1, 2, 3, 255)), 1,
         "first at (0, 0): &H131416 shown, &H010203 stored"},
        {"the last pixel", changed(159, 49, seg4::px::pack(255, 255, 255, 255)), 1,
         "first at (159, 49): &H131416 shown, &HFFFFFF stored"},
        {"a lit pixel half transparent", changed(140, 25, seg4::px::premultiply(0x80, 0x40, 0x20, 128)), 1,
         "first at (140, 25): &HDC342F shown, &H804020 (alpha 128) stored"},
        {"a narrower picture", png(narrower), 1,
         "picture is 160 x 50, " + folder.file("stored.png") + " is 159 x 50"},
        {"no PNG", "not a picture\n", 2, "is no PNG picture"},
        {"no file", "", 2, "t.qhs:3:"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        const std::string stored = folder.file("stored.png");
        fs::remove(stored);
        if (!fault.file.empty()) writeBytes(stored, fault.file);
        const test::ScriptRun r = test::runScript(std::string(kLit) + "expect picture " + stored + "\n");
        EXPECT_EQ(r.status, fault.status) << r.output;
        EXPECT_TRUE(test::contains(r.output, fault.shows)) << r.output;
        if (fault.status == 1) {
            EXPECT_TRUE(test::contains(r.output, "FAILED t.qhs:3: ")) << r.output;
        }
    }
}

TEST(FileText, ReadsTextAsWrittenAndRefusesBytesThatAreNotText) {
    Folder folder;
    struct Row {
        const char* what;
        std::string bytes;
        std::string shows;
    };
    const Row rows[] = {
        {"plain text", "a\r\nb", "\"a\" & vbCrLf & \"b\""},
        {"UTF-8 text", "gr\xC3\xBC\xC3\x9F", "\"gr\xC3\xBC\xC3\x9F\""},
        {"an empty file", "", "\"\""},
        {"a NUL byte", std::string("ab\0c", 4),
         "error: 0x800A0036 " + folder.file("f") + " is not text: a NUL byte at offset 2"},
        {"a lone continuation byte", "ok\x80", "is not UTF-8 text: a bad byte at offset 2"},
        {"a cut sequence", "\xC3", "is not UTF-8 text: a bad byte at offset 0"},
        {"a PNG signature", "\x89PNG\r\n\x1A\n", "is not UTF-8 text: a bad byte at offset 0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        writeBytes(folder.file("f"), row.bytes);
        const test::ScriptRun r = test::runScript("x = FileText(\"" + folder.file("f") + "\")\nx\n");
        EXPECT_TRUE(test::contains(r.output, row.shows)) << r.output;
    }
}

} // namespace
} // namespace qhost
