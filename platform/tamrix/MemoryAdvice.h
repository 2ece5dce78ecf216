#pragma once

#include <cstddef>
#include <string>

// A stored data set runs to tens of megabytes. Touching that much fresh memory
// page by page costs more than converting it, above all on virtual machines,
// where every page fault traps into the hypervisor. So large buffers ask for
// huge pages (2 MiB, 512 times fewer faults) and have their pages set up in
// one system call. All of this is advice: where the system does not support
// it, nothing changes but the speed.
namespace tamrix_memory
{

// The capacity to reserve for `count` elements of `elementSize` bytes: for
// large buffers a little more, so that the allocation is a whole number of
// huge pages, which Linux then places on a huge page boundary.
std::size_t HugePageCapacity(std::size_t count, std::size_t elementSize);

// Asks the kernel to back a freshly allocated, not yet touched buffer with
// huge pages.
void AdviseHugePages(const void* data, std::size_t size);

// For a freshly allocated buffer of `capacity` bytes of which the first
// `used` bytes are about to be written: asks for huge pages for all of it and
// sets up the pages of the used part at once.
void PrepareForWriting(const void* data, std::size_t capacity, std::size_t used);

// Makes `text` (empty, or about to be thrown away) `size` bytes long, with
// fresh storage set up as PrepareForWriting does, for bytes about to arrive.
void ResizeForWriting(std::string& text, std::size_t size);

} // namespace tamrix_memory
