// The descriptor resource, byte for byte, as the built module carries it,
// and the loader's checks of a descriptor.
#include "entry/Descriptor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frames/HostError.h"
#include "modulefiles/ModuleDescriptor.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::string Text(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
    return std::string(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
}

struct Row {
    const char* stored_key;  // as the bytes read, reversed
    std::size_t offset;
    std::uint32_t length;
};

// Offsets and lengths as the host's descriptor format lays them out.
const Row kTable[] = {
    {"dnik", 10, 4},  {"eman", 30, 12}, {"gtac", 58, 12}, {"4668", 86, 16}, {"RVPe", 118, 4},  {"RVSe", 138, 4},
    {"REVe", 158, 4}, {"FNIe", 178, 2}, {"OLGe", 198, 4}, {"2LGe", 218, 4}, {"ANMe", 238, 12}, {"LFea", 266, 4},
};

class BuiltDescriptor : public ::testing::Test {
protected:
    std::vector<std::uint8_t> bytes = modulefiles::ReadDescriptorBytes(QUORVEL_MODULE_PATH);
};

TEST_F(BuiltDescriptor, HeaderAndSize) {
    ASSERT_EQ(bytes.size(), 286u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(U32(bytes, 2), 0u);
    EXPECT_EQ(U32(bytes, 6), 12u);
}

TEST_F(BuiltDescriptor, PropertiesAtTheirOffsetsWithReversedKeys) {
    ASSERT_EQ(bytes.size(), 286u);
    for (const Row& row : kTable) {
        SCOPED_TRACE(row.stored_key);
        EXPECT_EQ(Text(bytes, row.offset, 4), "MIB8");
        EXPECT_EQ(Text(bytes, row.offset + 4, 4), row.stored_key);
        EXPECT_EQ(U32(bytes, row.offset + 8), 0u);
        EXPECT_EQ(U32(bytes, row.offset + 12), row.length);
    }
}

TEST_F(BuiltDescriptor, Values) {
    ASSERT_EQ(bytes.size(), 286u);
    EXPECT_EQ(Text(bytes, 26, 4), "TKFe");
    // Length-prefixed strings, padded with zeros inside their counted length.
    EXPECT_EQ(Text(bytes, 46, 12), std::string("\x0aVT Quorvel\0", 12));
    EXPECT_EQ(Text(bytes, 74, 12), std::string("\x08Veltrane\0\0\0", 12));
    EXPECT_EQ(Text(bytes, 102, 16), std::string("EntryPointFunc\0\0", 16));
    EXPECT_EQ(Text(bytes, 134, 4), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(Text(bytes, 154, 4), std::string("\x0d\0\0\0", 4));
    EXPECT_EQ(U32(bytes, 174), 0x00080001u);
    EXPECT_EQ(Text(bytes, 194, 4), std::string(4, '\0'));  // 16-bit 0, then 2 uncounted zeros
    EXPECT_EQ(U32(bytes, 214), 0x06008400u);
    EXPECT_EQ(U32(bytes, 234), 0u);
    EXPECT_EQ(Text(bytes, 254, 12), std::string("\x0aVT Quorvel\0", 12));
    EXPECT_EQ(U32(bytes, 282), 8u);
}

TEST_F(BuiltDescriptor, AgreesWithWhatGlobalSetupWrites) {
    CheckedHost host;
    ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
    const modulefiles::Descriptor d = modulefiles::DecodeDescriptor(bytes);
    EXPECT_EQ(d.Long("eVER"), host.out_data().my_version);
    EXPECT_EQ(d.Long("eGLO"), std::uint32_t(host.out_data().out_flags));
    EXPECT_EQ(d.Long("eGL2"), 0u);
    EXPECT_EQ(d.EntryPointName(), "EntryPointFunc");
    EXPECT_EQ(d.PascalString("eMNA"), "VT Quorvel");
}

TEST(DescriptorGenerator, LongerNamesShiftLaterPropertiesAndKeepPadding) {
    // A name of 13 characters needs 1 + 13 = 14 bytes, padded to 16: four
    // more than "VT Quorvel", so every later property moves by four.
    constexpr auto build = [] {
        descriptor::Writer w;
        w.Header(3);
        w.Long("kind", descriptor::kEffectKind);
        w.PascalString("name", "Quorvel Extra");
        w.Long("eVER", 7);
        return w;
    }();
    std::vector<std::uint8_t> b;
    for (std::size_t i = 0; i < build.size(); ++i) b.push_back(build[i]);
    const modulefiles::Descriptor d = modulefiles::DecodeDescriptor(b);
    ASSERT_EQ(d.properties.size(), 3u);
    EXPECT_EQ(d.properties[1].data.size(), 16u);
    EXPECT_EQ(d.properties[2].offset, 30u + 16u + 16u);
    EXPECT_EQ(d.PascalString("name"), "Quorvel Extra");
    EXPECT_EQ(b[46 + 14], 0);
    EXPECT_EQ(b[46 + 15], 0);
    EXPECT_EQ(b.size(), 30u + 32u + 20u);
}

struct Damage {
    const char* name;
    void (*apply)(std::vector<std::uint8_t>&);
    const char* message_part;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedDescriptor : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedDescriptor, IsRejectedWithAReason) {
    std::vector<std::uint8_t> bytes = modulefiles::ReadDescriptorBytes(QUORVEL_MODULE_PATH);
    GetParam().apply(bytes);
    try {
        modulefiles::ValidateDescriptor(modulefiles::DecodeDescriptor(bytes));
        FAIL() << "accepted";
    } catch (const frames::HostError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message_part), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedDescriptor,
    ::testing::Values(
        Damage{"Truncated", [](std::vector<std::uint8_t>& b) { b.resize(110); }, "past the end"},
        Damage{"TooShort", [](std::vector<std::uint8_t>& b) { b.resize(5); }, "truncated"},
        Damage{"NotAnEffect", [](std::vector<std::uint8_t>& b) { std::memcpy(&b[26], "RTLF", 4); }, "not an effect"},
        Damage{"WrongVendor", [](std::vector<std::uint8_t>& b) { b[30] = 'X'; }, "vendor"},
        Damage{"NoEntryPoint", [](std::vector<std::uint8_t>& b) { std::memcpy(&b[90], "6834", 4); }, "entry point"},
        Damage{"UnterminatedEntryName",
               [](std::vector<std::uint8_t>& b) { std::memset(&b[102], 'A', 16); }, "malformed"},
        Damage{"OldFormatVersion", [](std::vector<std::uint8_t>& b) { b[134] = 1; }, "format version"},
        Damage{"CountTooHigh", [](std::vector<std::uint8_t>& b) { b[6] = 13; }, "truncated"},
        Damage{"StrayBytes", [](std::vector<std::uint8_t>& b) { b.push_back(0); }, "stray"},
        Damage{"HugeLength", [](std::vector<std::uint8_t>& b) { b[42] = 0xFF; b[43] = 0xFF; b[44] = 0xFF; b[45] = 0xFF; },
               "past the end"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
