#include "modulefiles/ModuleFile.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "frames/HostError.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <gelf.h>
#include <libelf.h>
#endif

namespace quorvel::modulefiles {

namespace {

/// No module comes near this; a bigger file is refused rather than read.
constexpr std::uintmax_t kMaxModuleFileSize = std::uintmax_t(1) << 30;

void CheckIsFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw frames::HostError("no such module file: " + path.string());
    if (!std::filesystem::is_regular_file(path, ec)) throw frames::HostError("not a regular file: " + path.string());
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) throw frames::HostError("cannot read " + path.string() + ": " + ec.message());
    if (size > kMaxModuleFileSize) {
        throw frames::HostError(path.string() + " is not a module (" + std::to_string(size) + " bytes is too big)");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw frames::HostError("cannot open " + path.string());
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw frames::HostError("cannot read " + path.string());
    return bytes;
}

/// The resource as the file holds it, found the way the host's loader does.
std::vector<std::uint8_t> DescriptorResourceFromFile(const std::filesystem::path& path) {
    return DescriptorResourceOf(ReadPeImage(path), path.string());
}

#if defined(_WIN32)

std::string LastErrorText() {
    const DWORD code = ::GetLastError();
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
    if (text != nullptr) ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s;
}

/// A library handle, freed on every way out.
class Library {
public:
    Library(const std::filesystem::path& path, DWORD flags) : handle_(::LoadLibraryExW(path.c_str(), nullptr, flags)) {}
    ~Library() {
        if (handle_ != nullptr) ::FreeLibrary(handle_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    HMODULE get() const { return handle_; }
    HMODULE release() { return std::exchange(handle_, nullptr); }

private:
    HMODULE handle_;
};

/// The resource as the system's loader finds it: the module mapped as data
/// (none of its code runs), then FindResource.
std::vector<std::uint8_t> DescriptorResourceFromSystem(const std::filesystem::path& path) {
    const Library library(std::filesystem::absolute(path), LOAD_LIBRARY_AS_DATAFILE);
    if (library.get() == nullptr) throw frames::HostError("cannot read " + path.string() + ": " + LastErrorText());
    const std::wstring type(kDescriptorResourceType.begin(), kDescriptorResourceType.end());
    // US English first, as the file reader prefers it; else whichever the system picks.
    HRSRC found = ::FindResourceExW(library.get(), type.c_str(), MAKEINTRESOURCEW(kDescriptorResourceId),
                                    kDescriptorResourceLanguage);
    if (found == nullptr) found = ::FindResourceW(library.get(), MAKEINTRESOURCEW(kDescriptorResourceId), type.c_str());
    if (found == nullptr) {
        throw frames::HostError(path.string() + " has no descriptor (the system finds no \"" +
                                std::string(kDescriptorResourceType) + "\" resource " +
                                std::to_string(kDescriptorResourceId) + ")");
    }
    const DWORD size = ::SizeofResource(library.get(), found);
    HGLOBAL loaded = ::LoadResource(library.get(), found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr && size != 0) {
        throw frames::HostError("cannot load the descriptor of " + path.string() + ": " + LastErrorText());
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

#else

/// An ELF reading session over an image in memory, which the library may
/// convert in place (it is the caller's copy).
class ElfReader {
public:
    explicit ElfReader(std::vector<std::uint8_t>& image)
        : elf_(elf_memory(reinterpret_cast<char*>(image.data()), image.size())) {}
    ~ElfReader() {
        if (elf_ != nullptr) elf_end(elf_);
    }
    ElfReader(const ElfReader&) = delete;
    ElfReader& operator=(const ElfReader&) = delete;
    Elf* get() const { return elf_; }

private:
    Elf* elf_;
};

constexpr const char* kDescriptorSection = ".pipl";

}  // namespace

std::vector<std::uint8_t> DescriptorSectionOf(std::vector<std::uint8_t> image, const std::string& name) {
    if (elf_version(EV_CURRENT) == EV_NONE) throw frames::HostError("the ELF library is unusable");
    ElfReader elf(image);
    if (elf.get() == nullptr || elf_kind(elf.get()) != ELF_K_ELF) {
        throw frames::HostError(name + " is not a module (not an ELF file)");
    }
    std::size_t names_index = 0;
    if (elf_getshdrstrndx(elf.get(), &names_index) != 0) {
        throw frames::HostError(name + " is not a module (damaged section table)");
    }
    for (Elf_Scn* scn = elf_nextscn(elf.get(), nullptr); scn != nullptr; scn = elf_nextscn(elf.get(), scn)) {
        GElf_Shdr header;
        if (gelf_getshdr(scn, &header) == nullptr) continue;
        const char* section = elf_strptr(elf.get(), names_index, header.sh_name);
        if (section == nullptr || std::strcmp(section, kDescriptorSection) != 0) continue;
        if (header.sh_type == SHT_NOBITS) break;
        std::vector<std::uint8_t> bytes;
        for (Elf_Data* data = elf_getdata(scn, nullptr); data != nullptr; data = elf_getdata(scn, data)) {
            if (data->d_buf == nullptr) continue;
            const auto* p = static_cast<const std::uint8_t*>(data->d_buf);
            bytes.insert(bytes.end(), p, p + data->d_size);
        }
        if (bytes.size() != header.sh_size) {
            throw frames::HostError(name + ": descriptor section is damaged (truncated file?)");
        }
        return bytes;
    }
    throw frames::HostError(name + " has no descriptor (no " + kDescriptorSection + " section)");
}

namespace {

std::vector<std::uint8_t> DescriptorSectionFromFile(const std::filesystem::path& path) {
    return DescriptorSectionOf(ReadFile(path), path.string());
}

#endif

}  // namespace

ModuleFormat DetectModuleFormat(const std::filesystem::path& path) {
    CheckIsFile(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw frames::HostError("cannot open " + path.string());
    std::uint8_t head[4] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const std::size_t got = std::size_t(in.gcount());
    if (got == 4 && std::memcmp(head,
                                "\x7F"
                                "ELF",
                                4) == 0)
        return ModuleFormat::Elf;
    if (PeImage::LooksLikePe(std::span<const std::uint8_t>(head, got))) return ModuleFormat::Pe;
    throw frames::HostError(path.string() + " is not a module (neither an ELF nor a PE file)");
}

bool CanLoadHere(ModuleFormat format) {
#if defined(_WIN32)
    return format == ModuleFormat::Pe;
#else
    return format == ModuleFormat::Elf;
#endif
}

PeImage ReadPeImage(const std::filesystem::path& path) {
    CheckIsFile(path);
    try {
        return PeImage(ReadFile(path));
    } catch (const frames::HostError& e) {
        throw frames::HostError(path.string() + ": " + e.what());
    }
}

std::vector<std::uint8_t> DescriptorResourceOf(const PeImage& image, const std::string& name) {
    const PeResource* resource =
        image.Find(kDescriptorResourceType, kDescriptorResourceId, kDescriptorResourceLanguage);
    if (resource == nullptr) {
        throw frames::HostError(name + " has no descriptor (no \"" + std::string(kDescriptorResourceType) +
                                "\" resource " + std::to_string(kDescriptorResourceId) + ")");
    }
    const auto data = image.Data(*resource);
    return {data.begin(), data.end()};
}

std::vector<std::uint8_t> ReadDescriptorBytes(const std::filesystem::path& path) {
    const ModuleFormat format = DetectModuleFormat(path);
#if defined(_WIN32)
    if (format == ModuleFormat::Elf) {
        throw frames::HostError(path.string() + " is a Linux module (ELF); this build reads Windows modules only");
    }
    // The file is checked first, so a damaged one is reported by what is
    // wrong with it rather than by the system's terse refusal.
    std::vector<std::uint8_t> from_file = DescriptorResourceFromFile(path);
    std::vector<std::uint8_t> from_system = DescriptorResourceFromSystem(path);
    if (from_system != from_file) {
        throw frames::HostError(path.string() +
                                ": the system's resource loader and the file disagree on the descriptor");
    }
    return from_system;
#else
    return format == ModuleFormat::Elf ? DescriptorSectionFromFile(path) : DescriptorResourceFromFile(path);
#endif
}

LoadedModule::LoadedModule(const std::filesystem::path& path)
    : path_(path), descriptor_bytes_(ReadDescriptorBytes(path)), descriptor_(DecodeDescriptor(descriptor_bytes_)) {
    ValidateDescriptor(descriptor_);
    if (!CanLoadHere(DetectModuleFormat(path_))) {
        throw frames::HostError(path_.string() +
                                " is a module for another system; it can be inspected but not loaded here");
    }
    const std::string entry_name = descriptor_.EntryPointName();
    // A relative path without a folder would make the loader search its path.
    const std::filesystem::path absolute = std::filesystem::absolute(path_);
#if defined(_WIN32)
    // The module's own folder is searched for what it needs, as hosts load plug-ins.
    Library library(absolute, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library.get() == nullptr) throw frames::HostError("cannot load " + path_.string() + ": " + LastErrorText());
    const FARPROC symbol = ::GetProcAddress(library.get(), entry_name.c_str());
    if (symbol == nullptr) {
        throw frames::HostError(path_.string() + " does not export its entry point '" + entry_name + "'");
    }
    // Through the generic function pointer type, which converts to any other.
    entry_ = reinterpret_cast<PF_FilterProc>(reinterpret_cast<void (*)()>(symbol));
    handle_ = library.release();
#else
    handle_ = ::dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        throw frames::HostError("cannot load " + path_.string() + ": " + (why != nullptr ? why : "unknown error"));
    }
    void* symbol = ::dlsym(handle_, entry_name.c_str());
    if (symbol == nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
        throw frames::HostError(path_.string() + " does not export its entry point '" + entry_name + "'");
    }
    entry_ = reinterpret_cast<PF_FilterProc>(symbol);
#endif
}

LoadedModule::~LoadedModule() {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    ::FreeLibrary(static_cast<HMODULE>(handle_));
#else
    ::dlclose(handle_);
#endif
}

std::filesystem::path DefaultModulePath(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self;
#if defined(_WIN32)
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) break;
        if (n < buffer.size()) {
            self = std::wstring(buffer.data(), n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    self = std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
    if (ec || self.empty()) self = std::filesystem::absolute(argv0 != nullptr ? argv0 : ".", ec);
    const std::filesystem::path beside = self.parent_path() / "VT_Quorvel.aex";
    const std::filesystem::path installed =
        (self.parent_path() / frames::kInstalledFilesFolder / "VT_Quorvel.aex").lexically_normal();
    return !std::filesystem::exists(beside, ec) && std::filesystem::exists(installed, ec) ? installed : beside;
}

}  // namespace quorvel::modulefiles
