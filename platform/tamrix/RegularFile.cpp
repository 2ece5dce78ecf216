#include "RegularFile.h"

#include "FileDescriptor.h"
#include "MemoryAdvice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

FileBytes::FileBytes(std::size_t capacity, std::size_t expected)
    : m_data(new char[capacity])
    , m_capacity(capacity)
{
    tamrix_memory::PrepareForWriting(m_data.get(), capacity, expected);
}

bool FileBytes::Append(std::string_view bytes)
{
    if (bytes.size() > m_capacity - m_size)
        return false;
    std::memcpy(m_data.get() + m_size, bytes.data(), bytes.size());
    m_size += bytes.size();
    return true;
}

namespace
{

// The regular file at `path`, open for reading, and its status; not open when
// it cannot be opened or is no regular file.
FileDescriptor OpenRegularFile(const std::string& path, struct stat& status)
{
    // O_NONBLOCK: a FIFO without a writer, or some devices, would otherwise
    // keep the open waiting; such files are then refused as not regular.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.IsOpen() && (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0))
        file.Close();
    return file;
}

} // namespace

std::optional<FileStart> ReadRegularFileStart(const std::string& path, std::size_t count)
{
    struct stat status {};
    const FileDescriptor file = OpenRegularFile(path, status);
    if (!file.IsOpen())
        return std::nullopt;
    FileStart start{std::string(count, '\0'), static_cast<std::uint64_t>(status.st_size)};
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(file.Get(), start.bytes.data() + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    start.bytes.resize(done);
    return start;
}

std::optional<FileBytes> ReadRegularFile(const std::string& path, std::size_t maxSize, std::size_t spare)
{
    struct stat status {};
    const FileDescriptor file = OpenRegularFile(path, status);
    if (!file.IsOpen() || static_cast<std::uintmax_t>(status.st_size) > maxSize)
        return std::nullopt;

    // The size is a hint only: the file may change while it is read. One byte
    // more than expected shows whether it has grown.
    const auto expected = static_cast<std::size_t>(status.st_size);
    FileBytes bytes(tamrix_memory::HugePageCapacity(expected + 1 + spare, 1), expected);
    for (;;) {
        if (bytes.m_size + spare == bytes.m_capacity) {
            if (bytes.m_size > maxSize)
                return std::nullopt;
            FileBytes larger(std::min(bytes.m_capacity * 2, maxSize + 1 + spare), bytes.m_capacity);
            larger.Append(bytes.View());
            bytes = std::move(larger);
        }
        const ssize_t got = ::read(file.Get(), bytes.m_data.get() + bytes.m_size, bytes.m_capacity - spare - bytes.m_size);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.m_size += static_cast<std::size_t>(got);
    }
    if (bytes.m_size > maxSize)
        return std::nullopt;
    return bytes;
}
