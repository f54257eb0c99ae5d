// The test double's registry answers and the faults other tests inject through it.
#include "automation/errors.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

namespace seg4 {
namespace {

TEST(FakePlatformRegistry, QueriesCountAnsiBytesAndInjectedFailures) {
    test::FakePlatform platform;
    platform.setRegistryValue(u"Software\\A", u"Full", std::u16string(255, u'x'));
    platform.setRegistryValue(u"Software\\A", u"Over", std::u16string(256, u'x'));
    platform.setRegistryValue(u"Software\\A", u"Nul", std::u16string(u"ab\0cd", 5));
    platform.setRegistryValue(u"Software\\A", u"Broken", u"v");
    platform.failRegistryQuery(u"software\\a", u"BROKEN");
    auto key = platform.openCurrentUserKey(u"SOFTWARE\\A");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->queryString(u"full", 256), std::u16string(255, u'x')); // 255 bytes + NUL fill 256
    EXPECT_EQ(key->queryString(u"Over", 256), std::nullopt);
    EXPECT_EQ(key->queryString(u"Nul", 256), u"ab");
    EXPECT_EQ(key->queryString(u"Broken", 256), std::nullopt);
    EXPECT_EQ(platform.registryOpens, 1);
}

TEST(FakePlatformFiles, VanishingAndHiddenFiles) {
    test::FakePlatform platform;
    platform.setFile(u"C:\\m\\code.c", "[a]\nx=1\n");
    platform.removeFileAfterCheck(u"C:\\m\\code.c");
    EXPECT_TRUE(platform.isOrdinaryFile(u"C:\\m\\code.c"));
    try {
        platform.readFile(u"C:\\m\\code.c");
        ADD_FAILURE() << "the file should be gone";
    } catch (const ComError& e) {
        EXPECT_EQ(e.code(), hr::FileNotFound);
    }
    EXPECT_EQ(platform.profileString("a", "x", "d", 255, u"C:\\m\\code.c"), "d");
    EXPECT_FALSE(platform.isOrdinaryFile(u"C:\\m\\code.c"));

    platform.setHiddenFile(u"C:\\m\\hidden.c", "[a]\nx=2\n");
    EXPECT_FALSE(platform.isOrdinaryFile(u"C:\\m\\hidden.c"));
    EXPECT_EQ(platform.readFile(u"C:\\m\\hidden.c").size(), 8u);
    EXPECT_EQ(platform.profileString("a", "x", "d", 255, u"C:\\m\\hidden.c"), "2");
}

} // namespace
} // namespace seg4
