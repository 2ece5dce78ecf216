#pragma once

// Programs a test runs: started with posix_spawn, waited for with a deadline
// and killed when they take longer.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace child_process
{

// Starts arguments[0] (a path); 0 when it cannot.
inline pid_t Start(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : 0;
}

// Its exit status; -1 when a signal ended it or it was still running after
// `timeoutMs` (it is killed then).
inline int Wait(pid_t pid, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() >= end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int Run(const std::vector<std::string>& arguments, int timeoutMs)
{
    const pid_t pid = Start(arguments);
    return pid ? Wait(pid, timeoutMs) : -1;
}

} // namespace child_process
