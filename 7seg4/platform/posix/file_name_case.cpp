#include "file_name_case.h"

#include "automation/conversions.h"
#include "letter_case.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

namespace seg4::posix {

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

/// Equal without regard to letter case, for `wanted` in ASCII: no other character has an
/// ASCII letter as its capital, so a name with any other byte differs.
bool equalToAsciiName(std::string_view candidate, std::string_view wanted) {
    if (candidate.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        if (text::asciiUpperCase(static_cast<unsigned char>(candidate[i])) !=
            text::asciiUpperCase(static_cast<unsigned char>(wanted[i])))
            return false;
    return true;
}

/// What one look at a folder found for a name.
struct Listing {
    bool opened = false;              ///< the folder could be read
    std::optional<std::string> found; ///< the entry of that name in some letter case
};

/// The entry of `folder` named `name` in some letter case: the name as spelt when there is
/// one, otherwise the case variant that sorts first.
Listing findNoCase(const std::string& folder, const std::string& name) {
    // The entries straight from the system, without the folder stream's own status query.
    struct Folder {
        int fd;
        ~Folder() {
            if (fd >= 0) ::close(fd);
        }
    } const dir{::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0) return {};
    const bool ascii =
        std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::u16string wanted = ascii ? std::u16string() : fromUtf8(name);
    Listing listing{true, std::nullopt};
    alignas(dirent64) char buffer[16384];
    for (ssize_t filled; (filled = ::getdents64(dir.fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < filled;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::string_view candidate = entry->d_name;
            if (candidate == "." || candidate == "..") continue;
            if (candidate == name) return {true, name};
            if (ascii ? !equalToAsciiName(candidate, name)
                      : !text::equalIgnoringNameCase(fromUtf8(std::string(candidate)), wanted))
                continue;
            if (!listing.found || candidate < *listing.found) listing.found = candidate;
        }
    }
    return listing;
}

/// The components of `path` from the first one that does not exist as spelt, each replaced by a
/// case variant from its folder.
std::string resolveFromRoot(const std::string& path) {
    std::string resolved = path.front() == '/' ? "/" : "";
    std::size_t at = resolved.size();
    while (at <= path.size()) {
        const std::size_t slash = path.find('/', at);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        const std::string component = path.substr(at, end - at);
        const bool last = slash == std::string::npos;
        if (!component.empty()) {
            std::string next = resolved + component;
            if (component != "." && component != ".." && !exists(next)) {
                const std::optional<std::string> found = findNoCase(resolved, component).found;
                if (!found) return path; // nothing by that name: the original fails as it would
                next = resolved + *found;
            }
            resolved = std::move(next);
            if (!last) resolved += '/';
        } else if (!last && (resolved.empty() || resolved.back() != '/')) {
            resolved += '/';
        }
        if (last) break;
        at = end + 1;
    }
    return resolved;
}

} // namespace

std::string resolveLetterCase(const std::string& path) {
    if (path.empty()) return path;
    const std::size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty() || name == "." || name == "..") return exists(path) ? path : resolveFromRoot(path);
    const std::string folder =
        slash == std::string::npos ? "" : path.substr(0, std::max<std::size_t>(slash, 1));
    // The usual miss: the folder is there as spelt and only the file's own name differs, or
    // the file is not there at all. One look at the folder settles both, and an entry spelt
    // as asked is the path itself.
    const Listing listing = findNoCase(folder, name);
    if (listing.opened) {
        if (!listing.found) return path;
        const std::string& found = *listing.found;
        return folder.empty() ? found : folder.back() == '/' ? folder + found : folder + '/' + found;
    }
    if (exists(path)) return path;
    if (!folder.empty() && !exists(folder)) return resolveFromRoot(path);
    return path;
}

} // namespace seg4::posix
