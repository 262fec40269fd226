// The host tool run as a user runs it: output, exit status and messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

/// A scratch folder removed at the end of the test.

TEST(Cli, AboutPrintsNameVersionAndDescriptionOnTheNextLine) {
    const ToolResult r = RunTool({"about"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 13), "Quorvel v1.0\n");
    EXPECT_EQ(r.out.substr(13, 34), "Quorvel plugin for Adobe Premiere.");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST(Cli, ParamsJsonListsTheTenControlsWithIdsAndDefaults) {
    const ToolResult r = RunTool({"params", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["num_params"], 11);
    ASSERT_EQ(j["params"].size(), 10u);
    const int ids[] = {2, 8, 1, 3, 4, 5, 6, 7, 9, 10};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(j["params"][i]["id"], ids[i]);
    EXPECT_EQ(j["params"][0]["default"], 1);
    EXPECT_EQ(j["params"][1]["default"], 4);
    EXPECT_EQ(j["params"][2]["default"], nlohmann::json::array({50.0, 50.0}));
    EXPECT_EQ(j["params"][3]["default"], 300.0);
    EXPECT_EQ(j["params"][4]["default"], 200.0);
    EXPECT_EQ(j["params"][7]["default"], 100.0);
    EXPECT_EQ(j["params"][9]["choices"], "Linear|Quadratic|Cubic|Gamma 2.2|Gaussian|Exponential");
    EXPECT_EQ(j["custom_ui_events"], 3);
}

TEST(Cli, InspectDecodesTheDescriptorAndFindsTheEntryPoint) {
    const ToolResult r = RunTool({"inspect"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("286 bytes, 12 properties"), std::string::npos);
    EXPECT_NE(r.out.find("'eMNA'  12 bytes  \"VT Quorvel\""), std::string::npos);
    EXPECT_NE(r.out.find("entry point: EntryPointFunc found"), std::string::npos);
}

struct BadInput {
    const char* name;
    std::vector<std::string> args;
    const char* message_part;
};

void PrintTo(const BadInput& b, std::ostream* os) { *os << b.name; }

class CliBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(CliBadInput, OneClearLineAndStatusTwo) {
    const ToolResult r = RunTool(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
    EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadInput,
    ::testing::Values(BadInput{"NoCommand", {}, "no command given"},
                      BadInput{"UnknownCommand", {"frobnicate"}, "unknown command 'frobnicate'"},
                      BadInput{"UnknownOption", {"about", "--colour"}, "unknown option '--colour'"},
                      BadInput{"MissingValue", {"about", "--module"}, "needs a value"},
                      BadInput{"FlagWithValue", {"params", "--json=yes"}, "takes no value"},
                      BadInput{"BadHost", {"about", "--host", "nuke"}, "--host must be ae or premiere"},
                      BadInput{"GivenTwice", {"about", "--host", "ae", "--host", "ae"}, "given more than once"},
                      BadInput{"StrayToAbout", {"about", "extra"}, "unexpected argument 'extra'"},
                      BadInput{"StrayToParams", {"params", "--json", "--", "--extra"}, "unexpected argument '--extra'"},
                      BadInput{"StrayToKeys", {"keys", "--key", "width@0=1", "extra"}, "unexpected argument"},
                      BadInput{"StrayToDrag", {"drag", "--click", "1,1", "--to", "2,2", "extra"}, "unexpected"},
                      BadInput{"DragSizeBesideIn",
                               {"drag", "--in", "x.npy", "--size", "4x4", "--click", "1,1", "--to", "2,2"},
                               "--size cannot be given with --in"},
                      BadInput{"OverlayKeyWithoutFrames",
                               {"overlay", "--key", "width@1=3", "--out", "x.png"},
                               "--key needs --frames"},
                      BadInput{"DragFramesOfARange",
                               {"drag", "--frames", "1-3", "--click", "1,1", "--to", "2,2"},
                               "--frames 1-3: drag shows one frame of a shot"},
                      BadInput{"HandlesNumberedInWithoutFrames",
                               {"handles", "--in", "p.%04d.npy"},
                               "give the frame to show with --frames F"},
                      BadInput{"HandlesSizeInAShot",
                               {"handles", "--frames", "1", "--size", "4x4"},
                               "--size applies to single frames"},
                      BadInput{"TwoModules", {"inspect", "a.aex", "b.aex"}, "at most 1 MODULE"},
                      BadInput{"SingleDash", {"render", "-x"}, "options are written --name"},
                      BadInput{"NoSuchFile", {"inspect", "/nonexistent/VT_Quorvel.aex"}, "no such module file"},
                      BadInput{"Directory", {"about", "--module", "/tmp"}, "not a regular file"},
                      BadInput{"NotAModule", {"inspect", "/etc/hostname"}, "not a module"},
                      BadInput{"NoDescriptor", {"inspect", "/bin/true"}, "has no descriptor"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Patch {
    const char* name;
    const char* find;       // bytes to look for in the module file
    std::ptrdiff_t offset;  // from the start of what was found
    const char* replace;    // written there
    const char* message_part;
};

void PrintTo(const Patch& p, std::ostream* os) { *os << p.name; }

class CliDamagedModule : public ::testing::TestWithParam<Patch> {};

TEST_P(CliDamagedModule, IsReportedWithStatusTwo) {
    ScratchDir dir;
    const fs::path copy = dir.path() / "damaged.aex";
    fs::copy_file(QUORVEL_MODULE_PATH, copy);
    std::string bytes;
    {
        std::ifstream in(copy, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const auto at = bytes.find(GetParam().find);
    ASSERT_NE(at, std::string::npos);
    const std::string replacement = GetParam().replace;
    bytes.replace(std::size_t(std::ptrdiff_t(at) + GetParam().offset), replacement.size(), replacement);
    {
        std::ofstream out(copy, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    for (const char* command : {"inspect", "about"}) {
        const ToolResult r = std::string(command) == "inspect" ? RunTool({command, copy.string()})
                                                               : RunTool({command, "--module", copy.string()});
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliDamagedModule,
                         ::testing::Values(Patch{"NotAnEffect", "MIB8dnik", 16, "XXXX", "not an effect"},
                                           // The descriptor names an entry point the library does not export.
                                           Patch{"NoSuchEntryPoint", "MIB84668", 16, "EntryPointFunX",
                                                 "does not export its entry point"},
                                           Patch{"PropertyCountTooHigh", "MIB8dnik", -4, "\x63", "truncated"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
