#include "FileDescriptor.h"

#include <unistd.h>

#include <utility>

FileDescriptor::~FileDescriptor()
{
    Close();
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool FileDescriptor::Close()
{
    if (m_fd < 0)
        return true;
    // Linux releases the descriptor even when close fails (also on EINTR), so
    // it is never closed twice.
    const int result = ::close(std::exchange(m_fd, -1));
    return result == 0;
}
