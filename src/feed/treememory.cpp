#include "treememory.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <sys/mman.h>
#include <vector>

namespace {

// pugixml asks for pages of 32 KiB, and for more at once only for large
// texts. Mappings double from the first size up to the largest, so a small
// feed makes few pages present and a large one needs few system calls,
// while the last mapping, partly used, stays small.
constexpr size_t kFirstMapping = 64 * 1024;
constexpr size_t kLargestMapping = 2 * 1024 * 1024;
constexpr size_t kPageSize = 4096;
constexpr size_t kAlignment = alignof(std::max_align_t);

struct Mapping {
    char* begin;
    size_t size;
    // Blocks handed out and not yet freed.
    size_t live;
};

std::mutex g_mutex;
// The mapping blocks come from is the last one.
std::vector<Mapping> g_mappings;
char* g_next = nullptr;
char* g_end = nullptr;
size_t g_nextSize = kFirstMapping;

void* Allocate(size_t size) {
    size = (std::max<size_t>(size, 1) + kAlignment - 1) & ~(kAlignment - 1);
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_mappings.empty() || size > static_cast<size_t>(g_end - g_next)) {
        const size_t mappingSize = std::max(g_nextSize, (size + kPageSize - 1) & ~(kPageSize - 1));
        void* mapped = ::mmap(nullptr, mappingSize, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (mapped == MAP_FAILED)
            return nullptr;
        if (!g_mappings.empty() && g_mappings.back().live == 0) {
            ::munmap(g_mappings.back().begin, g_mappings.back().size);
            g_mappings.pop_back();
        }
        g_mappings.push_back({static_cast<char*>(mapped), mappingSize, 0});
        g_next = static_cast<char*>(mapped);
        g_end = g_next + mappingSize;
        g_nextSize = std::min(g_nextSize * 2, kLargestMapping);
    }
    ++g_mappings.back().live;
    void* block = g_next;
    g_next += size;
    return block;
}

void Deallocate(void* block) {
    if (!block)
        return;
    const auto* at = static_cast<const char*>(block);
    const std::lock_guard<std::mutex> lock(g_mutex);
    // Newest first: a tree is usually freed soon after it was made.
    for (size_t i = g_mappings.size(); i-- > 0;) {
        Mapping& mapping = g_mappings[i];
        if (at < mapping.begin || at >= mapping.begin + mapping.size)
            continue;
        if (--mapping.live == 0) {
            if (i + 1 == g_mappings.size()) {
                // The current mapping is empty again: start it over.
                g_next = mapping.begin;
            } else {
                ::munmap(mapping.begin, mapping.size);
                g_mappings.erase(g_mappings.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        return;
    }
}

} // namespace

void UsePrefaultedTreeMemory() {
    pugi::set_memory_management_functions(Allocate, Deallocate);
}
