#pragma once

#include <cstddef>

// A stored data set runs to tens of megabytes. Touching that much fresh memory
// in 4 KiB pages costs more than converting it, above all on virtual machines,
// where every page fault traps into the hypervisor; huge pages (2 MiB) cut the
// faults by a factor of 512. Both functions are only advice: nothing changes
// where the system does not support huge pages.
namespace tamrix_memory
{

// The capacity to reserve for `count` elements of `elementSize` bytes: for
// large buffers a little more, so that the allocation is a whole number of
// huge pages, which Linux then places on a huge page boundary.
std::size_t HugePageCapacity(std::size_t count, std::size_t elementSize);

// Asks the kernel to back a freshly allocated, not yet touched buffer with
// huge pages.
void AdviseHugePages(const void* data, std::size_t size);

} // namespace tamrix_memory
