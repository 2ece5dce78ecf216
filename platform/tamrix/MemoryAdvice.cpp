#include "MemoryAdvice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace
{

constexpr std::size_t hugePageSize = 2u * 1024u * 1024u;
// Below this the advice does not pay for the system calls.
constexpr std::size_t worthwhile = 2 * hugePageSize;
// More than the bookkeeping the allocator puts in front of a large block.
constexpr std::size_t allocatorOverhead = 64;

struct PageRange
{
    void* begin;
    std::size_t size;
};

// Whole pages around a buffer: the advice changes no content, so the
// allocator's bytes in the first and last page do not matter.
PageRange PagesAround(const void* data, std::size_t size)
{
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const auto begin = start / pageSize * pageSize;
    const auto end = (start + size + pageSize - 1) / pageSize * pageSize;
    return {reinterpret_cast<void*>(begin), static_cast<std::size_t>(end - begin)};
}

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
    const PageRange pages = PagesAround(data, size);
    ::madvise(pages.begin, pages.size, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

void PrepareForWriting(const void* data, std::size_t capacity, std::size_t used)
{
    if (used < worthwhile)
        return;
    AdviseHugePages(data, capacity);
#ifdef MADV_POPULATE_WRITE
    const PageRange pages = PagesAround(data, used);
    ::madvise(pages.begin, pages.size, MADV_POPULATE_WRITE);
#endif
}

void ResizeForWriting(std::string& text, std::size_t size)
{
    std::string fresh;
    fresh.reserve(size);
    PrepareForWriting(fresh.data(), fresh.capacity(), size);
    fresh.resize(size);
    text.swap(fresh);
}

} // namespace tamrix_memory
