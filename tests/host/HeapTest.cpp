#include "host/Heap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedAllocator = true;
#else
constexpr bool kSanitizedAllocator = false;
#endif

std::string ThpMode() {
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(in, modes);
    return modes;
}

// The VmFlags of the mapping that holds address, from /proc/self/smaps ("" when none does).
std::string FlagsOfMapping(std::uintptr_t address) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t low = 0;
        std::uintptr_t high = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> low >> dash >> high && dash == '-') {
            inside = low <= address && address < high;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line;
        }
    }
    return "";
}

TEST(Heap, EveryGrowthOfTheHeapAsksForHugePages) {
    if (kSanitizedAllocator) {
        GTEST_SKIP() << "the sanitizer's allocator does not use the heap";
    }
    const std::string mode = ThpMode();
    if (mode.find("[madvise]") == std::string::npos && mode.find("[always]") == std::string::npos) {
        GTEST_SKIP() << "transparent huge pages are not offered on request here: " << mode;
    }
    tesser::host::PrepareHeap();
    const auto top = [] { return reinterpret_cast<std::uintptr_t>(::sbrk(0)) - 1; };
    EXPECT_NE(FlagsOfMapping(top()).find(" hg"), std::string::npos) << FlagsOfMapping(top());

    // More than one step of small blocks: the heap grows past what it was prepared with, as it
    // does for a large document, and the growth is a mapping of its own.
    const std::uintptr_t prepared = top();
    std::vector<void*> blocks;
    for (int i = 0; i < 100 * 1024; ++i) {
        blocks.push_back(std::malloc(1024));
    }
    ASSERT_GT(top(), prepared + (64 << 20)) << "the heap did not grow";
    tesser::host::CoverHeapGrowth();
    EXPECT_NE(FlagsOfMapping(top()).find(" hg"), std::string::npos) << FlagsOfMapping(top());
    for (void* block : blocks) {
        std::free(block);
    }
}

} // namespace
