// Reads the container of a compiled help file: the ITSF header, the ITSP directory with its
// PMGL listing chunks, and files stored as is.
#include "chm_archive.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace seg4::test {

namespace {

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error("not a help container: " + what); }

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::uint64_t at) {
    if (at > b.size() || b.size() - at < 4) fail("field beyond the end of the file");
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint64_t u64(const std::vector<std::uint8_t>& b, std::uint64_t at) {
    return static_cast<std::uint64_t>(u32(b, at)) | static_cast<std::uint64_t>(u32(b, at + 4)) << 32;
}

bool signatureAt(const std::vector<std::uint8_t>& b, std::uint64_t at, std::string_view sig) {
    return at <= b.size() && b.size() - at >= sig.size() &&
           std::equal(sig.begin(), sig.end(), b.begin() + at);
}

/// A variable-length number of the directory: seven bits a byte, most significant first, the
/// top bit set on every byte but the last.
std::uint64_t encInt(const std::vector<std::uint8_t>& b, std::uint64_t& at, std::uint64_t end) {
    std::uint64_t value = 0;
    for (int n = 0; n < 9; ++n) {
        if (at >= end) fail("directory entry runs past its chunk");
        const std::uint8_t byte = b[at++];
        value = value << 7 | (byte & 0x7Fu);
        if ((byte & 0x80u) == 0) return value;
    }
    fail("directory number longer than 63 bits");
}

} // namespace

ChmArchive::ChmArchive(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (!signatureAt(bytes_, 0, "ITSF")) fail("no ITSF signature");
    version_ = u32(bytes_, 4);
    const std::uint32_t headerLength = u32(bytes_, 8);
    if (version_ != 2 && version_ != 3) fail("ITSF version " + std::to_string(version_));
    const std::uint32_t expectedHeader = version_ == 3 ? 0x60 : 0x58;
    if (headerLength != expectedHeader) fail("ITSF header length " + std::to_string(headerLength));
    if (bytes_.size() < headerLength) fail("file shorter than its header");
    languageId_ = u32(bytes_, 0x14);

    const std::uint64_t directoryOffset = u64(bytes_, 0x48);
    const std::uint64_t directoryLength = u64(bytes_, 0x50);
    contentOffset_ = version_ == 3 ? u64(bytes_, 0x58) : directoryOffset + directoryLength;
    if (directoryOffset > bytes_.size() || bytes_.size() - directoryOffset < directoryLength)
        fail("directory beyond the end of the file");
    if (contentOffset_ > bytes_.size()) fail("content beyond the end of the file");
    readDirectory(directoryOffset, directoryLength);
}

ChmArchive ChmArchive::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return ChmArchive(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
}

void ChmArchive::readDirectory(std::uint64_t offset, std::uint64_t length) {
    if (length < 0x54 || !signatureAt(bytes_, offset, "ITSP")) fail("no ITSP directory header");
    const std::uint32_t headerLength = u32(bytes_, offset + 0x08);
    const std::uint32_t chunkSize = u32(bytes_, offset + 0x10);
    const auto firstListing = static_cast<std::int32_t>(u32(bytes_, offset + 0x20));
    const std::uint32_t chunkCount = u32(bytes_, offset + 0x2C);
    if (chunkSize < 0x20) fail("directory chunks of " + std::to_string(chunkSize) + " bytes");
    if (headerLength > length || (length - headerLength) / chunkSize < chunkCount)
        fail("directory chunks beyond the directory");

    // The listing chunks form a chain; a chain longer than the chunk count loops.
    std::int32_t chunk = firstListing;
    for (std::uint32_t visited = 0; chunk != -1; ++visited) {
        if (chunk < 0 || static_cast<std::uint32_t>(chunk) >= chunkCount) fail("listing chunk out of range");
        if (visited == chunkCount) fail("listing chunks form a loop");
        const std::uint64_t start = offset + headerLength + static_cast<std::uint64_t>(chunk) * chunkSize;
        if (!signatureAt(bytes_, start, "PMGL")) fail("listing chunk without PMGL signature");
        const std::uint32_t freeSpace = u32(bytes_, start + 4);
        if (freeSpace > chunkSize - 0x14) fail("listing chunk with more free space than room");
        const std::uint64_t end = start + chunkSize - freeSpace;
        std::uint64_t at = start + 0x14;
        while (at < end) {
            ChmEntry entry;
            const std::uint64_t nameLength = encInt(bytes_, at, end);
            if (nameLength > end - at) fail("directory entry name runs past its chunk");
            entry.name.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes_.begin() + static_cast<std::ptrdiff_t>(at + nameLength));
            at += nameLength;
            entry.section = encInt(bytes_, at, end);
            entry.offset = encInt(bytes_, at, end);
            entry.length = encInt(bytes_, at, end);
            entries_.push_back(std::move(entry));
        }
        chunk = static_cast<std::int32_t>(u32(bytes_, start + 0x10));
    }
}

const ChmEntry* ChmArchive::find(std::string_view name) const {
    for (const ChmEntry& e : entries_)
        if (e.name == name) return &e;
    return nullptr;
}

std::vector<std::uint8_t> ChmArchive::readStored(const ChmEntry& entry) const {
    if (entry.section != 0) throw std::runtime_error(entry.name + " is compressed");
    const std::uint64_t room = bytes_.size() - contentOffset_;
    if (entry.offset > room || room - entry.offset < entry.length)
        throw std::runtime_error(entry.name + " lies beyond the end of the file");
    const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(contentOffset_ + entry.offset);
    return {first, first + static_cast<std::ptrdiff_t>(entry.length)};
}

std::map<std::uint16_t, std::string> systemRecords(const std::vector<std::uint8_t>& system) {
    std::map<std::uint16_t, std::string> records;
    std::size_t at = 4; // after the version
    while (at + 4 <= system.size()) {
        const auto code = static_cast<std::uint16_t>(system[at] | system[at + 1] << 8);
        const auto length = static_cast<std::size_t>(system[at + 2] | system[at + 3] << 8);
        at += 4;
        if (length > system.size() - at) throw std::runtime_error("#SYSTEM record runs past the end");
        std::string data(system.begin() + static_cast<std::ptrdiff_t>(at),
                         system.begin() + static_cast<std::ptrdiff_t>(at + length));
        if (!data.empty() && data.back() == '\0') data.pop_back();
        records[code] = std::move(data);
        at += length;
    }
    return records;
}

} // namespace seg4::test
