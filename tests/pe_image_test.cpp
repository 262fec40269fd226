// The PE reader on small module files written by the tests: what it finds in
// a sound file, and that a truncated or damaged one gives a HostError naming
// the damage, never a crash or a read outside the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frames/HostError.h"
#include "modulefiles/PeImage.h"
#include "tests/PeBuilder.h"

namespace quorvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

PeLayout SoundLayout() {
    PeLayout def;
    def.exports = {"EntryPointFunc", "Another"};
    def.imports = {"KERNEL32.dll", "msvcrt.dll"};
    def.resources = {
        {"PIPL", 0, "", 16000, 1033, {1, 2, 3, 4, 5}},
        {"PIPL", 0, "", 16000, 1031, {7}},
        {"", 10, "", 1, 1033, {9, 9}},         // numbered type (RCDATA)
        {"", 3, "ICON1", 0, 0, {4, 3, 2, 1}},  // named resource
    };
    return def;
}

const modulefiles::PeResource* FindExact(const modulefiles::PeImage& image, const PeLayout::Resource& r) {
    for (const modulefiles::PeResource& found : image.resources()) {
        const bool type = r.type_name.empty() ? !found.type.is_name && found.type.id == r.type_id
                                              : found.type.is_name && found.type.name == r.type_name;
        const bool name = r.name.empty() ? !found.name.is_name && found.name.id == r.id
                                         : found.name.is_name && found.name.name == r.name;
        if (type && name && found.language == r.language) return &found;
    }
    return nullptr;
}

TEST(PeImage, ReadsExportsImportsAndResourcesOfASoundFile) {
    const PeLayout def = SoundLayout();
    const modulefiles::PeImage image(BuildPe(def).bytes);

    EXPECT_EQ(image.machine(), modulefiles::PeImage::kMachineAmd64);
    EXPECT_TRUE(image.pe32_plus());
    EXPECT_TRUE(image.is_dll());

    // The name table is sorted, and ordinals count from the directory's base of 1.
    ASSERT_EQ(image.exports().size(), 2u);
    EXPECT_EQ(image.exports()[0].name, "Another");
    EXPECT_EQ(image.exports()[0].ordinal, 1u);
    EXPECT_EQ(image.exports()[1].name, "EntryPointFunc");
    EXPECT_EQ(image.exports()[1].ordinal, 2u);
    for (const modulefiles::PeExport& e : image.exports()) EXPECT_FALSE(e.forwarded) << e.name;

    EXPECT_EQ(image.imports(), def.imports);

    ASSERT_EQ(image.resources().size(), def.resources.size());
    for (const PeLayout::Resource& r : def.resources) {
        SCOPED_TRACE(r.type_name + "/" + std::to_string(r.type_id) + "/" + r.name + std::to_string(r.id));
        const modulefiles::PeResource* found = FindExact(image, r);
        ASSERT_NE(found, nullptr);
        const auto data = image.Data(*found);
        EXPECT_EQ(Bytes(data.begin(), data.end()), r.data);
        EXPECT_EQ(found->size, r.data.size());
    }
}

TEST(PeImage, KeysReadAsQuotedNamesOrNumbers) {
    const modulefiles::PeImage image(BuildPe(SoundLayout()).bytes);
    const modulefiles::PeResource* icon = FindExact(image, SoundLayout().resources[3]);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->type.Text(), "3");
    EXPECT_EQ(icon->name.Text(), "\"ICON1\"");
}

TEST(PeImage, FindPrefersTheAskedLanguageThenTakesTheFirst) {
    const modulefiles::PeImage image(BuildPe(SoundLayout()).bytes);
    auto data_of = [&](const modulefiles::PeResource* r) {
        if (r == nullptr) return Bytes{};
        const auto d = image.Data(*r);
        return Bytes(d.begin(), d.end());
    };
    EXPECT_EQ(data_of(image.Find("PIPL", 16000, 1033)), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(data_of(image.Find("PIPL", 16000, 1031)), (Bytes{7}));
    // Type names compare as the system compares them, ignoring case.
    EXPECT_EQ(data_of(image.Find("pipl", 16000, 1033)), (Bytes{1, 2, 3, 4, 5}));
    // No English (UK): the first in the table, which is ordered by language.
    EXPECT_EQ(data_of(image.Find("PIPL", 16000, 2057)), (Bytes{7}));
    EXPECT_EQ(image.Find("PIPL", 16001, 1033), nullptr);
    EXPECT_EQ(image.Find("RCDATA", 1, 1033), nullptr);  // a numbered type has no name
}

TEST(PeImage, AnAddressInsideTheExportDirectoryIsAForwarder) {
    PeFile f = BuildPe(SoundLayout());
    // Point the first function's address at the directory itself.
    const std::size_t address_table = f.export_directory + 40;  // the builder puts it right after
    f.Put32(address_table, f.Rva(f.export_directory));
    const modulefiles::PeImage image(f.bytes);
    EXPECT_TRUE(image.exports()[0].forwarded);
    EXPECT_FALSE(image.exports()[1].forwarded);
}

struct Flavour {
    const char* name;
    std::uint16_t machine;
    bool pe32_plus;
    const char* summary;
};

class PeFlavour : public ::testing::TestWithParam<Flavour> {};

TEST_P(PeFlavour, IsReadAndSummarised) {
    PeLayout def = SoundLayout();
    def.machine = GetParam().machine;
    def.pe32_plus = GetParam().pe32_plus;
    const modulefiles::PeImage image(BuildPe(def).bytes);
    EXPECT_EQ(image.Summary(), GetParam().summary);
    EXPECT_EQ(image.exports().size(), 2u);
    EXPECT_EQ(image.resources().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PeFlavour,
                         ::testing::Values(Flavour{"Pe32PlusAmd64", 0x8664, true, "PE32+ DLL, x86-64"},
                                           Flavour{"Pe32I386", 0x014C, false, "PE32 DLL, i386"},
                                           Flavour{"Pe32PlusArm64", 0xAA64, true, "PE32+ DLL, machine 0xAA64"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PeImage, AFileWithoutTablesHasNoExportsImportsOrResources) {
    const modulefiles::PeImage image(BuildPe(PeLayout{}).bytes);
    EXPECT_TRUE(image.exports().empty());
    EXPECT_TRUE(image.imports().empty());
    EXPECT_TRUE(image.resources().empty());
}

// Whatever the cut, some table or section the reader needs is left short.
TEST(PeImage, EveryTruncationIsRejected) {
    const Bytes whole = BuildPe(SoundLayout()).bytes;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        EXPECT_THROW(modulefiles::PeImage(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(size))),
                     frames::HostError)
            << "cut to " << size << " bytes";
    }
}

// Any single damaged byte gives either an image or a HostError: no crash, no
// other exception, no read outside the file (the sanitizers watch that).
TEST(PeImage, EveryDamagedByteGivesAnImageOrAHostError) {
    const Bytes whole = BuildPe(SoundLayout()).bytes;
    int rejected = 0;
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (std::uint8_t mask : {std::uint8_t(0xFF), std::uint8_t(0x80)}) {
            Bytes damaged = whole;
            damaged[at] ^= mask;
            try {
                const modulefiles::PeImage image(damaged);
                for (const modulefiles::PeResource& r : image.resources()) EXPECT_EQ(image.Data(r).size(), r.size);
            } catch (const frames::HostError&) {
                ++rejected;
            } catch (const std::exception& e) {
                ADD_FAILURE() << "byte " << at << " ^ " << int(mask) << ": " << e.what();
            }
        }
    }
    EXPECT_GT(rejected, 0);
}

struct Damage {
    const char* name;
    void (*apply)(PeFile&);
    const char* message_part;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

std::size_t ExportNameTable(const PeFile& f) {
    return f.export_directory + 40 + 4 * 2;  // after the two-entry address table
}

const Damage kDamages[] = {
    {"NotMz", [](PeFile& f) { f.bytes[0] = 'Z'; }, "not a PE image"},
    {"OnlyMz", [](PeFile& f) { f.bytes.resize(2); }, "DOS header"},
    {"NoSignature", [](PeFile& f) { f.bytes[f.coff - 4] = 'X'; }, "no PE signature"},
    {"HeaderPastTheEnd", [](PeFile& f) { f.Put32(0x3C, std::uint32_t(f.bytes.size() - 8)); }, "PE header"},
    {"UnknownMagic", [](PeFile& f) { f.Put16(f.optional, 0x0999); }, "unknown optional header magic 0x999"},
    {"NoSections", [](PeFile& f) { f.Put16(f.coff + 2, 0); }, "0 sections"},
    {"TooManySections", [](PeFile& f) { f.Put16(f.coff + 2, 0xFFFF); }, "65535 sections"},
    {"OptionalHeaderTooShortForItsFormat", [](PeFile& f) { f.Put16(f.coff + 16, 100); }, "too short for its format"},
    {"OptionalHeaderTooShortForDirectories", [](PeFile& f) { f.Put16(f.coff + 16, 112 + 8 * 3); },
     "too short for its 16 data directories"},
    {"SectionPastTheEnd", [](PeFile& f) { f.Put32(f.section_table + 16, 0x100000); }, "section '.rdata'"},
    {"ExportNameInNoSection", [](PeFile& f) { f.Put32(ExportNameTable(f), 0x50000); },
     "export name at RVA 0x50000 lies in no section"},
    // The section's last byte is the last resource's last byte, not a zero.
    {"ExportNameRunsOutOfItsSection",
     [](PeFile& f) { f.Put32(ExportNameTable(f), f.section_rva + f.Get32(f.section_table + 8) - 1); },
     "is not terminated inside its section"},
    {"ExportOrdinalOutOfRange", [](PeFile& f) { f.Put16(ExportNameTable(f) + 8, 7); }, "points at function 7 of 2"},
    {"MoreExportNamesThanFunctions", [](PeFile& f) { f.Put32(f.export_directory + 24, 3); }, "3 names for 2 functions"},
    {"ExportTablePastTheSection", [](PeFile& f) { f.Put32(f.export_directory + 20, 0x10000); }, "export address table"},
    {"ImportNameInNoSection", [](PeFile& f) { f.Put32(f.import_directory + 12, 0x90000); },
     "imported DLL name at RVA 0x90000"},
    {"ImportDirectoryInNoSection", [](PeFile& f) { f.Put32(f.optional + 112 + 8, 0x70000); },
     "import directory at RVA 0x70000"},
    {"ResourceEntriesPastTheEnd", [](PeFile& f) { f.Put16(f.resource_root + 14, 0xFFFF); }, "resource table entries"},
    {"ResourceTypeNamePastTheEnd", [](PeFile& f) { f.Put16(f.first_type_name, 250); }, "resource name at offset"},
    // Names are short words; a long one, however many entries share it, is refused.
    {"ResourceTypeNameTooLong", [](PeFile& f) { f.Put16(f.first_type_name, 257); }, "resource name of 257 characters"},
    {"ResourceIdOutOfRange", [](PeFile& f) { f.Put32(f.first_type_entry, 0x12345); },
     "resource id 0x12345 is out of range"},
    {"DataWhereATableBelongs",
     [](PeFile& f) { f.Put32(f.first_type_entry + 4, std::uint32_t(f.first_data_entry - f.resource_root)); },
     "has data where a table belongs"},
    {"LanguageLoopsBackToTheRoot", [](PeFile& f) { f.Put32(f.first_language_table + 16 + 4, 0x80000000u); },
     "nested deeper than type, name and language"},
    {"LanguageIsAName",
     [](PeFile& f) {
         f.Put32(f.first_language_table + 16, 0x80000000u | std::uint32_t(f.first_type_name - f.resource_root));
     },
     "is a name, not a number"},
    {"ResourceDataPastTheSection", [](PeFile& f) { f.Put32(f.first_data_entry + 4, 0x100000); },
     "resource data at RVA"},
    {"ResourceDataInNoSection", [](PeFile& f) { f.Put32(f.first_data_entry, 0x8000); },
     "resource data at RVA 0x8000 lies in no section"},
    {"ResourceDataEntryPastTheEnd", [](PeFile& f) { f.Put32(f.first_language_table + 16 + 4, 0x7FFFFFF0u); },
     "resource data entry"},
};

class DamagedPe : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedPe, IsRejectedWithAReason) {
    PeFile f = BuildPe(SoundLayout());
    ASSERT_NE(f.first_type_name, 0u);  // the damages below need a named type
    GetParam().apply(f);
    try {
        const modulefiles::PeImage image(f.bytes);
        FAIL() << "accepted";
    } catch (const frames::HostError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message_part), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedPe, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

// Tables that point at the same wide tables multiply: two types that both
// lead to one table of 300 names, whose entries all lead to one table of 300
// languages, make 180,000 resources out of a few kilobytes.
TEST(PeImage, AResourceTreeThatFansOutWithoutEndIsRejected) {
    PeLayout def;
    for (std::uint16_t id = 1; id <= 300; ++id) def.resources.push_back({"AAAA", 0, "", id, 1033, {1}});
    for (std::uint16_t language = 1; language <= 300; ++language) {
        def.resources.push_back({"BBBB", 0, "", 1, language, {2}});
    }
    PeFile f = BuildPe(def);
    ASSERT_EQ(modulefiles::PeImage(f.bytes).resources().size(), 600u);
    ASSERT_EQ(f.name_tables.size(), 2u);
    const std::size_t type_a_names = f.name_tables[0];
    const std::size_t type_b_languages = f.language_tables.back();
    auto subdirectory = [&](std::size_t table) { return 0x80000000u | std::uint32_t(table - f.resource_root); };
    for (std::size_t i = 0; i < 300; ++i) f.Put32(type_a_names + 16 + 8 * i + 4, subdirectory(type_b_languages));
    f.Put32(f.first_type_entry + 8 + 4, subdirectory(type_a_names));  // type "BBBB" too
    try {
        const modulefiles::PeImage image(f.bytes);
        FAIL() << "accepted " << image.resources().size() << " resources";
    } catch (const frames::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("does it loop?"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace quorvel::test
