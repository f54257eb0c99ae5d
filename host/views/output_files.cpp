// Files of a run.
#include "views/output_files.h"

#include "display/compositor.h"
#include "files/bounded_read.h"
#include "files/replace_file.h"

#include <array>
#include <cstdint>

namespace qhost {

using seg4::Frame;

void writeFile(const std::string& path, const std::string& bytes) {
    try {
        files::replaceFile(path, bytes);
    } catch (const files::WriteError& e) {
        throw OutputError(e.what());
    }
}

std::string readFile(const std::string& path) {
    try {
        return files::readBounded(path);
    } catch (const files::ReadError& e) {
        throw OutputError(e.what());
    }
}

void writeSnapshot(const Frame& picture, const std::string& path) {
    const std::vector<std::uint8_t> png = seg4::encodePng(picture);
    writeFile(path, std::string(png.begin(), png.end()));
}

// An animated PNG is the frames' own PNG streams re-wrapped: the first frame's IDAT, the others'
// as fdAT chunks, each after its frame control chunk.
namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put32(std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
}

struct PngChunks {
    std::string ihdr;
    std::string idat; // all IDAT data joined
};

PngChunks readChunks(const std::vector<std::uint8_t>& png) {
    PngChunks c;
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::uint32_t len = static_cast<std::uint32_t>(png[pos]) << 24 |
                                  static_cast<std::uint32_t>(png[pos + 1]) << 16 |
                                  static_cast<std::uint32_t>(png[pos + 2]) << 8 | png[pos + 3];
        const std::string type(reinterpret_cast<const char*>(&png[pos + 4]), 4);
        if (pos + 12 + len > png.size()) break;
        const std::string data(reinterpret_cast<const char*>(&png[pos + 8]), len);
        if (type == "IHDR") c.ihdr = data;
        if (type == "IDAT") c.idat += data;
        pos += 12 + len;
    }
    return c;
}

} // namespace

std::string animatedPng(const std::vector<Frame>& frames, int delayMs) {
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const PngChunks c = readChunks(seg4::encodePng(frames[i]));
        if (i == 0) {
            chunk(out, "IHDR", c.ihdr);
            std::string actl;
            put32(actl, static_cast<std::uint32_t>(frames.size()));
            put32(actl, 0); // play forever
            chunk(out, "acTL", actl);
        }
        std::string fctl;
        put32(fctl, sequence++);
        put32(fctl, static_cast<std::uint32_t>(frames[i].width));
        put32(fctl, static_cast<std::uint32_t>(frames[i].height));
        put32(fctl, 0);
        put32(fctl, 0);
        fctl += static_cast<char>((delayMs >> 8) & 0xFF);
        fctl += static_cast<char>(delayMs & 0xFF);
        fctl += static_cast<char>(0x03); // delay in 1/1000 s
        fctl += static_cast<char>(0xE8);
        fctl += '\0'; // dispose: none
        fctl += '\0'; // blend: source
        chunk(out, "fcTL", fctl);
        if (i == 0) {
            chunk(out, "IDAT", c.idat);
        } else {
            std::string fdat;
            put32(fdat, sequence++);
            chunk(out, "fdAT", fdat + c.idat);
        }
    }
    chunk(out, "IEND", "");
    return out;
}

} // namespace qhost
