#pragma once

// What this process has read from files so far (rchar of /proc/self/io).

#include <cstdint>
#include <fstream>
#include <string>

inline std::uint64_t BytesReadSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}
