#pragma once

// A network namespace of the test program's own, with its loopback up, so
// that tests can serve instruments on loopback addresses and port 111 without
// touching the machine's network. Enter it first thing in main(), before any
// thread exists.

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace private_network
{

inline std::string& Problem()
{
    static std::string problem = "the private network namespace was not entered";
    return problem;
}

inline bool WriteFile(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return done;
}

// Gives an empty text on success, else why not (kept in Problem()).
inline std::string Enter()
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNET) != 0) {
        // Without root: a user namespace of our own makes us root in it.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            return Problem() = std::string("cannot make a network namespace: ") + std::strerror(errno);
        WriteFile("/proc/self/setgroups", "deny");
        if (!WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return Problem() = "cannot map the user into its namespace";
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0)
        ::close(fd);
    return Problem() = up ? std::string() : std::string("cannot bring up the loopback interface");
}

} // namespace private_network
