// A move-only byte buffer that the core hands to its callers.
//
// Allocation never throws: a failed allocation gives an empty buffer, which
// the core reports as its null result. Contents are wiped before release,
// since buffers carry keys, plaintext and their temporaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "secure_wipe.h"

namespace zarnocrypt {

class Buffer {
public:
    Buffer() noexcept = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    Buffer(Buffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    Buffer& operator=(Buffer&& other) noexcept
    {
        if (this != &other) {
            Reset();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~Buffer() { Reset(); }

    // Zero-filled buffer of size bytes; empty (null) when memory is exhausted.
    // A zero size still gives a non-null buffer, so "no bytes" and "failure" differ.
    static Buffer Allocate(std::size_t size) noexcept
    {
        Buffer buffer = AllocateForOverwrite(size);
        if (buffer)
            std::memset(buffer.data_, 0, AllocationSize(size));
        return buffer;
    }

    // The same without the zero fill, for callers that write every byte:
    // filling a large buffer first would cross its memory twice.
    static Buffer AllocateForOverwrite(std::size_t size) noexcept
    {
        Buffer buffer;
        buffer.data_ = new (std::nothrow) std::uint8_t[AllocationSize(size)];
        buffer.size_ = buffer.data_ ? size : 0;
        buffer.capacity_ = buffer.size_;
        return buffer;
    }

    void Reset() noexcept
    {
        if (data_) {
            SecureWipe(data_, capacity_);
            delete[] data_;
        }
        data_ = nullptr;
        size_ = 0;
        capacity_ = 0;
    }

    // Forgets the tail; the bytes stay allocated (and are wiped on release).
    void Shrink(std::size_t size) noexcept
    {
        if (size < size_)
            size_ = size;
    }

    explicit operator bool() const noexcept { return data_ != nullptr; }
    std::uint8_t* data() noexcept { return data_; }
    const std::uint8_t* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    std::uint8_t* begin() noexcept { return data_; }
    std::uint8_t* end() noexcept { return data_ + size_; }
    const std::uint8_t* begin() const noexcept { return data_; }
    const std::uint8_t* end() const noexcept { return data_ + size_; }

private:
    static std::size_t AllocationSize(std::size_t size) noexcept { return size == 0 ? 1 : size; }

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace zarnocrypt
