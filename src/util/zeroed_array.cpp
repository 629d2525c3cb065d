#include "util/zeroed_array.hpp"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

#include "util/sanitizer.hpp"

namespace zorvel::util {

namespace {

// Arrays of this many bytes or more are mapped from the kernel, whose fresh pages are
// zero and cost nothing until written; smaller ones come zeroed from the heap.
constexpr std::size_t kMapped = std::size_t{256} << 10;

// The size of a huge page.
constexpr std::size_t kHuge = std::size_t{2} << 20;

// Mapped arrays of this many bytes or more begin on a huge page, ask for huge pages and take
// whole ones: one fault, not 512, for each 2 MiB that is written. Where a fault is dear (a
// virtual machine that traps each one) the faults of a run's arrays are most of its fixed
// cost, and a huge page costs memory only once it is written.
constexpr std::size_t kHugeFrom = std::size_t{512} << 10;

// The address sanitizer watches heap memory only: under it every array comes from the heap.
constexpr bool kHeapOnly = kAddressSanitizer;

// True when an array of this many bytes comes from the heap.
bool from_heap(std::size_t bytes) { return kHeapOnly || bytes < kMapped; }

// The bytes a mapped array takes: whole pages, whole huge pages from kHugeFrom on.
std::size_t mapped_length(std::size_t bytes) {
    const std::size_t page = bytes >= kHugeFrom ? kHuge : 4096;
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* allocate_zeroed(std::size_t bytes) noexcept {
    if (bytes == 0) return nullptr;
    if (from_heap(bytes)) return std::calloc(1, bytes);
    const std::size_t length = mapped_length(bytes);
    if (bytes < kHugeFrom) {
        void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? nullptr : p;
    }
    // A huge-page-aligned stretch cut out of a mapping one huge page longer.
    void* raw = ::mmap(nullptr, length + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto at = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t start = (at + kHuge - 1) / kHuge * kHuge;
    if (start > at) ::munmap(raw, start - at);
    if (const std::size_t tail = at + length + kHuge - (start + length); tail > 0)
        ::munmap(reinterpret_cast<void*>(start + length), tail);
    void* p = reinterpret_cast<void*>(start);
#ifdef MADV_HUGEPAGE
    ::madvise(p, length, MADV_HUGEPAGE);
#endif
    return p;
}

void release_zeroed(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) return;
    if (from_heap(bytes))
        std::free(p);
    else
        ::munmap(p, mapped_length(bytes));
}

}  // namespace zorvel::util
