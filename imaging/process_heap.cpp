#include "imaging/process_heap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Volatile: an allocation nothing reads would be left out.
void* volatile heldBeforeHugePages = nullptr;

} // namespace

void PrepareProcessHeap() {
    constexpr std::size_t kMiB = std::size_t{1024} * 1024;
    constexpr std::uintptr_t kHugePage = 2 * kMiB;
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(32 * kMiB));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(512 * kMiB));
    mallopt(M_TOP_PAD, static_cast<int>(32 * kMiB));
    // Grows the heap by the pad, which stays; volatile, or the pair is left out. malloc
    // itself, not a container: this is about where malloc places what follows.
    void* volatile grown = std::malloc(std::size_t{256} * 1024); // NOLINT(cppcoreguidelines-no-malloc)
    const auto start = reinterpret_cast<std::uintptr_t>(grown);
    std::free(grown); // NOLINT(cppcoreguidelines-no-malloc)
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kHugePage - 1);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (grown == nullptr || end <= first) {
        return;
    }
    // An address worked out from the heap's bounds, which only the kernel is told of.
    void* const firstHugePage = reinterpret_cast<void*>(first); // NOLINT(performance-no-int-to-ptr)
    if (madvise(firstHugePage, end - first, MADV_HUGEPAGE) != 0) {
        return;
    }
    // What lies before the first huge page is held for good and never touched, so that the
    // pictures begin on huge pages.
    heldBeforeHugePages = std::malloc(first - start); // NOLINT(cppcoreguidelines-no-malloc)
}
