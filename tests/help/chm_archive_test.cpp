// The container reader tells a damaged or foreign file from a help file: a help test that
// passed on garbage would prove nothing.
#include "chm_archive.h"
#include "help_project.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>

namespace seg4::test {
namespace {

void putU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getU32(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

TEST(ChmArchive, RejectsDamagedContainers) {
    const std::vector<std::uint8_t> good = readBytes(builtHelpFile());
    ASSERT_NO_THROW(ChmArchive{good});
    const std::size_t directory = getU32(good, 0x48);
    const std::size_t firstChunk = directory + getU32(good, directory + 0x08);

    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"empty file", [](auto& b) { b.clear(); }},
        {"foreign signature", [](auto& b) { std::memcpy(b.data(), "PK\3\4", 4); }},
        {"unknown version", [](auto& b) { putU32(b, 4, 7); }},
        {"cut inside the header", [](auto& b) { b.resize(0x40); }},
        {"cut inside the directory", [&](auto& b) { b.resize(firstChunk + 0x100); }},
        {"directory beyond the end", [](auto& b) { putU32(b, 0x48, 0x7FFFFFF0); }},
        {"no directory signature", [&](auto& b) { b[directory] = 'X'; }},
        {"no listing signature", [&](auto& b) { b[firstChunk] = 'X'; }},
        {"free space larger than the chunk", [&](auto& b) { putU32(b, firstChunk + 4, 0x10000); }},
        {"listing chain loops", [&](auto& b) { putU32(b, firstChunk + 0x10, 0); }},
        {"entry name longer than its chunk",
         [&](auto& b) {
             const std::uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0x7F};
             std::memcpy(b.data() + firstChunk + 0x14, huge, sizeof huge);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        EXPECT_THROW(ChmArchive{bytes}, std::runtime_error);
    }
}

TEST(ChmArchive, ReadsStoredFilesOnlyWithinTheContainer) {
    const ChmArchive chm = ChmArchive::fromFile(builtHelpFile());
    const ChmEntry* page = chm.find("/index.htm");
    ASSERT_NE(page, nullptr);
    EXPECT_THROW(chm.readStored(*page), std::runtime_error) << "pages are compressed";

    ChmEntry outside = *chm.find("/#SYSTEM");
    outside.offset = 1u << 30;
    EXPECT_THROW(chm.readStored(outside), std::runtime_error);
    EXPECT_THROW(systemRecords({3, 0, 0, 0, 3, 0, 200, 0, 'x'}), std::runtime_error);
}

} // namespace
} // namespace seg4::test
