#include "file_name_case.h"

#include "automation/conversions.h"
#include "letter_case.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace seg4::posix {

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

/// The entry of `folder` named `name` in some letter case.
std::optional<std::string> findNoCase(const std::string& folder, const std::string& name) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                  ::closedir);
    if (!dir) return std::nullopt;
    const std::u16string wanted = fromUtf8(name);
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..") continue;
        if (!text::equalIgnoringNameCase(fromUtf8(candidate), wanted)) continue;
        if (!best || candidate < *best) best = candidate;
    }
    return best;
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
                const std::optional<std::string> found = findNoCase(resolved, component);
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
    if (path.empty() || exists(path)) return path;
    // The usual miss: the folder is there as spelt and only the file's own name differs, or
    // the file is not there at all. One look at the folder settles both.
    const std::size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty() || name == "." || name == "..") return resolveFromRoot(path);
    const std::string folder =
        slash == std::string::npos ? "" : path.substr(0, std::max<std::size_t>(slash, 1));
    if (!folder.empty() && !exists(folder)) return resolveFromRoot(path);
    const std::optional<std::string> found = findNoCase(folder, name);
    if (!found) return path;
    return folder.empty() ? *found : folder.back() == '/' ? folder + *found : folder + '/' + *found;
}

} // namespace seg4::posix
