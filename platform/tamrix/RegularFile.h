#pragma once

// Whole files of bounded size, for every reader of the program's files. Only a
// regular file is read: a FIFO or a device could block the open or never end.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A file's bytes with room for a few more behind them. The storage is not
// cleared first: every byte of it is written by the read before it is seen.
class FileBytes
{
public:
    FileBytes(std::size_t capacity, std::size_t expected);

    const char* Data() const { return m_data.get(); }
    std::size_t Size() const { return m_size; }
    std::string_view View() const { return {m_data.get(), m_size}; }
    // Appends within the room left (the reader leaves what it was asked for);
    // returns false, changing nothing, when it does not fit.
    bool Append(std::string_view bytes);

private:
    friend std::optional<FileBytes> ReadRegularFile(const std::string&, std::size_t, std::size_t);

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// The whole regular file at `path` (file-system encoding) with `spare` bytes of
// room behind it; nothing when it cannot be opened or read, is not a regular
// file or holds more than `maxSize` bytes (also when it grows beyond that while
// it is read).
std::optional<FileBytes> ReadRegularFile(const std::string& path, std::size_t maxSize, std::size_t spare = 0);

// The first `count` bytes of the regular file at `path` (all of it when it is
// shorter) and its size then, so that a reader can refuse a file that is not
// what it claims before reading it whole; nothing as for ReadRegularFile.
struct FileStart
{
    std::string bytes;
    std::uint64_t size = 0;
};
std::optional<FileStart> ReadRegularFileStart(const std::string& path, std::size_t count);
