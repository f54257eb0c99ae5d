// The script's `page` statement and the page's values for `expect`.
#include "script/page_commands.h"

#include "automation/conversions.h"
#include "backends/members.h"
#include "script/commands.h"
#include "script/interpreter.h"
#include "views/output_files.h"
#include "views/value_format.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace qhost {

using seg4::Variant;

namespace {

constexpr const char* kUsage =
    "usage: page open [DISPLAY...] | pick INDEX|NAME | scroll +N|-N [page] | scrollto N | type TEXT | "
    "apply | ok | cancel | show | snapshot FILE.png";

/// A whole number written in the script, with an optional sign.
std::int32_t integerWord(const std::string& word, const char* what) {
    if (word.empty() || word.size() > 12)
        throw CommandError(std::string("page: ") + what + " must be a whole number");
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX ||
        std::isspace(static_cast<unsigned char>(word[0])))
        throw CommandError(std::string("page: ") + what + " must be a whole number, not '" + word + "'");
    return static_cast<std::int32_t>(v);
}

PageSession& session(Interpreter& in) {
    if (!in.page().session) throw CommandError("page: no property page is open (use 'page open' first)");
    return *in.page().session;
}

std::string points(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string label(const PageLabelState& l) {
    return formatString(l.caption) + ", " + seg4::toUtf8(l.fontFace) + " " + points(l.fontPoints) +
           " pt, charset " + std::to_string(l.charset);
}

void show(Interpreter& in) {
    const PageState s = session(in).state();
    std::ostream& out = in.out();
    out << "page caption: " << formatString(s.caption) << "\n";
    out << "page version: " << formatString(s.version) << "\n";
    out << "page colour label: " << label(s.colourLabel) << "\n";
    out << "page size label: " << label(s.sizeLabel) << "\n";
    out << "page colour list:";
    for (std::size_t i = 0; i < s.items.size(); ++i) out << (i ? ", " : " ") << formatString(s.items[i]);
    out << "; selected ";
    if (s.listIndex >= 0 && static_cast<std::size_t>(s.listIndex) < s.items.size())
        out << s.listIndex << " " << formatString(s.items[static_cast<std::size_t>(s.listIndex)]) << "\n";
    else
        out << "none\n";
    out << "page size text: " << formatString(s.sizeText) << "\n";
    out << "page scroll bar: " << s.scrollValue << " (20 to 85, 85 at the top)\n";
    out << "page preview: ";
    if (s.preview >= 0)
        out << s.preview << ", " << s.previewWidthPixels << " x " << s.previewHeightPixels << " pixels\n";
    else
        out << "none\n";
    out << "page changed: " << (s.changed ? "True" : "False") << "\n";
}

void open(Interpreter& in, const std::vector<std::string>& names, int line) {
    if (in.page().session)
        throw CommandError(
            "page: a property page is open already (close it with 'page ok' or 'page cancel')");
    Interpreter::OpenPage opened;
    if (names.empty()) {
        PlacedDisplay& d = in.current(line);
        opened.displays.push_back(d.display.get());
        opened.names.push_back(d.name);
    }
    for (const std::string& name : names) {
        PlacedDisplay* found = nullptr;
        for (PlacedDisplay& d : in.displays())
            if (sameName(d.name, name)) found = &d;
        if (!found) throw CommandError("page: no display named '" + name + "'");
        opened.displays.push_back(found->display.get());
        opened.names.push_back(found->name);
    }
    try {
        opened.session = in.backend().openPage(opened.displays);
    } catch (const seg4::ComError&) {
        throw; // the page failed to load its selection: printed as the statement's error
    } catch (const std::runtime_error& e) {
        throw CommandError(std::string("page: ") + e.what());
    }
    std::string list;
    for (const std::string& n : opened.names) list += (list.empty() ? "" : ", ") + n;
    in.page() = std::move(opened);
    in.out() << "page open: " << list << "\n";
}

void pick(Interpreter& in, const std::string& word) {
    PageSession& page = session(in);
    const std::vector<std::u16string> items = page.state().items;
    std::int32_t index = -1;
    for (std::size_t i = 0; i < items.size() && index < 0; ++i)
        if (sameName(seg4::toUtf8(items[i]), word)) index = static_cast<std::int32_t>(i);
    if (index < 0) {
        const bool numeric = !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
        if (numeric) index = integerWord(word, "the item");
        if (!numeric || index >= static_cast<std::int32_t>(items.size()))
            throw CommandError("page: the colour list has no item '" + word + "'");
    }
    page.pick(index);
}

} // namespace

void runPageCommand(Interpreter& in, const std::vector<std::string>& args, int line) {
    if (args.empty()) throw CommandError(kUsage);
    const std::string action = lower(args[0]);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    auto need = [&](std::size_t min, std::size_t max) {
        if (rest.size() < min || rest.size() > max) throw CommandError(kUsage);
    };
    if (action == "open") {
        open(in, rest, line);
    } else if (action == "pick") {
        need(1, 1);
        pick(in, rest[0]);
    } else if (action == "scroll") {
        need(1, 2);
        const std::int32_t clicks = integerWord(rest[0], "the number of clicks");
        if (rest.size() == 2 && lower(rest[1]) != "page" && lower(rest[1]) != "pages")
            throw CommandError(kUsage);
        if (rest.size() == 2)
            session(in).scrollPages(clicks);
        else
            session(in).scrollArrows(clicks);
    } else if (action == "scrollto") {
        need(1, 1);
        session(in).scrollTo(integerWord(rest[0], "the scroll value"));
    } else if (action == "type") {
        need(1, 1);
        session(in).typeSize(seg4::fromUtf8(rest[0]));
    } else if (action == "apply") {
        need(0, 0);
        in.out() << (session(in).apply() ? "page applied\n" : "page unchanged: nothing to apply\n");
    } else if (action == "ok") {
        need(0, 0);
        // A failing apply leaves the frame open, with the page as the user left it.
        const bool applied = session(in).apply();
        in.page() = {};
        in.out() << (applied ? "page applied and closed\n" : "page closed\n");
    } else if (action == "cancel") {
        need(0, 0);
        session(in);
        in.page() = {};
        in.out() << "page closed without applying\n";
    } else if (action == "snapshot") {
        need(1, 1);
        seg4::Frame picture;
        try {
            picture = session(in).picture();
        } catch (const CommandError&) {
            throw;
        } catch (const std::runtime_error& e) {
            throw CommandError(std::string("page snapshot: ") + e.what());
        }
        writeSnapshot(picture, rest[0]);
        in.out() << "wrote " << rest[0] << "\n";
    } else if (action == "show") {
        need(0, 0);
        show(in);
    } else {
        throw CommandError(kUsage);
    }
}

bool pageCommandTouchesFiles(const std::vector<std::string>& args) {
    return args.size() > 1 && lower(args[0]) == "snapshot";
}

Variant pageValue(Interpreter& in, BuiltIn value, int line) {
    if (value == BuiltIn::PageOpen) return Variant::boolean(in.page().session != nullptr);
    if (!in.page().session) throw ScriptFault(line, "no property page is open (use 'page open' first)");
    const PageState s = in.page().session->state();
    switch (value) {
    case BuiltIn::PageCaption: return Variant::string(s.caption);
    case BuiltIn::PageListIndex: return Variant::i4(s.listIndex);
    case BuiltIn::PageListText: {
        const bool selected = s.listIndex >= 0 && static_cast<std::size_t>(s.listIndex) < s.items.size();
        return Variant::string(selected ? s.items[static_cast<std::size_t>(s.listIndex)] : std::u16string());
    }
    case BuiltIn::PageSizeText: return Variant::string(s.sizeText);
    case BuiltIn::PageScroll: return Variant::i4(s.scrollValue);
    case BuiltIn::PagePreview: return Variant::i4(s.preview);
    case BuiltIn::PagePreviewWidth: return Variant::i4(s.previewWidthPixels);
    case BuiltIn::PagePreviewHeight: return Variant::i4(s.previewHeightPixels);
    default: return Variant::boolean(s.changed);
    }
}

} // namespace qhost
