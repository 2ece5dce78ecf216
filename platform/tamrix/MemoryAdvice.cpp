#include "MemoryAdvice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace
{

constexpr std::size_t hugePageSize = 2u * 1024u * 1024u;
// Below this the advice does not pay for the system call.
constexpr std::size_t worthwhile = 2 * hugePageSize;
// More than the bookkeeping the allocator puts in front of a large block.
constexpr std::size_t allocatorOverhead = 64;

} // namespace

namespace tamrix_memory
{

std::size_t HugePageCapacity(std::size_t count, std::size_t elementSize)
{
    const std::size_t bytes = count * elementSize;
    if (bytes < worthwhile)
        return count;
    const std::size_t rounded = (bytes + allocatorOverhead + hugePageSize - 1) / hugePageSize * hugePageSize;
    return (rounded - allocatorOverhead) / elementSize;
}

void AdviseHugePages(const void* data, std::size_t size)
{
#ifdef MADV_HUGEPAGE
    if (size < worthwhile)
        return;
    // Whole pages around the buffer: the advice changes no content, so the
    // allocator's bytes in the first and last page do not matter.
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data) / pageSize * pageSize;
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size + pageSize - 1) / pageSize * pageSize;
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace tamrix_memory
