#include "RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace usbtmc
{

namespace
{

const std::string socketPrefix = "usb-";
const std::string socketSuffix = ".sock";

} // namespace

std::filesystem::path RuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return std::filesystem::path(runtime) / "Trobe-Lindvar";
    return std::filesystem::path("/tmp") / ("Trobe-Lindvar-" + std::to_string(::getuid()));
}

std::filesystem::path EnsureRuntimeFolder()
{
    const std::filesystem::path folder = RuntimeFolder();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("Cannot create the runtime folder " + folder.string() + ": " + std::strerror(errno));
    // Under /tmp anybody could have made the folder first: take it only when it
    // is ours, is no link, and nobody else may write into it.
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0)
        throw std::runtime_error("Cannot read the runtime folder " + folder.string() + ": " + std::strerror(errno));
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid() || (status.st_mode & 022) != 0)
        throw std::runtime_error("The runtime folder " + folder.string() +
                                 " is not a private folder of this user; remove it and try again");
    return folder;
}

std::filesystem::path UsbSocketPath(const std::filesystem::path& folder, const std::string& serial)
{
    return folder / (socketPrefix + serial + socketSuffix);
}

std::vector<std::string> UsbSocketSerials(const std::filesystem::path& folder)
{
    std::vector<std::string> serials;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() > socketPrefix.size() + socketSuffix.size() && name.compare(0, socketPrefix.size(), socketPrefix) == 0 &&
            name.compare(name.size() - socketSuffix.size(), socketSuffix.size(), socketSuffix) == 0 &&
            entry->is_socket(error))
            serials.push_back(name.substr(socketPrefix.size(), name.size() - socketPrefix.size() - socketSuffix.size()));
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

std::filesystem::path LanAnnouncementPath(const std::filesystem::path& folder, const std::string& serial)
{
    return folder / ("lan-" + serial + ".addr");
}

std::vector<std::string> LanSensorAddresses(const std::filesystem::path& folder)
{
    std::vector<std::string> addresses;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.rfind("lan-", 0) != 0 || name.size() < 9 || name.compare(name.size() - 5, 5, ".addr") != 0)
            continue;
        std::ifstream in(entry->path());
        std::string address;
        // An address is one short word; anything else is no announcement.
        if (std::getline(in, address) && !address.empty() && address.size() < 256 &&
            address.find_first_of(" \t\r") == std::string::npos)
            addresses.push_back(address);
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

} // namespace usbtmc
