#include "TemporaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <random>
#include <system_error>

namespace
{

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
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string suffix(6, 'X');
    for (char& c : suffix)
        c = letters[pick(random)];
    return suffix;
}

} // namespace

TemporaryFile::TemporaryFile(const std::string& target) : m_target(target)
{
    const std::string base = BaseName(target);
    if (base.empty())
        throw std::system_error(std::make_error_code(std::errc::is_a_directory), "target names a folder");
    const std::string prefix = Folder(target) + "/." + base + ".";
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
    // Like mkstemp, but created with 0666 so that the kernel applies the umask
    // (and a default ACL of the folder) just as for any new file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix + RandomSuffix(random);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_file = FileDescriptor(fd);
            m_path = std::move(path);
            m_exists = true;
            return;
        }
        if (errno != EEXIST)
            ThrowErrno("cannot create a temporary file");
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists), "no unique temporary file name");
}

TemporaryFile::~TemporaryFile()
{
    m_file.Close();
    if (m_exists)
        ::unlink(m_path.c_str());
}

void TemporaryFile::WriteAllAndClose(const std::string& data)
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
    // Makes the rename itself durable. The target is already replaced, so a
    // failure here is not reported.
    FileDescriptor folder(::open(Folder(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsOpen())
        ::fsync(folder.Get());
}
