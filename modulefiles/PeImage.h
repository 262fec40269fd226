/// A Windows module file read as bytes, without loading it: its header, the
/// names it exports, the DLLs it imports and its resource directory. Every
/// offset and size in the file is checked before it is used, so a truncated
/// or hostile file gives a HostError naming what is wrong, never a read
/// outside the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::modulefiles {

/// A resource type or name: either a number or a string.
struct PeResourceKey {
    bool is_name = false;
    std::string name;  ///< when is_name; UTF-16 in the file, non-ASCII shown as '?'
    std::uint16_t id = 0;

    /// "PIPL" in quotes for a name, the decimal number for an id.
    std::string Text() const;
    bool operator==(const PeResourceKey&) const = default;
};

struct PeResource {
    PeResourceKey type;
    PeResourceKey name;
    std::uint16_t language = 0;
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
    std::uint32_t codepage = 0;
    std::uint64_t file_offset = 0;  ///< where its `size` bytes start in the file
};

struct PeExport {
    std::string name;
    std::uint32_t ordinal = 0;  ///< biased by the export directory's base, as a loader numbers it
    std::uint32_t rva = 0;
    bool forwarded = false;  ///< the address is a "DLL.Function" string, not code
};

class PeImage {
public:
    static constexpr std::uint16_t kMachineAmd64 = 0x8664;
    static constexpr std::uint16_t kMachineI386 = 0x014C;

    /// Parses a whole file. Throws HostError when it is not a PE image or is
    /// damaged anywhere the reader has to look.
    explicit PeImage(std::vector<std::uint8_t> file);

    /// The file starts like a PE image (the "MZ" of its DOS header).
    static bool LooksLikePe(std::span<const std::uint8_t> head);

    std::uint16_t machine() const { return machine_; }
    bool pe32_plus() const { return pe32_plus_; }
    bool is_dll() const { return (characteristics_ & 0x2000) != 0; }
    /// "PE32+ DLL, x86-64" and the like.
    std::string Summary() const;

    /// Named exports in the order of the export name table.
    const std::vector<PeExport>& exports() const { return exports_; }
    /// Names of the imported DLLs, in import-table order.
    const std::vector<std::string>& imports() const { return imports_; }
    const std::vector<PeResource>& resources() const { return resources_; }

    /// The resource of this string type and numeric id; among several
    /// languages, `language` when present, else the first. Null when absent.
    const PeResource* Find(std::string_view type, std::uint16_t id, std::uint16_t language) const;
    /// A resource's bytes, inside the file this image holds.
    std::span<const std::uint8_t> Data(const PeResource& resource) const;

private:
    struct Section {
        std::string name;
        std::uint32_t virtual_address = 0;
        std::uint32_t virtual_size = 0;
        std::uint32_t raw_size = 0;
        std::uint32_t raw_offset = 0;
    };
    struct Directory {
        std::uint32_t rva = 0;
        std::uint32_t size = 0;
    };

    struct Located {
        std::uint64_t offset;     ///< in the file
        std::uint64_t available;  ///< bytes from there to the end of the section's bytes in the file
        const Section* section;
    };
    /// Where `rva` lies in the file; throws naming `what` when no section holds it.
    Located Locate(std::uint32_t rva, const char* what) const;
    /// The file offset of `size` bytes at `rva`, all inside one section's
    /// bytes in the file; throws naming `what` otherwise.
    std::uint64_t Map(std::uint32_t rva, std::uint64_t size, const char* what) const;
    /// A NUL-terminated ASCII string at `rva`.
    std::string StringAt(std::uint32_t rva, const char* what) const;

    void ReadHeaders();
    void ReadExports(Directory dir);
    void ReadImports(Directory dir);
    void ReadResources(Directory dir);

    std::vector<std::uint8_t> file_;
    std::uint16_t machine_ = 0;
    std::uint16_t characteristics_ = 0;
    bool pe32_plus_ = false;
    std::vector<Section> sections_;
    std::vector<Directory> directories_;
    std::vector<PeExport> exports_;
    std::vector<std::string> imports_;
    std::vector<PeResource> resources_;
};

}  // namespace quorvel::modulefiles
