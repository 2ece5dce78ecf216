#include "Tamrix.h"

#include "FileDescriptor.h"
#include "MemoryAdvice.h"
#include "TamrixBinary.h"
#include "TemporaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace
{

[[noreturn]] void ThrowErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Every file of up to maxDataSetSize bytes; anything else throws
// std::system_error. O_NONBLOCK keeps a FIFO or a device from blocking the
// open; such files are then refused as not regular.
std::string ReadRegularFile(const char* path)
{
    FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen())
        ThrowErrno("cannot open");
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        ThrowErrno("cannot query");
    if (!S_ISREG(status.st_mode))
        throw std::system_error(std::make_error_code(std::errc::invalid_argument), "not a regular file");
    if (static_cast<std::uint64_t>(status.st_size) > maxDataSetSize)
        throw std::system_error(std::make_error_code(std::errc::file_too_large), "too large");

    // The size is only a hint: the file may change while it is read.
    std::string data;
    data.reserve(tamrix_memory::HugePageCapacity(static_cast<std::size_t>(status.st_size) + 2, 1) - 1);
    tamrix_memory::PrepareForWriting(data.data(), data.capacity(), static_cast<std::size_t>(status.st_size));
    data.resize(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == data.size()) {
            if (data.size() > maxDataSetSize)
                throw std::system_error(std::make_error_code(std::errc::file_too_large), "too large");
            data.resize(std::min<std::size_t>(data.size() * 2, maxDataSetSize + 1));
        }
        const ssize_t got = ::read(file.Get(), data.data() + used, data.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno("cannot read");
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    data.resize(used);
    return data;
}

// The folder part of `path`, with its trailing slash ("" for a bare name).
std::string FolderPrefix(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file that writing to `path` changes: a symbolic link is followed, so
// that the linked file is replaced rather than the link.
std::string ResolveLinks(const std::string& path)
{
    std::string target = path;
    for (int hops = 0;; ++hops) {
        struct stat status {};
        if (::lstat(target.c_str(), &status) != 0) {
            if (errno == ENOENT)
                return target;
            ThrowErrno("cannot query");
        }
        if (!S_ISLNK(status.st_mode))
            return target;
        if (hops == 40)
            throw std::system_error(std::make_error_code(std::errc::too_many_symbolic_link_levels),
                                    "too many links");
        std::string link(4096, '\0');
        const ssize_t size = ::readlink(target.c_str(), link.data(), link.size());
        if (size < 0)
            ThrowErrno("cannot read link");
        if (static_cast<std::size_t>(size) == link.size())
            throw std::system_error(std::make_error_code(std::errc::filename_too_long), "link too long");
        link.resize(static_cast<std::size_t>(size));
        target = (!link.empty() && link[0] == '/') ? link : FolderPrefix(target) + link;
    }
}

void WriteReplacing(const std::string& path, const std::string& data)
{
    const std::string target = ResolveLinks(path);
    struct stat existing {};
    bool exists = false;
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode))
            throw std::system_error(std::make_error_code(std::errc::invalid_argument), "not a regular file");
        exists = true;
    } else if (errno != ENOENT) {
        ThrowErrno("cannot query");
    }

    TemporaryFile temporary(target);
    if (exists) {
        if (::fchmod(temporary.Descriptor(), existing.st_mode & 07777) != 0)
            ThrowErrno("cannot set the permissions");
        // Keeps owner and group when allowed to (as root, or for the group
        // when the user is a member); otherwise the new file is the writer's.
        if (::fchown(temporary.Descriptor(), existing.st_uid, existing.st_gid) != 0)
            (void)::fchown(temporary.Descriptor(), static_cast<uid_t>(-1), existing.st_gid);
    }
    temporary.WriteAllAndClose(data);
    temporary.ReplaceTarget();
}

} // namespace

FormatPair CTamrixUtil::LoadTMXFromFile2(CTamrix& set, const char* path)
{
    if (!path)
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument);
    std::string data;
    try {
        data = ReadRegularFile(path);
    } catch (const std::exception&) {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileRead, path);
    }
    try {
        return LoadTMXFromBuffer2(set, data);
    } catch (const TvxKyyCalcDLLError& error) {
        throw TvxKyyCalcDLLError(error.code, path);
    }
}

FormatPair CTamrixUtil::LoadTMXFromBuffer2(CTamrix& set, const std::string& data)
{
    return tamrix_binary::Load(data, set);
}

void CTamrixUtil::StoreTMXToFile2(const CTamrix& set, const char* path, char version, char revision)
{
    if (!path)
        throw TvxKyyCalcDLLError(TamrixErrorCode::WrongArgument);
    std::string data;
    try {
        StoreTMXToBuffer2(set, data, version, revision);
    } catch (const TvxKyyCalcDLLError& error) {
        throw TvxKyyCalcDLLError(error.code, path);
    }
    try {
        WriteReplacing(path, data);
    } catch (const std::exception&) {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, path);
    }
}

void CTamrixUtil::StoreTMXToBuffer2(const CTamrix& set, std::string& out, char version, char revision)
{
    tamrix_binary::Store(set.Content(), version, revision, out);
}
