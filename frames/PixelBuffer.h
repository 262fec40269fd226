/// The zeroed memory a frame's pixels live in. A frame's pages are the
/// system's zero pages until written, so a frame costs memory and time only
/// as it is filled; large frames are backed by huge pages where the system
/// offers them, so filling one takes a few hundred page faults, not
/// hundreds of thousands.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel::frames {

class PixelBuffer {
public:
    PixelBuffer() = default;
    /// `size` zero bytes. Throws std::bad_alloc when they cannot be had.
    explicit PixelBuffer(std::size_t size);
    ~PixelBuffer();
    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void Release() noexcept;

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr;  ///< a mapping of its own, for large buffers
    std::size_t mapped_ = 0;
};

}  // namespace quorvel::frames
