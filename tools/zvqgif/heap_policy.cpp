#include "heap_policy.h"

#include <cstdint>
#include <cstdlib>  // defines __GLIBC__ on glibc

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

#ifdef __GLIBC__
constexpr int kLargestHeapBlock = 32 << 20;  // larger blocks are mapped apart
constexpr int kKeptFreeTop = 512 << 20;      // freed memory kept at the heap's top
constexpr int kHugeReserve = 256 << 20;      // heap reserved for huge pages
constexpr int kDefaultTopPad = 128 << 10;
constexpr std::uintptr_t kHugePage = 2 << 20;

// Grows the heap once by the reserve and asks for huge pages on it, so that
// a frame's buffers are faulted in 2 MiB at a time, not 4 KiB. Costs address
// space only: pages are still given when first touched.
void reserveHugePages() {
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, kHugeReserve);
    void* volatile probe = std::malloc(16 << 20);  // more than is free at start: the heap grows
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, kDefaultTopPad);
    std::free(probe);
    const std::uintptr_t from = (before + kHugePage - 1) & ~(kHugePage - 1);
    if (after > from) madvise(reinterpret_cast<void*>(from), after - from, MADV_HUGEPAGE);
}
#endif

}  // namespace

void setUpHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, kKeptFreeTop);
    // Worker threads take their frames' buffers from the same reserved heap.
    mallopt(M_ARENA_MAX, 1);
    reserveHugePages();
#endif
}
