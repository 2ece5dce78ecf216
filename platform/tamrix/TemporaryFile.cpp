#include "TemporaryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <system_error>

namespace
{

// What follows ".<name>." in a temporary file's name; then come the six
// characters of RandomSuffix.
constexpr std::string_view partialMark = "partial-";
constexpr std::size_t suffixLength = 6;
constexpr char suffixLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

[[noreturn]] void ThrowErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

std::string Folder(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomSuffix(std::mt19937_64& random)
{
    std::uniform_int_distribution<std::size_t> pick(0, sizeof suffixLetters - 2);
    std::string suffix(suffixLength, 'X');
    for (char& c : suffix)
        c = suffixLetters[pick(random)];
    return suffix;
}

// ".<base>.partial-" followed by exactly the suffix's letters.
bool IsTemporaryName(std::string_view name, const std::string& prefix)
{
    if (name.size() != prefix.size() + suffixLength || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (const char c : name.substr(prefix.size()))
        if (c == '\0' || !std::strchr(suffixLetters, c))
            return false;
    return true;
}

// The name of any target's temporary file: ".<base>.partial-" and the suffix.
bool IsAnyTemporaryName(std::string_view name)
{
    const std::size_t markEnd = name.size() < suffixLength ? 0 : name.size() - suffixLength;
    const std::size_t mark = markEnd < partialMark.size() + 1 ? 0 : markEnd - partialMark.size() - 1;
    return mark >= 2 && name[0] == '.' && name.compare(mark, partialMark.size() + 1, "." + std::string(partialMark)) == 0 &&
           IsTemporaryName(name, std::string(name.substr(0, markEnd)));
}

// Removes the leftover temporary files in `folder` whose names `isTemporary`
// takes and that no writer holds. Whatever goes wrong here only leaves a file
// behind.
template <typename NameTest>
void RemoveLeftovers(const std::string& folder, NameTest isTemporary)
{
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return;
    const int at = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        if (!isTemporary(std::string_view(entry->d_name)))
            continue;
        int fd = ::openat(at, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == EACCES)
            fd = ::openat(at, entry->d_name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        const FileDescriptor file(fd);
        struct stat opened {};
        struct stat named {};
        // Locked, and still the file of that name: its writer is gone (a live
        // writer holds the lock until its file is renamed or removed).
        if (file.IsOpen() && ::fstat(file.Get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(at, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            ::unlinkat(at, entry->d_name, 0);
    }
    ::closedir(listing);
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

} // namespace

TemporaryFile::TemporaryFile(const std::string& target) : m_target(target)
{
    const std::string base = BaseName(target);
    if (base.empty())
        throw std::system_error(std::make_error_code(std::errc::is_a_directory), "target names a folder");
    const std::string folder = Folder(target);
    const std::string namePrefix = "." + base + "." + std::string(partialMark);
    RemoveLeftovers(folder, [&namePrefix](std::string_view name) { return IsTemporaryName(name, namePrefix); });
    const std::string prefix = folder + "/" + namePrefix;
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
    // Like mkstemp, but created with 0666 so that the kernel applies the umask
    // (and a default ACL of the folder) just as for any new file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix + RandomSuffix(random);
        FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!file.IsOpen()) {
            if (errno != EEXIST)
                ThrowErrno("cannot create a temporary file");
            continue;
        }
        // Another store's RemoveLeftovers may have taken the file for a
        // leftover between its creation and the lock: then it is gone, and
        // another name is tried.
        struct stat opened {};
        struct stat named {};
        if (::flock(file.Get(), LOCK_EX) != 0 || ::fstat(file.Get(), &opened) != 0)
            ThrowErrno("cannot lock a temporary file");
        if (::lstat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
            continue;
        m_lock = FileDescriptor(::fcntl(file.Get(), F_DUPFD_CLOEXEC, 0));
        if (!m_lock.IsOpen()) {
            ::unlink(path.c_str());
            ThrowErrno("cannot lock a temporary file");
        }
        m_file = std::move(file);
        m_path = std::move(path);
        m_exists = true;
        return;
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists), "no unique temporary file name");
}

TemporaryFile::~TemporaryFile()
{
    m_file.Close();
    if (m_exists)
        ::unlink(m_path.c_str());
    m_lock.Close();
}

void TemporaryFile::WriteAllAndClose(std::string_view data)
{
    const char* at = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(m_file.Get(), at, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno("cannot write the temporary file");
        }
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(m_file.Get()) != 0)
        ThrowErrno("cannot flush the temporary file");
    if (!m_file.Close())
        ThrowErrno("cannot close the temporary file");
}

void TemporaryFile::ReplaceTarget()
{
    if (::rename(m_path.c_str(), m_target.c_str()) != 0)
        ThrowErrno("cannot replace the target");
    m_exists = false;
    m_lock.Close();
    // Makes the rename itself durable. The target is already replaced, so a
    // failure here is not reported.
    FileDescriptor folder(::open(Folder(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsOpen())
        ::fsync(folder.Get());
}

void ReplaceFileWhole(const std::string& path, std::string_view data)
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
        if (::fchown(temporary.Descriptor(), existing.st_uid, existing.st_gid) != 0 &&
            ::fchown(temporary.Descriptor(), static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // Neither: the new file keeps the writer's owner and group.
        }
    }
    temporary.WriteAllAndClose(data);
    temporary.ReplaceTarget();
}

void RemoveLeftoverTemporaryFiles(const std::string& folder)
{
    RemoveLeftovers(folder, IsAnyTemporaryName);
}
