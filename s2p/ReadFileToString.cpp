#include "ReadFileToString.h"

#include "FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

bool ReadFileToString(const std::string& fileName, std::string& content, std::size_t spare, std::size_t maxSize)
{
    // O_NONBLOCK: opening a FIFO without a writer, or some devices, would
    // otherwise wait forever; such files are refused below as not regular.
    FileDescriptor file(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen())
        return false;
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (status.st_size < 0 || static_cast<std::uintmax_t>(status.st_size) > maxSize)
        return false;

    // The size is a hint only: the file may change while it is read. One byte
    // more than expected shows whether it has grown.
    const auto expected = static_cast<std::size_t>(status.st_size);
    content.clear();
    content.reserve(expected + 1 + spare);
    content.resize(expected + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() > maxSize)
                return false;
            content.resize(std::min(content.size() * 2, maxSize + 1));
        }
        const ssize_t got = ::read(file.Get(), &content[used], content.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    content.resize(used);
    if (content.capacity() < used + spare)
        content.reserve(used + spare);
    return true;
}
