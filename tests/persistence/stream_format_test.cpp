// The settings stream: every kind of value comes back as written, reading stops at the end of
// the control's data, and a stream cut short anywhere or damaged fails with its own result code.
#include "automation/errors.h"
#include "persistence/stream_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace seg4 {
namespace {

using Bytes = std::vector<unsigned char>;

/// Reads `bytes` at most `chunk` bytes a call; `at` is how far the reader went.
struct Source {
    const Bytes& bytes;
    std::size_t chunk;
    std::size_t at = 0;
    std::size_t operator()(unsigned char* into, std::size_t size) {
        const std::size_t n = std::min({size, bytes.size() - at, chunk});
        if (n > 0) std::memcpy(into, bytes.data() + at, n);
        at += n;
        return n;
    }
};

HResult failureOf(const Bytes& bytes) {
    Source source{bytes, bytes.size()};
    try {
        readSettingsStream(std::ref(source));
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

StoredEntries everyKind() {
    StoredEntries e;
    for (const Variant& v :
         {Variant(), Variant::null(), Variant::i2(-5), Variant::i4(70000), Variant::r4(1.5f),
          Variant::r8(-2.25), Variant::date(45000.5), Variant::currency(123450000),
          Variant::string(u"Gr\u00FCn \u20AC"), Variant::boolean(true), Variant::error(7), Variant::ui1(255),
          Variant::i8(-(std::int64_t{1} << 40))})
        e.WriteProperty(u"v" + std::u16string(1, static_cast<char16_t>(u'a' + e.entries.size())), v);
    return e;
}

TEST(SettingsStream, EveryKindComesBackAndReadingStopsAtTheControlsData) {
    const StoredEntries written = everyKind();
    Bytes bytes = writeSettingsStream(written);
    const std::size_t controlData = bytes.size();
    bytes.insert(bytes.end(), {'h', 'o', 's', 't'}); // the container's own data after the control's
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, bytes.size()}) {
        Source source{bytes, chunk};
        const StoredEntries read = readSettingsStream(std::ref(source));
        EXPECT_EQ(source.at, controlData) << chunk;
        ASSERT_EQ(read.entries.size(), written.entries.size());
        for (std::size_t i = 0; i < read.entries.size(); ++i) {
            EXPECT_EQ(read.entries[i].first, written.entries[i].first);
            EXPECT_TRUE(read.entries[i].second == written.entries[i].second) << i;
        }
    }
}

TEST(SettingsStream, DamagedStreamsFailWithTheirCode) {
    const Bytes good = writeSettingsStream(everyKind());
    // Cut short anywhere: the stream ends inside the control's data.
    for (std::size_t length = 0; length < good.size(); ++length)
        ASSERT_EQ(failureOf(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length))),
                  hr::StreamReadFault)
            << length;
    const auto changed = [&good](std::size_t at, unsigned char byte) {
        Bytes b = good;
        b[at] = byte;
        return b;
    };
    EXPECT_EQ(failureOf(changed(0, 'X')), hr::StreamInvalidHeader);
    EXPECT_EQ(failureOf(changed(4, 2)), hr::StreamOldFormat);
    EXPECT_EQ(failureOf(changed(10 + 4 + 2 * 2, 0x0C)), hr::StreamInvalidHeader); // first value: a Variant?
    EXPECT_EQ(failureOf(changed(13, 0x7F)), hr::StreamReadFault);                 // a name of 2 billion units
    StoredEntries array;
    array.WriteProperty(u"a", Variant::array(VarType::Variant, 0, {Variant::i2(1)}));
    EXPECT_THROW(writeSettingsStream(array), ComError);
}

} // namespace
} // namespace seg4
