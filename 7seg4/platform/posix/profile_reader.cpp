// First version of the profile rules: sections and keys case-insensitive and trimmed, first
// section and entry win, quotes stripped, CR LF or LF line ends, buffer truncation.
#include "profile_reader.h"

#include <algorithm>
#include <cctype>

namespace seg4 {

namespace {

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string truncated(std::string_view value, std::size_t bufferChars) {
    if (bufferChars == 0) return {};
    return std::string(value.substr(0, std::min(value.size(), bufferChars - 1)));
}

} // namespace

std::string readProfileString(std::string_view content, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferChars) {
    const std::string_view wantedSection = trim(section);
    const std::string_view wantedKey = trim(key);
    bool inSection = false;
    bool sectionSeen = false;
    std::size_t pos = 0;
    while (pos <= content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = content.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        std::string_view t = trim(line);
        if (!t.empty() && t.front() == '[') {
            if (inSection) break; // only the first section of that name is searched
            std::size_t close = t.find(']');
            std::string_view name =
                trim(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1));
            inSection = !sectionSeen && equalNoCase(name, wantedSection);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        std::size_t eq = t.find('=');
        if (eq == std::string_view::npos) continue;
        if (!equalNoCase(trim(t.substr(0, eq)), wantedKey)) continue;
        std::string_view value = trim(t.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return truncated(value, bufferChars);
    }
    return truncated(defaultValue, bufferChars);
}

} // namespace seg4
