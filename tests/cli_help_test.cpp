// The tool's help as a person reads it, against the manual page the build
// made and the guide the help sends its reader to; its version; -o.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

/// Every command the tool lists, and --version, which has options of its own.
const char* const kCommands[] = {"inspect", "about",   "params", "render",   "overlay",
                                 "drag",    "handles", "keys",   "--version"};

/// The option groups, in the order a help lists those it has.
const std::vector<std::string> kGroupTitles = {
    "Input:", "The effect's controls:", "Shot:", "Output:", "View:", "Host:"};

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/// The option names at the start of `line` ("-o, --out OUTPUT  ..."): its
/// words up to the first that is not a name.
void AddNames(const std::string& line, std::set<std::string>& names) {
    std::istringstream words(line);
    for (std::string word; words >> word && word[0] == '-';) {
        if (word.back() == ',') word.pop_back();
        names.insert(word);
    }
}

/// The options a help lists: its lines that begin with an option's names.
std::set<std::string> HelpOptions(const std::string& help) {
    std::set<std::string> names;
    for (const std::string& line : LinesOf(help)) {
        if (line.rfind("  -", 0) == 0) AddNames(line, names);
    }
    return names;
}

/// Roff's text as it prints: no font changes, escaped characters plain.
std::string Plain(std::string text) {
    for (const auto& [roff, plain] : {std::pair{"\\fB", ""}, std::pair{"\\fI", ""}, std::pair{"\\fR", ""},
                                      std::pair{"\\-", "-"}, std::pair{"\\&", ""}, std::pair{"\\e", "\\"}}) {
        for (auto at = text.find(roff); at != std::string::npos; at = text.find(roff, at)) {
            text.replace(at, std::string(roff).size(), plain);
            at += std::string(plain).size();
        }
    }
    return text;
}

/// The options a section of the manual page lists: the tags of its tagged
/// paragraphs that are options. Empty when there is no such section.
std::set<std::string> ManualOptions(const std::string& page, const std::string& section) {
    std::set<std::string> names;
    const std::vector<std::string> lines = LinesOf(page);
    auto at = std::find(lines.begin(), lines.end(), ".SH " + section);
    for (; at != lines.end() && at + 1 != lines.end(); ++at) {
        if (at->rfind(".SH ", 0) == 0 && *at != ".SH " + section) break;
        if (*at == ".TP") AddNames(Plain(*(at + 1)), names);
    }
    return names;
}

/// Where the help's last line sends its reader: the manual page's section
/// and the guide's, from "More: quorvel-host(1), RENDER; docs/tool.md, Rendering".
struct More {
    std::string section;
    std::string guide;
};

std::optional<More> MoreOf(const std::string& line) {
    const std::string head = "More: quorvel-host(1), ";
    const std::string between = "; docs/tool.md, ";
    const auto at = line.find(between);
    if (line.rfind(head, 0) != 0 || at == std::string::npos) return std::nullopt;
    return More{line.substr(head.size(), at - head.size()), line.substr(at + between.size())};
}

class CommandHelp : public ::testing::TestWithParam<const char*> {};

TEST_P(CommandHelp, OpensWithUsageAndASentenceThenTheGroupsAndEndsWithTheManual) {
    const std::string command = GetParam();
    const ToolResult r = RunTool({command, "--help"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = LinesOf(r.out);
    for (const std::string& line : lines) EXPECT_LE(line.size(), 80u) << line;
    ASSERT_GT(lines.size(), 4u);

    EXPECT_EQ(lines[0].rfind("usage: quorvel-host " + command + " ", 0), 0u) << lines[0];
    std::size_t at = 1;
    while (at < lines.size() && lines[at].rfind("       quorvel-host " + command + " ", 0) == 0) ++at;
    ASSERT_LT(at + 1, lines.size());
    EXPECT_EQ(lines[at++], "");
    std::string sentence;
    for (; at < lines.size() && !lines[at].empty(); ++at) sentence += (sentence.empty() ? "" : " ") + lines[at];
    EXPECT_EQ(sentence.back(), '.') << sentence;
    EXPECT_EQ(sentence.find(". "), std::string::npos) << "more than one sentence: " << sentence;

    // Each group: a blank line, its heading, its options and their help.
    std::vector<std::size_t> groups;
    while (at + 2 < lines.size() && lines[at].empty()) {
        const auto title = std::find(kGroupTitles.begin(), kGroupTitles.end(), lines[at + 1]);
        if (title == kGroupTitles.end()) break;
        groups.push_back(std::size_t(title - kGroupTitles.begin()));
        EXPECT_EQ(lines[at + 2].rfind("  -", 0), 0u) << lines[at + 2];
        for (at += 2; at < lines.size() && lines[at].rfind("  ", 0) == 0;) ++at;
    }
    EXPECT_FALSE(groups.empty());
    EXPECT_TRUE(std::adjacent_find(groups.begin(), groups.end(), std::greater_equal<>()) == groups.end())
        << "groups out of order in\n"
        << r.out;
    // Nothing after the options but a blank line, a note on this build, and
    // where the manual says more.
    ASSERT_LT(at, lines.size());
    EXPECT_EQ(lines[at], "");
    const std::optional<More> more = MoreOf(lines.back());
    ASSERT_TRUE(more) << lines.back();
    EXPECT_NE(Slurp(QUORVEL_MANUAL_PAGE).find("\n.SH " + more->section + "\n"), std::string::npos) << more->section;
    EXPECT_NE(Slurp(QUORVEL_GUIDE).find("## " + more->guide + "\n"), std::string::npos) << more->guide;
}

TEST_P(CommandHelp, ListsTheOptionsItsSectionOfTheManualPageLists) {
    const ToolResult r = RunTool({GetParam(), "--help"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::optional<More> more = MoreOf(LinesOf(r.out).back());
    ASSERT_TRUE(more) << r.out;
    const std::set<std::string> listed = HelpOptions(r.out);
    EXPECT_TRUE(listed.count("--help") == 1 && listed.count("--module") == 1) << r.out;
    EXPECT_EQ(ManualOptions(Slurp(QUORVEL_MANUAL_PAGE), more->section), listed);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandHelp, ::testing::ValuesIn(kCommands), [](const auto& info) {
    const std::string name = info.param;
    return name.substr(name.find_first_not_of('-'));
});

TEST(ToolHelp, ListsTheCommandsTestedHereInEightyColumns) {
    const ToolResult r = RunTool({"--help"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = LinesOf(r.out);
    auto at = std::find(lines.begin(), lines.end(), "Commands:");
    ASSERT_NE(at, lines.end()) << r.out;
    std::set<std::string> listed;
    for (++at; at != lines.end() && !at->empty(); ++at) listed.insert(at->substr(2, at->find(' ', 2) - 2));
    std::set<std::string> tested(std::begin(kCommands), std::end(kCommands));
    tested.erase("--version");
    EXPECT_EQ(listed, tested);
    for (const std::string& line : lines) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(lines.back().rfind("More: quorvel-host(1)", 0), 0u) << lines.back();
}

TEST(ManualPage, IsReadByTheFormatterWithoutAWarning) {
    // groff's own warnings, every one of them (-ww), as man shows the page.
    const std::string command = "groff -man -ww -z -Tutf8 " + ShellQuote(QUORVEL_MANUAL_PAGE) + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string said;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) said += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << said;
    EXPECT_EQ(said, "");
}

TEST(Version, NamesTheToolAndTheModuleAsItsAboutTextDoes) {
    const ToolResult about = RunTool({"about"});
    ASSERT_EQ(about.status, 0) << about.err;
    const ToolResult r = RunTool({"--version"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = LinesOf(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0], std::string("quorvel-host ") + QUORVEL_VERSION);
    EXPECT_EQ(lines[1].rfind("module: " + LinesOf(about.out).front() + ", /", 0), 0u) << lines[1];
}

TEST(Version, GivesTheToolsWhenTheModuleCannotBeLoaded) {
    const ToolResult r = RunTool({"--version", "--module", "/nonexistent/VT_Quorvel.aex"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = LinesOf(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0], std::string("quorvel-host ") + QUORVEL_VERSION);
    EXPECT_EQ(lines[1], "module: not loaded: no such module file: /nonexistent/VT_Quorvel.aex");
}

struct ShortOut {
    const char* name;
    std::vector<std::string> args;  // -o and the file follow
    const char* file;
};

void PrintTo(const ShortOut& s, std::ostream* os) { *os << s.name; }

class ShortOutOption : public ::testing::TestWithParam<ShortOut> {};

TEST_P(ShortOutOption, WritesWhereOutWould) {
    const ScratchDir dir;
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"-o", dir.str(GetParam().file)});
    const ToolResult r = RunTool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(EveryCommandWithOut, ShortOutOption,
                         ::testing::Values(ShortOut{"render", {"render", "--size", "8x8"}, "a.npy"},
                                           ShortOut{"overlay", {"overlay", "--zoom", "0.1"}, "a.png"},
                                           ShortOut{"drag", {"drag", "--click", "1,1", "--to", "2,2"}, "a.png"},
                                           ShortOut{"keys", {"keys", "--key", "width@0=300"}, "a.txt"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
