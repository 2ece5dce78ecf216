#pragma once

#include "FileDescriptor.h"

#include <string>
#include <string_view>

// A new file with a unique name ".<name>.partial-XXXXXX" beside `target`,
// created with mode 0666 less the umask. It is removed when it goes out of
// scope unless it has replaced its target.
//
// The file is locked (flock) from its creation until it has replaced its
// target or is removed. A writer killed in the middle leaves its file behind
// unlocked: the next TemporaryFile for the same target removes every such
// leftover of that target whose lock it can take, and never a file that a
// live writer holds, a leftover of another target or a file of another name.
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
    // std::system_error on failure. The lock stays until ReplaceTarget.
    void WriteAllAndClose(std::string_view data);

    // Renames the closed file over its target; throws std::system_error on
    // failure (the file is then still removed on destruction).
    void ReplaceTarget();

private:
    std::string m_target;
    std::string m_path;
    FileDescriptor m_file;
    FileDescriptor m_lock; // a duplicate of m_file: the lock outlives its close
    bool m_exists = false;
};

// Replaces the file `path` names (a symbolic link is followed) with `data`
// through a TemporaryFile, keeping the old file's permissions and, where
// allowed, its owner and group. Throws std::system_error on failure: the old
// file, or no file, then stays as it was, and no temporary file remains.
void ReplaceFileWhole(const std::string& path, std::string_view data);

// Removes from `folder` the temporary files of every target that writers
// killed in the middle left behind (never one a live writer holds).
void RemoveLeftoverTemporaryFiles(const std::string& folder);
