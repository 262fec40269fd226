#include "frames/PixelBuffer.h"

#include <cstdlib>
#include <new>
#include <utility>

#ifndef _WIN32
#include <sys/mman.h>
#endif

namespace quorvel::frames {

namespace {

#ifndef _WIN32
constexpr std::size_t kHugePage = std::size_t(2) << 20;
#endif

}  // namespace

PixelBuffer::PixelBuffer(std::size_t size) : size_(size) {
#ifndef _WIN32
    if (size >= kHugePage) {
        // A mapping is zeroed by the system; one huge page more lets the
        // pixels start on a huge page's boundary.
        mapped_ = size + kHugePage;
        void* mapping = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) throw std::bad_alloc();
        mapping_ = mapping;
        const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(mapping) + kHugePage - 1) & ~(kHugePage - 1);
        data_ = reinterpret_cast<std::uint8_t*>(start);
        // Advice only: without huge pages the frame is simply in small ones.
        (void)::madvise(data_, size, MADV_HUGEPAGE);
        return;
    }
#endif
    data_ = static_cast<std::uint8_t*>(std::calloc(size > 0 ? size : 1, 1));
    if (data_ == nullptr) throw std::bad_alloc();
}

PixelBuffer::~PixelBuffer() { Release(); }

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void PixelBuffer::Release() noexcept {
#ifndef _WIN32
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mapped_);
        mapping_ = nullptr;
        data_ = nullptr;
        return;
    }
#endif
    std::free(data_);
    data_ = nullptr;
}

}  // namespace quorvel::frames
