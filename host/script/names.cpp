// Resolution of the script's names.
#include "script/names.h"

#include "script/page_commands.h"

#include <algorithm>
#include <iterator>

namespace qhost {

namespace {

const char* const kConstants[] = {"true", "false",  "empty", "null",        "vbcr",
                                  "vblf", "vbcrlf", "vbtab", "vbnullstring"};
const char* const kFunctions[] = {"typename", "array", "chr",  "chrw",   "cint",   "clng",    "cbyte",
                                  "cbool",    "cdbl",  "cstr", "ubound", "lbound", "len",     "time",
                                  "int",      "fix",   "abs",  "min",    "max",    "filetext"};

} // namespace

bool isBuiltIn(std::string_view name) {
    const std::string n = lower(std::string(name));
    return isPageValueName(n) ||
           std::find(std::begin(kConstants), std::end(kConstants), n) != std::end(kConstants) ||
           std::find(std::begin(kFunctions), std::end(kFunctions), n) != std::end(kFunctions);
}

} // namespace qhost
