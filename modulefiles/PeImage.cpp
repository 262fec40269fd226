#include "modulefiles/PeImage.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "frames/HostError.h"

namespace quorvel::modulefiles {

namespace {

// Limits a real module never reaches; past them the file is taken as hostile.
constexpr std::uint32_t kMaxSections = 96;  // the format's own limit
constexpr std::size_t kMaxStringLength = 4096;
constexpr std::uint32_t kMaxExportNames = 65536;
constexpr std::uint64_t kMaxImports = 4096;
constexpr std::size_t kMaxResourceEntries = 65536;  // visits across all three levels, loops included
// Resource names are short words ("PIPL", "MANIFEST"); the format allows 65535 characters.
constexpr std::size_t kMaxResourceNameLength = 256;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;

std::string Hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

[[noreturn]] void Damaged(const std::string& what) { throw frames::HostError("damaged PE image: " + what); }

/// Little-endian reads from the file, each checked against its size.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    void Need(std::uint64_t at, std::uint64_t count, const std::string& what) const {
        if (at > bytes_.size() || count > bytes_.size() - at) {
            Damaged(what + " at file offset " + Hex(at) + " runs past the end of the file (" +
                    std::to_string(bytes_.size()) + " bytes; truncated?)");
        }
    }
    std::uint16_t U16(std::uint64_t at, const std::string& what) const {
        Need(at, 2, what);
        return std::uint16_t(bytes_[at] | bytes_[at + 1] << 8);
    }
    std::uint32_t U32(std::uint64_t at, const std::string& what) const {
        Need(at, 4, what);
        return std::uint32_t(bytes_[at]) | std::uint32_t(bytes_[at + 1]) << 8 | std::uint32_t(bytes_[at + 2]) << 16 |
               std::uint32_t(bytes_[at + 3]) << 24;
    }
    std::uint8_t U8(std::uint64_t at) const { return bytes_[at]; }  // callers check with Need first

private:
    std::span<const std::uint8_t> bytes_;
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
               return upper(x) == upper(y);
           });
}

}  // namespace

std::string PeResourceKey::Text() const { return is_name ? "\"" + name + "\"" : std::to_string(id); }

bool PeImage::LooksLikePe(std::span<const std::uint8_t> head) {
    return head.size() >= 2 && head[0] == 'M' && head[1] == 'Z';
}

PeImage::PeImage(std::vector<std::uint8_t> file) : file_(std::move(file)) {
    ReadHeaders();
    // Data directories 0, 1 and 2: exports, imports, resources. An empty one is absent.
    auto directory = [&](std::size_t i) { return i < directories_.size() ? directories_[i] : Directory{}; };
    if (const Directory d = directory(0); d.rva != 0 && d.size != 0) ReadExports(d);
    if (const Directory d = directory(1); d.rva != 0 && d.size != 0) ReadImports(d);
    if (const Directory d = directory(2); d.rva != 0 && d.size != 0) ReadResources(d);
}

void PeImage::ReadHeaders() {
    const Reader r(file_);
    if (!LooksLikePe(file_)) throw frames::HostError("not a PE image (no DOS header)");
    const std::uint32_t pe_at = r.U32(0x3C, "DOS header");
    r.Need(pe_at, 24, "PE header");
    if (r.U32(pe_at, "PE signature") != 0x00004550u) {  // "PE\0\0"
        throw frames::HostError("not a PE image (no PE signature at file offset " + Hex(pe_at) + ")");
    }
    const std::uint64_t coff = std::uint64_t(pe_at) + 4;
    machine_ = r.U16(coff, "file header");
    const std::uint16_t section_count = r.U16(coff + 2, "file header");
    const std::uint16_t optional_size = r.U16(coff + 16, "file header");
    characteristics_ = r.U16(coff + 18, "file header");

    const std::uint64_t optional = coff + 20;
    r.Need(optional, optional_size, "optional header (" + std::to_string(optional_size) + " bytes)");
    if (optional_size < 2) Damaged("optional header is " + std::to_string(optional_size) + " bytes long");
    const std::uint16_t magic = r.U16(optional, "optional header");
    std::uint32_t fixed = 0;  // bytes before the data directories
    if (magic == 0x20B) {
        pe32_plus_ = true;
        fixed = 112;
    } else if (magic == 0x10B) {
        fixed = 96;
    } else {
        Damaged("unknown optional header magic " + Hex(magic));
    }
    if (optional_size < fixed) {
        Damaged("optional header is " + std::to_string(optional_size) + " bytes, too short for its format");
    }
    const std::uint32_t declared = r.U32(optional + fixed - 4, "optional header");
    const std::uint32_t count = std::min<std::uint32_t>(declared, 16);
    if (fixed + std::uint64_t(count) * 8 > optional_size) {
        Damaged("optional header is too short for its " + std::to_string(count) + " data directories");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = optional + fixed + 8 * std::uint64_t(i);
        directories_.push_back({r.U32(at, "data directory"), r.U32(at + 4, "data directory")});
    }

    if (section_count == 0 || section_count > kMaxSections) {
        Damaged(std::to_string(section_count) + " sections (a module has 1 to " + std::to_string(kMaxSections) + ")");
    }
    const std::uint64_t table = optional + optional_size;
    r.Need(table, std::uint64_t(section_count) * 40, "section table");
    for (std::uint32_t i = 0; i < section_count; ++i) {
        const std::uint64_t at = table + 40 * std::uint64_t(i);
        Section s;
        for (std::uint64_t c = 0; c < 8 && r.U8(at + c) != 0; ++c) s.name += char(r.U8(at + c));
        s.virtual_size = r.U32(at + 8, "section header");
        s.virtual_address = r.U32(at + 12, "section header");
        s.raw_size = r.U32(at + 16, "section header");
        s.raw_offset = r.U32(at + 20, "section header");
        if (s.raw_size != 0) r.Need(s.raw_offset, s.raw_size, "section '" + s.name + "'");
        sections_.push_back(std::move(s));
    }
}

PeImage::Located PeImage::Locate(std::uint32_t rva, const char* what) const {
    for (const Section& s : sections_) {
        // The part of the section the file holds: beyond its raw size the
        // loader fills zeros, beyond its virtual size there is nothing.
        const std::uint32_t extent = s.virtual_size != 0 ? std::min(s.virtual_size, s.raw_size) : s.raw_size;
        if (rva < s.virtual_address || rva - s.virtual_address >= extent) continue;
        const std::uint32_t into = rva - s.virtual_address;
        return {std::uint64_t(s.raw_offset) + into, extent - into, &s};
    }
    Damaged(std::string(what) + " at RVA " + Hex(rva) + " lies in no section the file holds");
}

std::uint64_t PeImage::Map(std::uint32_t rva, std::uint64_t size, const char* what) const {
    const Located at = Locate(rva, what);
    if (size > at.available) {
        Damaged(std::string(what) + " at RVA " + Hex(rva) + " (" + std::to_string(size) +
                " bytes) runs past the end of section '" + at.section->name + "'");
    }
    return at.offset;
}

std::string PeImage::StringAt(std::uint32_t rva, const char* what) const {
    const Located at = Locate(rva, what);
    const std::uint64_t limit = std::min<std::uint64_t>(at.available, kMaxStringLength + 1);
    for (std::uint64_t i = 0; i < limit; ++i) {
        if (file_[at.offset + i] == 0) {
            return std::string(file_.begin() + std::ptrdiff_t(at.offset),
                               file_.begin() + std::ptrdiff_t(at.offset + i));
        }
    }
    Damaged(std::string(what) + " at RVA " + Hex(rva) + " is not terminated" +
            (limit == at.available ? " inside its section"
                                   : " within " + std::to_string(kMaxStringLength) + " characters"));
}

void PeImage::ReadExports(Directory dir) {
    const Reader r(file_);
    const std::uint64_t at = Map(dir.rva, 40, "export directory");
    const std::uint32_t base = r.U32(at + 16, "export directory");
    const std::uint32_t functions = r.U32(at + 20, "export directory");
    const std::uint32_t names = r.U32(at + 24, "export directory");
    if (names == 0) return;
    if (names > kMaxExportNames) Damaged("export directory has " + std::to_string(names) + " names");
    if (names > functions) {
        Damaged("export directory has " + std::to_string(names) + " names for " + std::to_string(functions) +
                " functions");
    }
    const std::uint64_t address_table =
        Map(r.U32(at + 28, "export directory"), 4 * std::uint64_t(functions), "export address table");
    const std::uint64_t name_table =
        Map(r.U32(at + 32, "export directory"), 4 * std::uint64_t(names), "export name table");
    const std::uint64_t ordinal_table =
        Map(r.U32(at + 36, "export directory"), 2 * std::uint64_t(names), "export ordinal table");
    for (std::uint32_t i = 0; i < names; ++i) {
        PeExport e;
        const std::uint16_t index = r.U16(ordinal_table + 2 * std::uint64_t(i), "export ordinal table");
        if (index >= functions) {
            Damaged("export " + std::to_string(i + 1) + " points at function " + std::to_string(index) + " of " +
                    std::to_string(functions));
        }
        e.name = StringAt(r.U32(name_table + 4 * std::uint64_t(i), "export name table"), "export name");
        e.ordinal = base + index;
        e.rva = r.U32(address_table + 4 * std::uint64_t(index), "export address table");
        e.forwarded = e.rva >= dir.rva && e.rva - dir.rva < dir.size;
        exports_.push_back(std::move(e));
    }
}

void PeImage::ReadImports(Directory dir) {
    const Reader r(file_);
    // Descriptors of 20 bytes, up to one that is all zeros; each one read
    // must lie inside the section, which bounds the loop.
    for (std::uint64_t i = 0;; ++i) {
        if (i == kMaxImports) Damaged("import directory has more than " + std::to_string(kMaxImports) + " DLLs");
        const std::uint64_t rva = dir.rva + 20 * i;
        if (rva > UINT32_MAX) Damaged("import directory runs past the end of the address space");
        const std::uint64_t at = Map(std::uint32_t(rva), 20, "import directory");
        const std::uint32_t name = r.U32(at + 12, "import directory");
        const std::uint32_t thunks = r.U32(at + 16, "import directory");
        if (name == 0 && thunks == 0) return;
        imports_.push_back(StringAt(name, "imported DLL name"));
    }
}

void PeImage::ReadResources(Directory dir) {
    const Reader r(file_);
    // Offsets in the tree count from its root, and the tree must lie inside
    // the section that holds the root.
    const std::uint64_t root = Map(dir.rva, 16, "resource directory");
    std::uint64_t tree_size = 0;
    for (const Section& s : sections_) {
        const std::uint32_t extent = s.virtual_size != 0 ? std::min(s.virtual_size, s.raw_size) : s.raw_size;
        if (dir.rva >= s.virtual_address && dir.rva - s.virtual_address < extent) {
            tree_size = extent - (dir.rva - s.virtual_address);
        }
    }
    auto need = [&](std::uint64_t offset, std::uint64_t count, const char* what) {
        if (offset > tree_size || count > tree_size - offset) {
            Damaged(std::string(what) + " at offset " + Hex(offset) + " of the resource directory runs past its end");
        }
        return root + offset;
    };
    // Each name is read once, however many entries point at it.
    std::map<std::uint32_t, std::string> names;
    auto key_of = [&](std::uint32_t field) {
        PeResourceKey key;
        if ((field & kSubdirectoryBit) == 0) {
            if (field > 0xFFFF) Damaged("resource id " + Hex(field) + " is out of range");
            key.id = std::uint16_t(field);
            return key;
        }
        key.is_name = true;
        const std::uint32_t offset = field & ~kSubdirectoryBit;
        if (const auto known = names.find(offset); known != names.end()) {
            key.name = known->second;
            return key;
        }
        const std::uint64_t at = need(offset, 2, "resource name");
        const std::uint16_t length = r.U16(at, "resource name");
        if (length > kMaxResourceNameLength) Damaged("resource name of " + std::to_string(length) + " characters");
        need(std::uint64_t(offset) + 2, 2 * std::uint64_t(length), "resource name");
        for (std::uint64_t i = 0; i < length; ++i) {
            const std::uint16_t c = r.U16(at + 2 + 2 * i, "resource name");
            key.name += c >= 0x20 && c < 0x7F ? char(c) : '?';
        }
        names.emplace(offset, key.name);
        return key;
    };

    std::size_t visited = 0;
    // Exactly three levels: type, name, language; the language level points at data.
    auto walk = [&](auto&& self, std::uint64_t offset, int level, PeResource path) -> void {
        const std::uint64_t at = need(offset, 16, "resource table");
        const std::uint32_t entries =
            std::uint32_t(r.U16(at + 12, "resource table")) + r.U16(at + 14, "resource table");
        need(offset + 16, 8 * std::uint64_t(entries), "resource table entries");
        for (std::uint32_t i = 0; i < entries; ++i) {
            if (++visited > kMaxResourceEntries) {
                Damaged("resource directory has more than " + std::to_string(kMaxResourceEntries) +
                        " entries (does it loop?)");
            }
            const std::uint64_t entry = at + 16 + 8 * std::uint64_t(i);
            const std::uint32_t name_field = r.U32(entry, "resource entry");
            const std::uint32_t data_field = r.U32(entry + 4, "resource entry");
            const PeResourceKey key = key_of(name_field);
            const bool subdirectory = (data_field & kSubdirectoryBit) != 0;
            if (level < 2) {
                if (!subdirectory) Damaged("resource " + key.Text() + " has data where a table belongs");
                PeResource next = path;
                (level == 0 ? next.type : next.name) = key;
                self(self, data_field & ~kSubdirectoryBit, level + 1, next);
                continue;
            }
            if (subdirectory) Damaged("resource directory is nested deeper than type, name and language");
            if (key.is_name) Damaged("resource language " + key.Text() + " is a name, not a number");
            PeResource resource = path;
            resource.language = key.id;
            const std::uint64_t data = need(data_field, 16, "resource data entry");
            resource.rva = r.U32(data, "resource data entry");
            resource.size = r.U32(data + 4, "resource data entry");
            resource.codepage = r.U32(data + 8, "resource data entry");
            resource.file_offset = Map(resource.rva, resource.size, "resource data");
            resources_.push_back(std::move(resource));
        }
    };
    walk(walk, 0, 0, PeResource{});
}

std::string PeImage::Summary() const {
    std::string s = pe32_plus_ ? "PE32+" : "PE32";
    s += is_dll() ? " DLL, " : " executable, ";
    switch (machine_) {
        case kMachineAmd64:
            return s + "x86-64";
        case kMachineI386:
            return s + "i386";
        default:
            return s + "machine " + Hex(machine_);
    }
}

const PeResource* PeImage::Find(std::string_view type, std::uint16_t id, std::uint16_t language) const {
    const PeResource* found = nullptr;
    for (const PeResource& res : resources_) {
        if (!res.type.is_name || !SameIgnoringCase(res.type.name, type) || res.name.is_name || res.name.id != id) {
            continue;
        }
        if (res.language == language) return &res;
        if (found == nullptr) found = &res;
    }
    return found;
}

std::span<const std::uint8_t> PeImage::Data(const PeResource& resource) const {
    return std::span<const std::uint8_t>(file_).subspan(resource.file_offset, resource.size);
}

}  // namespace quorvel::modulefiles
