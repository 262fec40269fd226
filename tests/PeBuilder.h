// Writes small Windows module files for the tests of the PE reader: one
// section holding an export table, an import table and a resource tree, laid
// out as a linker lays out a DLL (file alignment 0x200, section alignment
// 0x1000), so that Windows itself accepts the file as a resource-only load.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace quorvel::test {

struct PeLayout {
    struct Resource {
        std::string type_name;  ///< empty: the type is `type_id`
        std::uint16_t type_id = 0;
        std::string name;  ///< empty: the name is `id`
        std::uint16_t id = 0;
        std::uint16_t language = 1033;
        std::vector<std::uint8_t> data;
    };
    std::uint16_t machine = 0x8664;
    bool pe32_plus = true;
    std::vector<std::string> exports;  ///< written sorted, as loaders expect
    std::vector<std::string> imports;
    std::vector<Resource> resources;
};

/// The file and where its parts are, for tests that damage one of them.
struct PeFile {
    std::vector<std::uint8_t> bytes;
    std::size_t coff = 0;      ///< the file header, after "PE\0\0"
    std::size_t optional = 0;  ///< the optional header
    std::size_t section_table = 0;
    std::size_t section = 0;  ///< file offset of the one section
    std::uint32_t section_rva = 0x1000;
    std::size_t export_directory = 0;  ///< file offsets; 0 when absent
    std::size_t import_directory = 0;
    std::size_t resource_root = 0;
    std::size_t first_type_entry = 0;          ///< the root's first entry
    std::size_t first_language_table = 0;      ///< the first resource's language table
    std::size_t first_data_entry = 0;          ///< the first resource's data entry
    std::size_t first_data = 0;                ///< the first resource's bytes
    std::size_t first_type_name = 0;           ///< the first named type's length word; 0 when none
    std::vector<std::size_t> name_tables;      ///< one per type, in the tree's order
    std::vector<std::size_t> language_tables;  ///< one per (type, name), in the tree's order

    std::uint32_t Rva(std::size_t file_offset) const { return std::uint32_t(file_offset - section + section_rva); }
    void Put16(std::size_t at, std::uint32_t v) {
        bytes[at] = std::uint8_t(v);
        bytes[at + 1] = std::uint8_t(v >> 8);
    }
    void Put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
    std::uint32_t Get32(std::size_t at) const {
        return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
               std::uint32_t(bytes[at + 3]) << 24;
    }
};

namespace pe_builder_detail {

class Out {
public:
    std::vector<std::uint8_t>& bytes() { return b_; }
    std::size_t size() const { return b_.size(); }
    void Align(std::size_t n) {
        while (b_.size() % n != 0) b_.push_back(0);
    }
    std::size_t Reserve(std::size_t n) {
        const std::size_t at = b_.size();
        b_.resize(at + n);
        return at;
    }
    void Put16(std::size_t at, std::uint32_t v) {
        b_[at] = std::uint8_t(v);
        b_[at + 1] = std::uint8_t(v >> 8);
    }
    void Put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b_[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
    void Put64(std::size_t at, std::uint64_t v) {
        for (int i = 0; i < 8; ++i) b_[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
    std::size_t CString(const std::string& s) {
        const std::size_t at = b_.size();
        b_.insert(b_.end(), s.begin(), s.end());
        b_.push_back(0);
        return at;
    }

private:
    std::vector<std::uint8_t> b_;
};

/// A resource type or name as the tree orders it: names first, by text, then ids.
struct Key {
    std::string name;
    std::uint16_t id = 0;
    bool operator<(const Key& o) const {
        if (name.empty() != o.name.empty()) return !name.empty();
        return name.empty() ? id < o.id : name < o.name;
    }
};

}  // namespace pe_builder_detail

inline PeFile BuildPe(const PeLayout& def) {
    using pe_builder_detail::Key;
    using pe_builder_detail::Out;
    constexpr std::size_t kSectionStart = 0x200;
    constexpr std::uint32_t kSectionRva = 0x1000;
    const std::size_t optional_size = def.pe32_plus ? 240 : 224;

    PeFile f;
    Out o;
    o.Reserve(kSectionStart);
    auto rva = [&](std::size_t file_offset) { return std::uint32_t(file_offset - kSectionStart + kSectionRva); };

    // Exports: directory, address table, name pointers, ordinals, then strings.
    std::vector<std::string> exports = def.exports;
    std::sort(exports.begin(), exports.end());
    std::uint32_t export_size = 0;
    if (!exports.empty()) {
        const std::size_t n = exports.size();
        f.export_directory = o.Reserve(40);
        const std::size_t addresses = o.Reserve(4 * n);
        const std::size_t names = o.Reserve(4 * n);
        const std::size_t ordinals = o.Reserve(2 * n);
        const std::size_t dll_name = o.CString("test.dll");
        o.Put32(f.export_directory + 12, rva(dll_name));
        o.Put32(f.export_directory + 16, 1);  // ordinal base
        o.Put32(f.export_directory + 20, std::uint32_t(n));
        o.Put32(f.export_directory + 24, std::uint32_t(n));
        o.Put32(f.export_directory + 28, rva(addresses));
        o.Put32(f.export_directory + 32, rva(names));
        o.Put32(f.export_directory + 36, rva(ordinals));
        for (std::size_t i = 0; i < n; ++i) {
            o.Put32(addresses + 4 * i, kSectionRva + 0x800 + 16 * std::uint32_t(i));  // outside the directory
            o.Put32(names + 4 * i, rva(o.CString(exports[i])));
            o.Put16(ordinals + 2 * i, std::uint32_t(i));
        }
        export_size = std::uint32_t(o.size() - f.export_directory);
        o.Align(8);
    }

    // Imports: descriptors ending in an empty one, each with an empty thunk list.
    std::uint32_t import_size = 0;
    if (!def.imports.empty()) {
        f.import_directory = o.Reserve(20 * (def.imports.size() + 1));
        import_size = std::uint32_t(20 * (def.imports.size() + 1));
        for (std::size_t i = 0; i < def.imports.size(); ++i) {
            const std::size_t thunks = o.Reserve(8);
            o.Put32(f.import_directory + 20 * i + 12, rva(o.CString(def.imports[i])));
            o.Put32(f.import_directory + 20 * i + 16, rva(thunks));
        }
        o.Align(8);
    }

    // Resources: type tables, name tables, language tables, data entries,
    // name strings, then the data, each level after the one before.
    std::uint32_t resource_size = 0;
    if (!def.resources.empty()) {
        std::map<Key, std::map<Key, std::map<std::uint16_t, std::size_t>>> tree;
        for (std::size_t i = 0; i < def.resources.size(); ++i) {
            const auto& r = def.resources[i];
            tree[Key{r.type_name, r.type_id}][Key{r.name, r.id}][r.language] = i;
        }
        const std::size_t root = o.size();
        f.resource_root = root;
        auto table = [&](std::size_t named, std::size_t ids) {
            const std::size_t at = o.Reserve(16 + 8 * (named + ids));
            o.Put16(at + 12, std::uint32_t(named));
            o.Put16(at + 14, std::uint32_t(ids));
            return at;
        };
        auto count_named = [](const auto& level) {
            return std::size_t(
                std::count_if(level.begin(), level.end(), [](const auto& kv) { return !kv.first.name.empty(); }));
        };
        std::vector<std::pair<std::size_t, std::string>> name_fixups;  // entry, string to place
        std::vector<std::pair<std::size_t, std::size_t>> data_fixups;  // data entry, resource index
        const std::size_t root_table = table(count_named(tree), tree.size() - count_named(tree));
        f.first_type_entry = root_table + 16;
        std::size_t type_i = 0;
        for (const auto& [type, names] : tree) {
            const std::size_t type_entry = root_table + 16 + 8 * type_i++;
            if (!type.name.empty())
                name_fixups.emplace_back(type_entry, type.name);
            else
                o.Put32(type_entry, type.id);
            const std::size_t name_table = table(count_named(names), names.size() - count_named(names));
            f.name_tables.push_back(name_table);
            o.Put32(type_entry + 4, 0x80000000u | std::uint32_t(name_table - root));
            std::size_t name_i = 0;
            for (const auto& [name, languages] : names) {
                const std::size_t name_entry = name_table + 16 + 8 * name_i++;
                if (!name.name.empty())
                    name_fixups.emplace_back(name_entry, name.name);
                else
                    o.Put32(name_entry, name.id);
                const std::size_t language_table = table(0, languages.size());
                if (f.first_language_table == 0) f.first_language_table = language_table;
                f.language_tables.push_back(language_table);
                o.Put32(name_entry + 4, 0x80000000u | std::uint32_t(language_table - root));
                std::size_t language_i = 0;
                for (const auto& [language, index] : languages) {
                    const std::size_t language_entry = language_table + 16 + 8 * language_i++;
                    o.Put32(language_entry, language);
                    data_fixups.emplace_back(language_entry, index);
                }
            }
        }
        for (auto& [language_entry, index] : data_fixups) {
            const std::size_t entry = o.Reserve(16);
            if (f.first_data_entry == 0) f.first_data_entry = entry;
            o.Put32(language_entry + 4, std::uint32_t(entry - root));
            language_entry = entry;  // now the data entry, filled below
        }
        for (const auto& [entry, text] : name_fixups) {
            const std::size_t at = o.Reserve(2 + 2 * text.size());
            if (f.first_type_name == 0 && entry == f.first_type_entry) f.first_type_name = at;
            o.Put16(at, std::uint32_t(text.size()));
            for (std::size_t i = 0; i < text.size(); ++i) o.Put16(at + 2 + 2 * i, std::uint8_t(text[i]));
            o.Put32(entry, 0x80000000u | std::uint32_t(at - root));
        }
        for (const auto& [entry, index] : data_fixups) {
            o.Align(8);
            const auto& data = def.resources[index].data;
            const std::size_t at = o.Reserve(data.size());
            if (f.first_data == 0) f.first_data = at;
            std::copy(data.begin(), data.end(), o.bytes().begin() + std::ptrdiff_t(at));
            o.Put32(entry, rva(at));
            o.Put32(entry + 4, std::uint32_t(data.size()));
        }
        resource_size = std::uint32_t(o.size() - root);
    }
    if (o.size() == kSectionStart) o.Reserve(16);  // a section is never empty
    const std::uint32_t virtual_size = std::uint32_t(o.size() - kSectionStart);
    o.Align(0x200);
    const std::uint32_t raw_size = std::uint32_t(o.size() - kSectionStart);

    // Headers.
    std::vector<std::uint8_t>& b = o.bytes();
    b[0] = 'M';
    b[1] = 'Z';
    o.Put32(0x3C, 0x40);
    std::memcpy(&b[0x40], "PE\0\0", 4);
    f.coff = 0x44;
    o.Put16(f.coff, def.machine);
    o.Put16(f.coff + 2, 1);
    o.Put16(f.coff + 16, std::uint32_t(optional_size));
    o.Put16(f.coff + 18, 0x2022);  // executable image, large address aware, DLL
    f.optional = f.coff + 20;
    const std::size_t opt = f.optional;
    o.Put16(opt, def.pe32_plus ? 0x20B : 0x10B);
    o.Put32(opt + 8, raw_size);  // initialised data
    if (def.pe32_plus) {
        o.Put64(opt + 24, 0x180000000ull);  // image base
    } else {
        o.Put32(opt + 28, 0x10000000u);  // after the PE32-only base of data
    }
    o.Put32(opt + 32, 0x1000);                                             // section alignment
    o.Put32(opt + 36, 0x200);                                              // file alignment
    o.Put16(opt + 40, 6);                                                  // operating system version 6.0
    o.Put16(opt + 48, 6);                                                  // subsystem version 6.0
    o.Put32(opt + 56, kSectionRva + ((virtual_size + 0xFFFu) & ~0xFFFu));  // size of image
    o.Put32(opt + 60, std::uint32_t(kSectionStart));                       // size of headers
    o.Put16(opt + 68, 2);                                                  // GUI subsystem
    const std::size_t sizes = opt + 72;  // stack and heap sizes, 8 bytes each in PE32+, 4 in PE32
    if (def.pe32_plus) {
        o.Put64(sizes, 0x100000);
        o.Put64(sizes + 8, 0x1000);
        o.Put64(sizes + 16, 0x100000);
        o.Put64(sizes + 24, 0x1000);
    } else {
        o.Put32(sizes, 0x100000);
        o.Put32(sizes + 4, 0x1000);
        o.Put32(sizes + 8, 0x100000);
        o.Put32(sizes + 12, 0x1000);
    }
    const std::size_t directories = def.pe32_plus ? opt + 112 : opt + 96;
    o.Put32(directories - 4, 16);
    if (export_size != 0) {
        o.Put32(directories, rva(f.export_directory));
        o.Put32(directories + 4, export_size);
    }
    if (import_size != 0) {
        o.Put32(directories + 8, rva(f.import_directory));
        o.Put32(directories + 12, import_size);
    }
    if (resource_size != 0) {
        o.Put32(directories + 16, rva(f.resource_root));
        o.Put32(directories + 20, resource_size);
    }
    f.section_table = opt + optional_size;
    std::memcpy(&b[f.section_table], ".rdata", 6);
    o.Put32(f.section_table + 8, virtual_size);
    o.Put32(f.section_table + 12, kSectionRva);
    o.Put32(f.section_table + 16, raw_size);
    o.Put32(f.section_table + 20, std::uint32_t(kSectionStart));
    o.Put32(f.section_table + 36, 0x40000040u);  // initialised data, readable
    f.section = kSectionStart;
    f.section_rva = kSectionRva;
    f.bytes = std::move(b);
    return f;
}

}  // namespace quorvel::test
