/// The file an image is written to, and the reasons a write failed: the
/// system's, which the writers' own messages leave out, kept from the
/// first failure, and the likeliest one where nothing told it.
#pragma once

#include <OpenImageIO/filesystem.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// For a write that failed without a reason told: a file system without a
/// free block left is the likeliest, and the one a user can do something
/// about; 0 when there is space.
int FullDiskError(const std::filesystem::path& path);

/// The system's words for an errno.
std::string ReasonText(int error);

/// Puts `size` bytes at `offset` in a file, at its start made anew when
/// `offset` is negative. Returns the failure's errno, or 0.
int PutBytes(const std::filesystem::path& path, const void* bytes, std::size_t size, long offset = -1);

/// The output file, for the writers that take one from the caller: the
/// bytes go through stdio as with the library's own file, and the first
/// failure's system reason is kept. The writers' own messages leave it
/// out ("File output failed"), and some do not look at what a write returns.
class OutputFile final : public OIIO::Filesystem::IOFile {
public:
    /// Null, with the reason in `error`, when the file cannot be opened.
    static std::unique_ptr<OutputFile> Open(const std::filesystem::path& path, int& error);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() override;

    /// Closed by Finish, which tells how that went; a writer closing its
    /// proxy would lose the reason.
    void close() override {}

    size_t write(const void* buf, size_t size) override;
    size_t pwrite(const void* buf, size_t size, int64_t offset) override;
    bool seek(int64_t offset) override;

    /// Closes the file, whose buffered bytes may only now meet a full disk.
    /// Returns the first failure's errno, 0 when every byte was written.
    /// Some writers (JPEG) write to the stream itself, past this class:
    /// the stream's error flag tells of their failures, not their reason.
    int Finish(const std::filesystem::path& path);
    int error() const { return error_; }
    bool written() const { return written_; }

private:
    explicit OutputFile(std::FILE* file) : IOFile(file, Write), file_(file) {}
    void Note();
    std::FILE* file_;
    int error_ = 0;
    bool written_ = false;
};

}  // namespace quorvel::imagefiles::pictures
