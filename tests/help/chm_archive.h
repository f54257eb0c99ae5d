// A reader for the container of a compiled help file: its header, its directory and the files
// it stores uncompressed. Enough to tell a real help file from anything else and to list what
// it holds; pages stored compressed are listed, not unpacked.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace seg4::test {

struct ChmEntry {
    std::string name;          // "/index.htm", "/#SYSTEM", "::DataSpace/NameList", ...
    std::uint64_t section = 0; // 0 = stored as is, 1 = compressed
    std::uint64_t offset = 0;  // within the section
    std::uint64_t length = 0;  // uncompressed length
};

class ChmArchive {
public:
    /// Parses the container. Throws std::runtime_error saying what is wrong when the bytes are
    /// not a well-formed help container.
    explicit ChmArchive(std::vector<std::uint8_t> bytes);
    static ChmArchive fromFile(const std::string& path);

    std::uint32_t version() const noexcept { return version_; }
    std::uint32_t languageId() const noexcept { return languageId_; }
    const std::vector<ChmEntry>& entries() const noexcept { return entries_; }
    /// The entry with exactly this name, or nullptr.
    const ChmEntry* find(std::string_view name) const;
    /// The content of a file stored as is (section 0). Throws for a compressed file or one that
    /// lies outside the container.
    std::vector<std::uint8_t> readStored(const ChmEntry& entry) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t version_ = 0;
    std::uint32_t languageId_ = 0;
    std::uint64_t contentOffset_ = 0;
    std::vector<ChmEntry> entries_;

    void readDirectory(std::uint64_t offset, std::uint64_t length);
};

/// The records of the "#SYSTEM" file, by record code (0 contents file, 1 index file, 2 default
/// topic, 3 title, 5 default window, ...). Text records lose their terminating NUL. Throws
/// std::runtime_error when a record runs past the end.
std::map<std::uint16_t, std::string> systemRecords(const std::vector<std::uint8_t>& system);

} // namespace seg4::test
