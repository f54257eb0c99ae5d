// The script's `combo` command. The colour list of the open property page is the module's own
// combo control; the backend reaches it through the control's members (the linked core) or
// through the messages those members send its window (the Windows module, which does not expose
// the control), and this file gives both the same words, checks and printing.
#include "script/combo_commands.h"

#include "automation/conversions.h"
#include "backends/members.h"
#include "script/commands.h"
#include "script/interpreter.h"
#include "views/value_format.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>

namespace qhost {

namespace {

constexpr const char* kUsage =
    "usage: combo show | add TEXT [before N] [image N] [selected N] [data N] [indent N] | "
    "find TEXT [exact] | index N | key NAME [shift] [ctrl] [alt] | events";

/// The keys a user presses in the list, by name, with their virtual-key codes.
struct NamedKey {
    const char* name;
    std::int16_t code;
};
constexpr NamedKey kKeys[] = {{"down", 0x28}, {"up", 0x26},     {"home", 0x24},   {"end", 0x23},
                              {"f4", 0x73},   {"return", 0x0D}, {"escape", 0x1B}, {"tab", 0x09}};

std::int32_t whole(const std::string& word, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (word.empty() || word.size() > 12 || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX ||
        std::isspace(static_cast<unsigned char>(word[0])))
        throw CommandError("combo: " + what + " must be a whole number, not '" + word + "'");
    return static_cast<std::int32_t>(v);
}

PageSession& list(Interpreter& in) {
    if (!in.page().session) throw CommandError("combo: no property page is open (use 'page open' first)");
    return *in.page().session;
}

void show(Interpreter& in) {
    const ComboListState s = list(in).comboList();
    std::ostream& out = in.out();
    out << "combo style: " << s.style << ", extended style: " << s.extendedStyle << "\n";
    for (std::size_t i = 0; i < s.items.size(); ++i) {
        const seg4::ComboItem& item = s.items[i];
        out << "combo item " << i << ": " << formatString(item.text) << ", image " << item.image
            << ", selected image " << item.selectedImage << ", indent " << item.indent << ", data "
            << item.data << "\n";
    }
    out << "combo list index: ";
    if (s.listIndex >= 0 && static_cast<std::size_t>(s.listIndex) < s.items.size())
        out << s.listIndex << " " << formatString(s.items[static_cast<std::size_t>(s.listIndex)].text)
            << "\n";
    else
        out << s.listIndex << "\n";
}

/// `add TEXT` and its options as NAME VALUE pairs, each at most once.
void add(Interpreter& in, const std::vector<std::string>& rest) {
    if (rest.empty() || rest.size() % 2 == 0) throw CommandError(kUsage);
    ComboAddition a;
    a.text = seg4::fromUtf8(rest[0]);
    for (std::size_t i = 1; i < rest.size(); i += 2) {
        const std::string option = lower(rest[i]);
        std::optional<std::int32_t>* field = option == "before"     ? &a.before
                                             : option == "image"    ? &a.image
                                             : option == "selected" ? &a.selectedImage
                                             : option == "data"     ? &a.data
                                             : option == "indent"   ? &a.indent
                                                                    : nullptr;
        if (!field)
            throw CommandError("combo add: no option '" + rest[i] +
                               "' (before, image, selected, data, indent)");
        if (field->has_value()) throw CommandError("combo add: '" + option + "' is given twice");
        *field = whole(rest[i + 1], "the " + option + " value");
    }
    const std::int32_t index = list(in).comboAdd(a);
    if (index < 0)
        in.out() << "combo add: the list refused " << formatString(a.text) << "\n";
    else
        in.out() << "combo added: " << index << " " << formatString(a.text) << "\n";
}

void find(Interpreter& in, const std::vector<std::string>& rest) {
    if (rest.empty() || rest.size() > 2 || (rest.size() == 2 && lower(rest[1]) != "exact"))
        throw CommandError(kUsage);
    const std::u16string text = seg4::fromUtf8(rest[0]);
    const bool exact = rest.size() == 2;
    in.out() << "combo find " << formatString(text) << (exact ? " exact" : "") << ": "
             << list(in).comboFind(text, exact) << "\n";
}

/// Setting ListIndex: an item or -1 (nothing selected). The control refuses anything else with
/// its error 381, which prints as a member's error does, and the selection stays.
void index(Interpreter& in, const std::string& word) {
    PageSession& page = list(in);
    page.comboSelect(whole(word, "the list index"));
}

/// `key NAME [shift] [ctrl] [alt]`: a user's key in the list.
void key(Interpreter& in, const std::vector<std::string>& rest) {
    if (rest.empty() || rest.size() > 4) throw CommandError(kUsage);
    const NamedKey* found = nullptr;
    for (const NamedKey& k : kKeys)
        if (lower(rest[0]) == k.name) found = &k;
    if (!found)
        throw CommandError("combo key: no key '" + rest[0] +
                           "' (down, up, home, end, f4, return, escape, tab)");
    std::int16_t shift = 0;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string m = lower(rest[i]);
        const std::int16_t bit = m == "shift" ? 1 : m == "ctrl" ? 2 : m == "alt" ? 4 : 0;
        if (bit == 0 || (shift & bit))
            throw CommandError("combo key: '" + rest[i] +
                               "' is no modifier, or is given twice (shift, ctrl, alt)");
        shift = static_cast<std::int16_t>(shift | bit);
    }
    list(in).comboKey(found->code, shift);
}

/// `events`: what the control raised since the last `events`, in order, one line each.
void events(Interpreter& in) {
    const std::u16string text = list(in).comboEvents();
    if (text.empty()) {
        in.out() << "combo events: none\n";
        return;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        in.out() << "combo event: " << seg4::toUtf8(text.substr(start, end - start)) << "\n";
        start = end + 1;
    }
}

} // namespace

void runComboCommand(Interpreter& in, const std::vector<std::string>& args, int) {
    if (args.empty()) throw CommandError(kUsage);
    const std::string action = lower(args[0]);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (action == "show" && rest.empty())
        show(in);
    else if (action == "add")
        add(in, rest);
    else if (action == "find")
        find(in, rest);
    else if (action == "index" && rest.size() == 1)
        index(in, rest[0]);
    else if (action == "key")
        key(in, rest);
    else if (action == "events" && rest.empty())
        events(in);
    else
        throw CommandError(kUsage);
}

} // namespace qhost
