#include "ModuleFile.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gelf.h>
#include <libelf.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

#include "HostError.h"

namespace quorvel::sim {

namespace {

constexpr const char* kDescriptorSection = ".pipl";

/// An open file descriptor, closed on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

/// An ELF reading session over an open file.
class ElfReader {
public:
    explicit ElfReader(int fd) : elf_(elf_begin(fd, ELF_C_READ, nullptr)) {}
    ~ElfReader() {
        if (elf_ != nullptr) elf_end(elf_);
    }
    ElfReader(const ElfReader&) = delete;
    ElfReader& operator=(const ElfReader&) = delete;
    Elf* get() const { return elf_; }

private:
    Elf* elf_;
};

}  // namespace

std::vector<std::uint8_t> ReadDescriptorBytes(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw HostError("no such module file: " + path.string());
    if (!std::filesystem::is_regular_file(path, ec)) throw HostError("not a regular file: " + path.string());

    FileDescriptor fd(path);
    if (fd.get() < 0) throw HostError("cannot open " + path.string() + ": " + std::strerror(errno));

    if (elf_version(EV_CURRENT) == EV_NONE) throw HostError("the ELF library is unusable");
    ElfReader elf(fd.get());
    if (elf.get() == nullptr || elf_kind(elf.get()) != ELF_K_ELF) {
        throw HostError(path.string() + " is not a module (not an ELF file)");
    }
    std::size_t names_index = 0;
    if (elf_getshdrstrndx(elf.get(), &names_index) != 0) {
        throw HostError(path.string() + " is not a module (damaged section table)");
    }
    for (Elf_Scn* scn = elf_nextscn(elf.get(), nullptr); scn != nullptr; scn = elf_nextscn(elf.get(), scn)) {
        GElf_Shdr header;
        if (gelf_getshdr(scn, &header) == nullptr) continue;
        const char* name = elf_strptr(elf.get(), names_index, header.sh_name);
        if (name == nullptr || std::strcmp(name, kDescriptorSection) != 0) continue;
        if (header.sh_type == SHT_NOBITS) break;
        std::vector<std::uint8_t> bytes;
        for (Elf_Data* data = elf_getdata(scn, nullptr); data != nullptr; data = elf_getdata(scn, data)) {
            if (data->d_buf == nullptr) continue;
            const auto* p = static_cast<const std::uint8_t*>(data->d_buf);
            bytes.insert(bytes.end(), p, p + data->d_size);
        }
        if (bytes.size() != header.sh_size) {
            throw HostError(path.string() + ": descriptor section is damaged (truncated file?)");
        }
        return bytes;
    }
    throw HostError(path.string() + " has no descriptor (no " + kDescriptorSection + " section)");
}

LoadedModule::LoadedModule(const std::filesystem::path& path)
    : path_(path), descriptor_bytes_(ReadDescriptorBytes(path)), descriptor_(DecodeDescriptor(descriptor_bytes_)) {
    ValidateDescriptor(descriptor_);
    // A relative path without a slash would make the loader search the library path.
    const std::filesystem::path absolute = std::filesystem::absolute(path_);
    handle_ = ::dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        throw HostError("cannot load " + path_.string() + ": " + (why != nullptr ? why : "unknown error"));
    }
    const std::string entry_name = descriptor_.EntryPointName();
    void* symbol = ::dlsym(handle_, entry_name.c_str());
    if (symbol == nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
        throw HostError(path_.string() + " does not export its entry point '" + entry_name + "'");
    }
    entry_ = reinterpret_cast<PF_EntryPointFunc>(symbol);
}

LoadedModule::~LoadedModule() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

std::filesystem::path DefaultModulePath(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || self.empty()) self = std::filesystem::absolute(argv0 != nullptr ? argv0 : ".", ec);
    return self.parent_path() / "VT_Quorvel.aex";
}

}  // namespace quorvel::sim
