#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <system_error>

#include "imagefiles/pictures/OutputFile_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

/// The same where the write is known to have failed.
int WriteError(const std::filesystem::path& path) {
    const int error = FullDiskError(path);
    return error != 0 ? error : EIO;
}

}  // namespace

int FullDiskError(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0 && fs.f_bfree == 0) return ENOSPC;
    return 0;
}

std::string ReasonText(int error) { return std::generic_category().message(error); }

int PutBytes(const std::filesystem::path& path, const void* bytes, std::size_t size, long offset) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), offset < 0 ? "wb" : "r+b");
    if (file == nullptr) return errno != 0 ? errno : EIO;
    int error = 0;
    if ((offset >= 0 && std::fseek(file, offset, SEEK_SET) != 0) || std::fwrite(bytes, 1, size, file) != size ||
        std::fflush(file) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    return error;
}

std::unique_ptr<OutputFile> OutputFile::Open(const std::filesystem::path& path, int& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    return std::unique_ptr<OutputFile>(new OutputFile(file));
}

OutputFile::~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
}

size_t OutputFile::write(const void* buf, size_t size) {
    errno = 0;
    const size_t n = IOFile::write(buf, size);
    if (n < size) Note();
    return n;
}

size_t OutputFile::pwrite(const void* buf, size_t size, int64_t offset) {
    errno = 0;
    const size_t n = IOFile::pwrite(buf, size, offset);
    if (n < size) Note();
    return n;
}

bool OutputFile::seek(int64_t offset) {
    errno = 0;
    const bool ok = IOFile::seek(offset);
    if (!ok) Note();
    return ok;
}

int OutputFile::Finish(const std::filesystem::path& path) {
    if (file_ != nullptr) {
        errno = 0;
        if (std::fflush(file_) != 0) Note();
        if (std::ferror(file_) != 0 && error_ == 0) error_ = WriteError(path);
        struct stat st {};
        written_ = ::fstat(::fileno(file_), &st) == 0 && st.st_size > 0;
        errno = 0;
        if (std::fclose(file_) != 0) Note();
        file_ = nullptr;
    }
    return error_;
}

void OutputFile::Note() {
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
}

}  // namespace quorvel::imagefiles::pictures
