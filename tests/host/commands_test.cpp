// The command table: the README documents exactly its commands, and every command refuses a
// wrong number of arguments with its usage.
#include "backends/members.h"
#include "host_fixture.h"
#include "script/commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace qhost {
namespace {

/// The forms written in the first column of the README's tables of commands ("snapshot FILE.png").
std::vector<std::string> documentedForms() {
    std::ifstream in(SEG4_README);
    EXPECT_TRUE(in) << "cannot read " << SEG4_README;
    std::vector<std::string> forms;
    std::string line;
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line.rfind("| Command |", 0) == 0) {
            inTable = true;
            continue;
        }
        if (!inTable) continue;
        if (line.empty() || line[0] != '|') {
            inTable = false; // another table of commands may follow in a later section
            continue;
        }
        const std::string cell = line.substr(1, line.find(" | ", 1));
        for (std::size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open)) {
            const std::size_t close = cell.find('`', open + 1);
            if (close == std::string::npos) break;
            forms.push_back(cell.substr(open + 1, close - open - 1));
            open = close + 1;
        }
    }
    return forms;
}

TEST(Commands, TheReadmeDocumentsEveryCommandWithItsArguments) {
    std::map<std::string, std::string> documented; // word -> arguments
    for (const std::string& form : documentedForms()) {
        const std::size_t space = form.find(' ');
        const std::string word = form.substr(0, space);
        EXPECT_TRUE(documented.emplace(word, space == std::string::npos ? "" : form.substr(space + 1)).second)
            << word << " is documented twice";
    }
    for (const Command& c : commandTable()) {
        const auto it = documented.find(std::string(c.word));
        if (it == documented.end()) {
            ADD_FAILURE() << "the README does not document '" << c.word << "'";
            continue;
        }
        EXPECT_EQ(it->second, c.arguments) << "arguments of " << c.word;
        documented.erase(it);
    }
    for (const auto& [word, arguments] : documented) ADD_FAILURE() << "'" << word << "' is no command";
}

TEST(Commands, EachRefusesTooManyArgumentsWithItsUsageAndHelpListsThemAll) {
    const test::ScriptRun listing = test::runScript("help\n");
    EXPECT_EQ(listing.status, 0);
    for (const Command& c : commandTable()) {
        SCOPED_TRACE(std::string(c.word));
        EXPECT_TRUE(test::contains(listing.output, "  " + std::string(c.word))) << listing.output;
        EXPECT_EQ(findCommand(lower(std::string(c.word))), &c);
        if (c.maxArgs == kAnyNumber) continue;
        std::string line(c.word);
        for (std::size_t i = 0; i <= c.maxArgs; ++i) line += " out/x" + std::to_string(i);
        const test::ScriptRun r = test::runScript("place\n" + line + "\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(test::contains(r.output, "t.qhs:2: usage: " + std::string(c.word))) << r.output;
    }
}

} // namespace
} // namespace qhost
