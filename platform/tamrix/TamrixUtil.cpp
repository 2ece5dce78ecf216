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
        ReplaceFileWhole(path, data);
    } catch (const std::exception&) {
        throw TvxKyyCalcDLLError(TamrixErrorCode::FileWrite, path);
    }
}

void CTamrixUtil::StoreTMXToBuffer2(const CTamrix& set, std::string& out, char version, char revision)
{
    tamrix_binary::Store(set.Content(), version, revision, out);
}
