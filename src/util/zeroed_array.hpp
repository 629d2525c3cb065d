#pragma once
// Arrays made of zeroed pages: an entry reads 0 until it is written, and pages that are
// never written cost no memory. A run sizes its records for the largest use once; the
// arrays (and parts of them) that its operation never writes then cost nothing, and
// those it does write pay only for their first touch. Large arrays come straight from
// the kernel (in huge pages where it can), small ones from the heap.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace zorvel::util {

// bytes of zeroed memory, nullptr when there is none to be had (none for 0 bytes).
void* allocate_zeroed(std::size_t bytes) noexcept;
// Gives back memory from allocate_zeroed of the same number of bytes.
void release_zeroed(void* p, std::size_t bytes) noexcept;

template <typename T>
class ZeroedArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "entries are bytes: made zero, copied and let go as such");

public:
    ZeroedArray() = default;
    // A copy that cannot get its memory throws std::bad_alloc, which ends the run at the
    // allocation check, rather than leaving an array shorter than its counts.
    ZeroedArray(const ZeroedArray& other) {
        if (allocate(static_cast<std::int64_t>(other.size_)) != 0) throw std::bad_alloc();
        if (size_ > 0) std::memcpy(static_cast<void*>(data_), other.data_, size_ * sizeof(T));
    }
    ZeroedArray(ZeroedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    ZeroedArray& operator=(ZeroedArray other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    ~ZeroedArray() { release_zeroed(data_, size_ * sizeof(T)); }

    // Makes the array n entries of 0 (none for n <= 0) in place of what it held. The
    // status for the allocation check: 0, or 1 when memory ran out (the array is then empty).
    std::int32_t allocate(std::int64_t n) noexcept {
        release_zeroed(data_, size_ * sizeof(T));
        data_ = nullptr;
        size_ = 0;
        if (n <= 0) return 0;
        const auto count = static_cast<std::size_t>(n);
        if (count > static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(T)) return 1;
        data_ = static_cast<T*>(allocate_zeroed(count * sizeof(T)));
        if (data_ == nullptr) return 1;
        size_ = count;
        return 0;
    }
    // allocate, every entry then made v.
    std::int32_t allocate(std::int64_t n, const T& v) noexcept {
        const std::int32_t status = allocate(n);
        for (T& e : *this) e = v;
        return status;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace zorvel::util
