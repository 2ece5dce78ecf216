#pragma once

// A VISA function table whose reads replay a script of bytes (the fuzzer's)
// and whose writes are recorded. A read takes up to the count asked for; the
// one that reaches the script's last byte ends the message (VI_SUCCESS), the
// others get VI_SUCCESS_MAX_CNT, and a read with nothing left times out.

#include "VisaLoader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

struct ScriptedVisa
{
    std::string script;
    std::size_t position = 0;
    std::vector<std::string> writes;

    static ScriptedVisa& The()
    {
        static ScriptedVisa visa;
        return visa;
    }

    void Start(std::string bytes)
    {
        script = std::move(bytes);
        position = 0;
        writes.clear();
    }

    static VisaFunctions Table()
    {
        VisaFunctions f;
        f.viWrite = [](ViSession, ViConstBuf buf, ViUInt32 count, ViPUInt32 written) {
            The().writes.emplace_back(reinterpret_cast<const char*>(buf), count);
            *written = count;
            return VI_SUCCESS;
        };
        f.viRead = [](ViSession, ViBuf buf, ViUInt32 count, ViPUInt32 got) {
            ScriptedVisa& visa = The();
            const std::size_t left = visa.script.size() - visa.position;
            *got = static_cast<ViUInt32>(std::min<std::size_t>(count, left));
            std::memcpy(buf, visa.script.data() + visa.position, *got);
            visa.position += *got;
            if (left == 0)
                return VI_ERROR_TMO;
            return visa.position == visa.script.size() ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
        };
        return f;
    }
};
