// Module files on disk as the simulated host reads and loads them: the
// format by the first bytes, the descriptor from an ELF section or a PE
// resource, and a module for another system refused with a reason. Built for
// Windows, the module under test is itself read as a PE file: one export,
// system DLLs only, the descriptor as resource "PIPL" 16000.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "entry/Descriptor.h"
#include "frames/HostError.h"
#include "modulefiles/ModuleFile.h"
#include "tests/PeBuilder.h"
#if !defined(_WIN32)
#include "tests/ToolRunner.h"
#endif

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

/// A folder of files for one test, removed at its end.
class Scratch {
public:
    Scratch()
        : path_(fs::temp_directory_path() /
                ("quorvel-module-file-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                 "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        fs::create_directories(path_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    fs::path Write(const std::string& name, const Bytes& bytes) const {
        const fs::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

Bytes DescriptorBytes() {
    constexpr auto bytes = descriptor::Bytes();
    return Bytes(bytes.begin(), bytes.end());
}

/// A Windows module as far as its file goes: the descriptor resource and the exports.
PeLayout WindowsModuleLayout(std::vector<std::string> exports = {"EntryPointFunc"}) {
    PeLayout def;
    def.exports = std::move(exports);
    def.imports = {"KERNEL32.dll"};
    def.resources = {{"PIPL", 0, "", 16000, 1033, DescriptorBytes()}};
    return def;
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const frames::HostError& e) {
        return e.what();
    }
    return "(no error)";
}

struct FormatCase {
    const char* name;
    Bytes head;
    const char* expected;  // "elf", "pe" or part of the error
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class ModuleFormatOf : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ModuleFormatOf, FirstBytes) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", GetParam().head);
    const std::string expected = GetParam().expected;
    if (expected == "elf" || expected == "pe") {
        const auto format = modulefiles::DetectModuleFormat(file);
        EXPECT_EQ(format, expected == "elf" ? modulefiles::ModuleFormat::Elf : modulefiles::ModuleFormat::Pe);
    } else {
        const std::string error = ErrorOf([&] { modulefiles::DetectModuleFormat(file); });
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ModuleFormatOf,
                         ::testing::Values(FormatCase{"Elf", {0x7F, 'E', 'L', 'F', 2, 1, 1, 0}, "elf"},
                                           FormatCase{"Pe", BuildPe(WindowsModuleLayout()).bytes, "pe"},
                                           FormatCase{"Text", {'h', 'e', 'l', 'l', 'o'}, "not a module"},
                                           FormatCase{"Empty", {}, "not a module"},
                                           FormatCase{"ElfMagicCut", {0x7F, 'E', 'L'}, "not a module"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModuleFile, MissingFileAndFolderAreNamed) {
    const Scratch scratch;
    EXPECT_NE(
        ErrorOf([&] { modulefiles::ReadDescriptorBytes(scratch.path() / "none.aex"); }).find("no such module file"),
        std::string::npos);
    EXPECT_NE(ErrorOf([&] { modulefiles::ReadDescriptorBytes(scratch.path()); }).find("not a regular file"),
              std::string::npos);
}

TEST(ModuleFile, TheDescriptorOfAWindowsModuleIsItsPiplResource) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(WindowsModuleLayout()).bytes);
    EXPECT_EQ(modulefiles::ReadDescriptorBytes(file), DescriptorBytes());
}

TEST(ModuleFile, UsEnglishIsPreferredAmongTheDescriptorsLanguages) {
    PeLayout def = WindowsModuleLayout();
    def.resources.push_back({"PIPL", 0, "", 16000, 1031, Bytes(286, 0xAB)});  // sorts first
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(def).bytes);
    EXPECT_EQ(modulefiles::ReadDescriptorBytes(file), DescriptorBytes());
}

struct MissingCase {
    const char* name;
    std::vector<PeLayout::Resource> resources;
};

void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.name; }

class WithoutDescriptor : public ::testing::TestWithParam<MissingCase> {};

TEST_P(WithoutDescriptor, SaysSo) {
    PeLayout def = WindowsModuleLayout();
    def.resources = GetParam().resources;
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(def).bytes);
    const std::string error = ErrorOf([&] { modulefiles::ReadDescriptorBytes(file); });
    EXPECT_NE(error.find("has no descriptor"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, WithoutDescriptor,
                         ::testing::Values(MissingCase{"NoResources", {}},
                                           MissingCase{"OtherId", {{"PIPL", 0, "", 16001, 1033, DescriptorBytes()}}},
                                           MissingCase{"OtherType", {{"PIPX", 0, "", 16000, 1033, DescriptorBytes()}}},
                                           MissingCase{"NumberedType", {{"", 10, "", 16000, 1033, DescriptorBytes()}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModuleFile, ADamagedWindowsModuleIsReportedWithItsPath) {
    Bytes bytes = BuildPe(WindowsModuleLayout()).bytes;
    bytes.resize(bytes.size() / 2);
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", bytes);
    const std::string error = ErrorOf([&] { modulefiles::ReadDescriptorBytes(file); });
    EXPECT_NE(error.find("damaged PE image"), std::string::npos) << error;
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
}

TEST(ModuleFile, OnlyTheSystemsOwnFormatLoads) {
#if defined(_WIN32)
    EXPECT_TRUE(modulefiles::CanLoadHere(modulefiles::ModuleFormat::Pe));
    EXPECT_FALSE(modulefiles::CanLoadHere(modulefiles::ModuleFormat::Elf));
    EXPECT_EQ(modulefiles::DetectModuleFormat(QUORVEL_MODULE_PATH), modulefiles::ModuleFormat::Pe);
#else
    EXPECT_TRUE(modulefiles::CanLoadHere(modulefiles::ModuleFormat::Elf));
    EXPECT_FALSE(modulefiles::CanLoadHere(modulefiles::ModuleFormat::Pe));
    EXPECT_EQ(modulefiles::DetectModuleFormat(QUORVEL_MODULE_PATH), modulefiles::ModuleFormat::Elf);
#endif
}

#if defined(_WIN32)

TEST(ModuleFile, ALinuxModuleIsRefusedByName) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", {0x7F, 'E', 'L', 'F', 2, 1, 1, 0});
    const std::string error = ErrorOf([&] { modulefiles::LoadedModule module(file); });
    EXPECT_NE(error.find("is a Linux module"), std::string::npos) << error;
}

TEST(ModuleFile, AModuleWithoutTheNamedExportIsRefusedAfterLoading) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(WindowsModuleLayout({"SomethingElse"})).bytes);
    const std::string error = ErrorOf([&] { modulefiles::LoadedModule module(file); });
    EXPECT_NE(error.find("does not export its entry point 'EntryPointFunc'"), std::string::npos) << error;
}

// The file the hosts load, read by the same reader as any other module.
class BuiltWindowsModule : public ::testing::Test {
protected:
    modulefiles::PeImage image = modulefiles::ReadPeImage(QUORVEL_MODULE_PATH);
};

TEST_F(BuiltWindowsModule, IsAnX64DllWhoseOnlyExportIsTheEntryPoint) {
    EXPECT_EQ(image.Summary(), "PE32+ DLL, x86-64");
    ASSERT_EQ(image.exports().size(), 1u);
    EXPECT_EQ(image.exports()[0].name, "EntryPointFunc");
    EXPECT_FALSE(image.exports()[0].forwarded);
}

TEST_F(BuiltWindowsModule, ImportsOnlyWindowsOwnDlls) {
    // The C++ runtime, libgcc and winpthread are linked in; nothing of the
    // compiler's may be needed beside the module.
    const std::vector<std::string> system = {"kernel32.dll", "msvcrt.dll", "ntdll.dll", "user32.dll", "advapi32.dll"};
    ASSERT_FALSE(image.imports().empty());
    for (std::string dll : image.imports()) {
        std::transform(dll.begin(), dll.end(), dll.begin(), [](char c) { return char(std::tolower(c)); });
        EXPECT_NE(std::find(system.begin(), system.end(), dll), system.end()) << dll;
    }
}

// The descriptor, and the version Windows shows in the file's properties
// (RT_VERSION is type 16): nothing else.
TEST_F(BuiltWindowsModule, CarriesTheGeneratorsBytesAndItsVersionAsItsOnlyResources) {
    ASSERT_EQ(image.resources().size(), 2u);
    const modulefiles::PeResource& r = image.resources()[0];
    EXPECT_EQ(r.type, (modulefiles::PeResourceKey{true, "PIPL", 0}));
    EXPECT_EQ(r.name, (modulefiles::PeResourceKey{false, "", 16000}));
    EXPECT_EQ(r.language, 1033);
    const auto data = image.Data(r);
    EXPECT_EQ(Bytes(data.begin(), data.end()), DescriptorBytes());
    const modulefiles::PeResource& version = image.resources()[1];
    EXPECT_EQ(version.type, (modulefiles::PeResourceKey{false, "", 16}));
    EXPECT_EQ(version.name, (modulefiles::PeResourceKey{false, "", 1}));
    EXPECT_EQ(version.language, 1033);
}

#else

TEST(ModuleFile, AWindowsModuleIsReadButNotLoadedHere) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(WindowsModuleLayout()).bytes);
    const std::string error = ErrorOf([&] { modulefiles::LoadedModule module(file); });
    EXPECT_NE(error.find("can be inspected but not loaded here"), std::string::npos) << error;
}

// The tool's inspect command over a Windows module, on a system that cannot
// load it: the file's tables, the descriptor, and the export in place of the lookup.
TEST(ModuleFile, InspectListsAWindowsModulesTablesAndDescriptor) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(WindowsModuleLayout()).bytes);
    const fs::path saved = scratch.path() / "pipl.bin";
    const ToolResult r = RunTool({"inspect", file.string(), "--descriptor-out", saved.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"format:      PE32+ DLL, x86-64\n", "exports:     1\n", " EntryPointFunc\n",
          "imports:     1\n  KERNEL32.dll\n", "resources:   1\n",
          "  type \"PIPL\"  id 16000  language 1033  286 bytes\n", "descriptor:  286 bytes, 12 properties\n",
          "entry point: EntryPointFunc exported (not loaded: a module for another system)\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << "missing: " << line << "\n" << r.out;
    }
    const std::string written = Slurp(saved);
    EXPECT_EQ(Bytes(written.begin(), written.end()), DescriptorBytes());
}

TEST(ModuleFile, InspectRefusesAWindowsModuleWithoutTheNamedExport) {
    const Scratch scratch;
    const fs::path file = scratch.Write("module.aex", BuildPe(WindowsModuleLayout({"SomethingElse"})).bytes);
    const ToolResult r = RunTool({"inspect", file.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find("does not export its entry point 'EntryPointFunc'"), std::string::npos) << r.err;
}

#endif

}  // namespace
}  // namespace quorvel::test
