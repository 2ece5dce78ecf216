#pragma once

#include "FileDescriptor.h"

#include <string>

// A new file with a unique name ".<name>.XXXXXX" beside `target`, created
// with mode 0666 less the umask. It is removed when it goes out of scope
// unless it has replaced its target.
class TemporaryFile
{
public:
    // Throws std::system_error when no such file can be created.
    explicit TemporaryFile(const std::string& target);
    ~TemporaryFile();

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Descriptor() const { return m_file.Get(); }

    // Writes everything, flushes it to the disk and closes the file; throws
    // std::system_error on failure.
    void WriteAllAndClose(const std::string& data);

    // Renames the closed file over its target; throws std::system_error on
    // failure (the file is then still removed on destruction).
    void ReplaceTarget();

private:
    std::string m_target;
    std::string m_path;
    FileDescriptor m_file;
    bool m_exists = false;
};
