#include "host/Heap.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tesser::host {

namespace {

#ifdef __GLIBC__
// How much the heap grows by at least, past what an allocation needs: the memory is only
// reserved, and costs nothing until it is touched.
constexpr int kHeapStep = 64 << 20;
// Blocks of kGrowthBlock, at most kGrowthBlocks of them, grow the heap once at the start.
constexpr std::size_t kGrowthBlock = 64 << 10;
constexpr int kGrowthBlocks = 64;

std::mutex g_lock;
bool g_prepared = false;
std::atomic<bool> g_hugePages{false};
std::atomic<std::uintptr_t> g_covered{0}; // the heap up to here asks for huge pages

std::uintptr_t Break() {
    return reinterpret_cast<std::uintptr_t>(::sbrk(0));
}

bool HugePagesOnRequest() {
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(in, modes);
    return modes.find("[madvise]") != std::string::npos ||
           modes.find("[always]") != std::string::npos;
}

// The size of a huge page on x86-64 and most other systems with them.
constexpr std::uintptr_t kHugePage = 2 << 20;

// Asks for huge pages on [from, the break), from the first huge page boundary on: the part of a
// huge page below it may already hold live memory, which would be faulted in whole for nothing.
// False when the system refuses.
bool Cover(std::uintptr_t from) {
    const std::uintptr_t start = (from + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = Break();
    if (end <= start) {
        // Nothing from a boundary on (the heap grew little, or gave memory back): a later
        // growth is covered from here.
        g_covered = end;
        return true;
    }
    if (::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE) != 0) {
        return false;
    }
    g_covered = end;
    return true;
}
#endif

} // namespace

void PrepareHeap() {
#ifdef __GLIBC__
    const std::lock_guard<std::mutex> lock(g_lock);
    if (g_prepared) {
        return;
    }
    g_prepared = true;
    // QPDFWriter compresses each stream with a fresh zlib state of about 270 KB. At the top of
    // the heap, glibc gives that back to the system after every stream (its trim threshold is
    // 128 KB) and faults it in again for the next: saving a small stamped file took ten times
    // as long as writing it. Freed memory up to this much stays with the process instead.
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    if (!HugePagesOnRequest()) {
        return;
    }
    mallopt(M_TOP_PAD, kHeapStep);
    // Grow the heap now, with blocks small enough to come from it rather than from their own
    // mappings, so that the first step asks for huge pages before any document is read.
    const std::uintptr_t before = Break();
    void* blocks[kGrowthBlocks];
    int count = 0;
    while (count < kGrowthBlocks && Break() == before) {
        blocks[count] = std::malloc(kGrowthBlock);
        if (blocks[count] == nullptr) {
            break;
        }
        ++count;
    }
    while (count > 0) {
        std::free(blocks[--count]);
    }
    g_hugePages = Cover(before);
#endif
}

void CoverHeapGrowth() {
#ifdef __GLIBC__
    // sbrk(0) answers glibc's own record of the break: no system call.
    if (!g_hugePages || Break() == g_covered) {
        return;
    }
    const std::lock_guard<std::mutex> lock(g_lock);
    if (g_hugePages && Break() != g_covered) {
        g_hugePages = Cover(g_covered);
    }
#endif
}

} // namespace tesser::host
